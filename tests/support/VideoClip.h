#pragma once

// Writes short MPEG-4 clips for the video-frame tests, so that no binary clip lives in the checkout.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace testclip {

struct Rgb {
    int red = 0, green = 0, blue = 0;
};

// One solid-colour frame a colour, `framesPerSecond` of them a second, 64 x 48 pixels, in an .mp4 file.
// `rotationDegrees` (clockwise) goes into the track's display matrix. True when the file was written.
inline bool writeClip(const std::string& path, const std::vector<Rgb>& colours, int framesPerSecond = 2,
                      int rotationDegrees = 0) {
    constexpr int width = 64, height = 48;
    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, "mp4", path.c_str()) < 0) return false;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVCodecContext* encoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVStream* stream = avformat_new_stream(format, nullptr);
    bool ok = encoder && stream;
    if (ok) {
        encoder->width = width;
        encoder->height = height;
        encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        encoder->time_base = AVRational{1, framesPerSecond};
        encoder->framerate = AVRational{framesPerSecond, 1};
        encoder->gop_size = 3;
        encoder->max_b_frames = 0;
        if (format->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = avcodec_open2(encoder, codec, nullptr) >= 0 &&
             avcodec_parameters_from_context(stream->codecpar, encoder) >= 0;
        stream->time_base = encoder->time_base;
    }
    if (ok && rotationDegrees != 0) {
        auto* matrix = static_cast<std::int32_t*>(av_malloc(9 * sizeof(std::int32_t)));
        av_display_rotation_set(matrix, -rotationDegrees);
        ok = av_stream_add_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, reinterpret_cast<std::uint8_t*>(matrix),
                                     9 * sizeof(std::int32_t)) >= 0;
    }
    ok = ok && avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
    ok = ok && avformat_write_header(format, nullptr) >= 0;

    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    auto drain = [&] {
        while (avcodec_receive_packet(encoder, packet) >= 0) {
            if (packet->duration == 0) packet->duration = 1;  // the muxer drops a last sample without one
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            av_interleaved_write_frame(format, packet);
        }
    };
    if (ok) {
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        ok = av_frame_get_buffer(frame, 0) >= 0;
    }
    for (std::size_t index = 0; ok && index < colours.size(); ++index) {
        const Rgb c = colours[index];
        // BT.601 limited range, as the decoder's default conversion expects.
        const int y = 16 + (65 * c.red + 129 * c.green + 25 * c.blue + 128) / 256;
        const int u = 128 + (-38 * c.red - 74 * c.green + 112 * c.blue + 128) / 256;
        const int v = 128 + (112 * c.red - 94 * c.green - 18 * c.blue + 128) / 256;
        ok = av_frame_make_writable(frame) >= 0;
        for (int row = 0; ok && row < height; ++row) {
            for (int column = 0; column < width; ++column) frame->data[0][row * frame->linesize[0] + column] = y;
        }
        for (int row = 0; ok && row < height / 2; ++row) {
            for (int column = 0; column < width / 2; ++column) {
                frame->data[1][row * frame->linesize[1] + column] = u;
                frame->data[2][row * frame->linesize[2] + column] = v;
            }
        }
        frame->pts = static_cast<std::int64_t>(index);
        ok = ok && avcodec_send_frame(encoder, frame) >= 0;
        drain();
    }
    if (ok) {
        avcodec_send_frame(encoder, nullptr);
        drain();
        ok = av_write_trailer(format) >= 0;
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&encoder);
    if (format->pb) avio_closep(&format->pb);
    avformat_free_context(format);
    return ok;
}

}  // namespace testclip
