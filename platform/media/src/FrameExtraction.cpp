#include "FrameExtraction.h"

#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace media {

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using FramePointer = std::unique_ptr<AVFrame, FrameFreer>;

std::string errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::unexpected<AssetError> failure(AssetError::Code code, std::string detail) {
    return std::unexpected(AssetError{code, std::move(detail)});
}

// Clockwise quarter turns the display matrix asks for.
int quarterTurns(const AVStream* stream) {
    const std::uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!matrix) return 0;
    const double counterClockwise = av_display_rotation_get(reinterpret_cast<const std::int32_t*>(matrix));
    if (std::isnan(counterClockwise)) return 0;
    const long turns = std::lround(-counterClockwise / 90.0);
    return static_cast<int>(((turns % 4) + 4) % 4);
}

gfx::Bitmap rotated(const gfx::Bitmap& source, int turns) {
    if (turns == 0) return source;
    const bool swaps = turns % 2 == 1;
    gfx::Bitmap result = gfx::Bitmap::make(swaps ? source.height : source.width, swaps ? source.width : source.height);
    for (int y = 0; y < source.height; ++y) {
        for (int x = 0; x < source.width; ++x) {
            int tx = x, ty = y;
            switch (turns) {
            case 1: tx = source.height - 1 - y; ty = x; break;
            case 2: tx = source.width - 1 - x; ty = source.height - 1 - y; break;
            case 3: tx = y; ty = source.width - 1 - x; break;
            }
            result.row(ty)[tx] = source.row(y)[x];
        }
    }
    return result;
}

std::expected<gfx::Bitmap, AssetError> toBitmap(const AVFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0 ||
        static_cast<std::int64_t>(frame.width) * frame.height > gfx::maximumPixelCount) {
        return failure(AssetError::decodeFailed, "frame size out of range");
    }
    std::unique_ptr<SwsContext, ScalerFreer> scaler(sws_getContext(
        frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width, frame.height,
        AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler) return failure(AssetError::decodeFailed, "no conversion from the frame's pixel format");
    gfx::Bitmap bitmap = gfx::Bitmap::make(frame.width, frame.height);
    std::uint8_t* planes[4] = {bitmap.pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {bitmap.stride, 0, 0, 0};
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return bitmap;
}

}  // namespace

std::expected<ExtractedFrame, AssetError> extractFrame(const std::string& location, double seconds,
                                                       bool appliesPreferredTrackTransform) {
    AVFormatContext* opened = nullptr;
    if (int status = avformat_open_input(&opened, location.c_str(), nullptr, nullptr); status < 0) {
        return failure(AssetError::fileFormatNotRecognized, errorText(status));
    }
    std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
    if (int status = avformat_find_stream_info(format.get(), nullptr); status < 0) {
        return failure(AssetError::fileFormatNotRecognized, errorText(status));
    }
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || !codec) return failure(AssetError::noImageAtTime, "no video track");
    AVStream* stream = format->streams[index];

    std::unique_ptr<AVCodecContext, CodecFreer> decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        return failure(AssetError::decodeFailed, "the video decoder could not start");
    }

    const std::int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const double clamped = std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0;
    const std::int64_t target =
        start + av_rescale_q(std::llround(clamped * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base);
    // Seeking may fail on streams without an index; decoding then starts at the beginning.
    if (av_seek_frame(format.get(), index, target, AVSEEK_FLAG_BACKWARD) >= 0) avcodec_flush_buffers(decoder.get());

    FramePointer kept;
    FramePointer frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    if (!frame || !packet) return failure(AssetError::unknown, "out of memory");
    bool passedTarget = false;
    int lastError = 0;

    // Keeps the last frame that starts at or before the target; the first frame when the target comes
    // before every frame.
    auto drain = [&] {
        while (!passedTarget) {
            const int status = avcodec_receive_frame(decoder.get(), frame.get());
            if (status < 0) {
                if (status != AVERROR(EAGAIN) && status != AVERROR_EOF) lastError = status;
                return;
            }
            const std::int64_t pts = frame->best_effort_timestamp;
            const bool after = pts != AV_NOPTS_VALUE && pts > target;
            if (!kept || !after) kept.reset(av_frame_clone(frame.get()));
            av_frame_unref(frame.get());
            if (after) passedTarget = true;
        }
    };
    while (!passedTarget && av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == index) {
            if (int status = avcodec_send_packet(decoder.get(), packet.get()); status < 0 && status != AVERROR(EAGAIN)) {
                lastError = status;
            }
            drain();
        }
        av_packet_unref(packet.get());
    }
    if (!passedTarget) {
        avcodec_send_packet(decoder.get(), nullptr);
        drain();
    }
    if (!kept) {
        if (lastError < 0) return failure(AssetError::decodeFailed, errorText(lastError));
        return failure(AssetError::noImageAtTime, "no frame decoded");
    }

    auto bitmap = toBitmap(*kept);
    if (!bitmap) return std::unexpected(bitmap.error());
    const std::int64_t pts = kept->best_effort_timestamp == AV_NOPTS_VALUE ? start : kept->best_effort_timestamp;
    ExtractedFrame result;
    result.seconds = static_cast<double>(pts - start) * av_q2d(stream->time_base);
    result.bitmap = appliesPreferredTrackTransform ? rotated(*bitmap, quarterTurns(stream)) : std::move(*bitmap);
    return result;
}

}  // namespace media
