#pragma once

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/Data.h"

namespace sorvane::testing {

// Flat grey pixels of `side` x `side` and `components` (3: colour in 4:2:0, 4: CMYK at full resolution)
// written by libjpeg through `script`.
inline std::string flatJpeg(int side, int components, std::vector<jpeg_scan_info>& script) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = static_cast<JDIMENSION>(side);
    info.image_height = static_cast<JDIMENSION>(side);
    info.input_components = components;
    info.in_color_space = components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    info.scan_info = script.data();
    info.num_scans = static_cast<int>(script.size());
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(side) * static_cast<std::size_t>(components), 128);
    JSAMPROW rows[1] = {row.data()};
    while (info.next_scanline < info.image_height) jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), length);
    std::free(buffer);
    return bytes;
}

// `bytes` with its scans from the `first`th (counted from 0) to the last written `times` in all.
inline foundation::Data withLastScansRepeated(const std::string& bytes, int first, int times) {
    // Where scan `first` begins: the first marker after the entropy-coded data of the one before.
    std::size_t offset = 2, from = 0;
    int scansSeen = 0;
    bool inScan = false;
    while (offset + 3 < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[offset]);
        const auto marker = static_cast<unsigned char>(bytes[offset + 1]);
        if (byte != 0xFF || marker == 0x00 || (inScan && marker >= 0xD0 && marker <= 0xD7)) {
            offset += byte == 0xFF ? 2 : 1;
            continue;
        }
        if (inScan && scansSeen == first) {
            from = offset;
            break;
        }
        const std::size_t segment = static_cast<unsigned char>(bytes[offset + 2]) << 8 | static_cast<unsigned char>(bytes[offset + 3]);
        inScan = marker == 0xDA;
        scansSeen += inScan;
        offset += 2 + segment;
    }
    const std::size_t end = bytes.size() - 2;  // the end-of-image marker
    const std::string repeated = bytes.substr(from, end - from);
    std::string out = bytes.substr(0, from);
    for (int time = 0; time < times; ++time) out += repeated;
    return foundation::Data::fromString(out + bytes.substr(end));
}

// A progressive JPEG of `side` x `side` flat grey pixels in colour (4:2:0): a scan giving every block its DC
// value, a first scan of the luma's AC values at half precision and `scans` - 2 copies of the scan refining them.
// Every block of a refinement is in end-of-band runs, so each is a few bytes, yet a decoder walks every
// coefficient of every luma block again for it; libjpeg only warns at a scan repeated. `scans` 3 is an ordinary
// three-scan picture of the same size.
inline foundation::Data repeatedScansJpeg(int side, int scans) {
    std::vector<jpeg_scan_info> script(3);
    script[0].comps_in_scan = 3;
    for (int component = 0; component < 3; ++component) script[0].component_index[component] = component;
    for (int scan : {1, 2}) {
        script[scan].comps_in_scan = 1;
        script[scan].Ss = 1;
        script[scan].Se = 63;
    }
    script[1].Al = 1;
    script[2].Ah = 1;
    return withLastScansRepeated(flatJpeg(side, 3, script), 2, scans - 2);
}

// The same in CMYK, four components each as large as the picture: a DC scan, a first AC scan of each
// component, then `rounds` of four scans refining each (1 is an ordinary picture of nine scans).
inline foundation::Data repeatedScansCmykJpeg(int side, int rounds) {
    std::vector<jpeg_scan_info> script(9);
    script[0].comps_in_scan = 4;
    for (int component = 0; component < 4; ++component) {
        script[0].component_index[component] = component;
        for (int scan : {1 + component, 5 + component}) {
            script[scan].comps_in_scan = 1;
            script[scan].component_index[0] = component;
            script[scan].Ss = 1;
            script[scan].Se = 63;
        }
        script[1 + component].Al = 1;
        script[5 + component].Ah = 1;
    }
    return withLastScansRepeated(flatJpeg(side, 4, script), 5, rounds);
}

}  // namespace sorvane::testing
