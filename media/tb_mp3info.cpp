#include "tb_mp3info.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

constexpr size_t kScanBytes = 64 * 1024;

uint32_t Big32(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

bool TB_ReadMp3Length(const std::string& path, double& seconds) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> data(kScanBytes);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<size_t>(in.gcount()));
    size_t offset = 0;
    // An ID3v2 tag comes first; its size is four 7-bit bytes.
    if (data.size() >= 10 && std::memcmp(data.data(), "ID3", 3) == 0) {
        offset = 10 + ((data[6] & 0x7Fu) << 21 | (data[7] & 0x7Fu) << 14 | (data[8] & 0x7Fu) << 7 |
                       (data[9] & 0x7Fu));
        if (data[5] & 0x10) {
            offset += 10;  // footer
        }
    }
    if (offset + 4 > data.size() || data[offset] != 0xFF || (data[offset + 1] & 0xE0) != 0xE0) {
        return false;
    }
    const unsigned char* header = data.data() + offset;
    int version = (header[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer = (header[1] >> 1) & 3;    // 1 layer III
    int rateIndex = (header[2] >> 2) & 3;
    bool mono = ((header[3] >> 6) & 3) == 3;
    if (version == 1 || layer != 1 || rateIndex == 3) {
        return false;
    }
    static const int kRates[3] = {44100, 48000, 32000};
    int rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    int samplesPerFrame = version == 3 ? 1152 : 576;
    size_t sideInfo = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    size_t tag = offset + 4 + sideInfo;
    if (tag + 120 + 24 > data.size() ||
        (std::memcmp(&data[tag], "Xing", 4) != 0 && std::memcmp(&data[tag], "Info", 4) != 0)) {
        return false;
    }
    uint32_t flags = Big32(&data[tag + 4]);
    if (!(flags & 1)) {
        return false;  // no frame count
    }
    uint32_t frames = Big32(&data[tag + 8]);
    size_t lame = tag + 12;
    if (flags & 2) {
        lame += 4;
    }
    if (flags & 4) {
        lame += 100;
    }
    if (flags & 8) {
        lame += 4;
    }
    int64_t samples = int64_t{frames} * samplesPerFrame;
    if (lame + 24 <= data.size() && std::memcmp(&data[lame], "LAME", 4) == 0) {
        const unsigned char* gap = &data[lame + 21];
        int delay = (gap[0] << 4) | (gap[1] >> 4);
        int padding = ((gap[1] & 0x0F) << 8) | gap[2];
        samples -= delay + padding;
    }
    if (samples <= 0 || rate <= 0) {
        return false;
    }
    seconds = static_cast<double>(samples) / rate;
    return true;
}
