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

std::streamoff FileSize(std::ifstream& in) {
    in.clear();
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    return size < 0 ? 0 : size;
}

// Length in bytes of the layer III frame whose header starts at p, or 0 when p holds none.
int FrameLength(const unsigned char* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) {
        return 0;
    }
    int version = (p[1] >> 3) & 3;
    int layer = (p[1] >> 1) & 3;
    int bitrateIndex = p[2] >> 4;
    int rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return 0;
    }
    static const int kMpeg1[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                   112, 128, 160, 192, 224, 256, 320};
    static const int kMpeg2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int kRates[3] = {44100, 48000, 32000};
    int rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    int bitrate = (version == 3 ? kMpeg1 : kMpeg2)[bitrateIndex] * 1000;
    int padding = (p[2] >> 1) & 1;
    return (version == 3 ? 144 : 72) * bitrate / rate + padding;
}

// Walks the frame headers from offset to the end of the file; stops at the first place that
// is not a frame (a trailing tag, garbage).
int64_t CountFrames(std::ifstream& in, size_t offset, std::streamoff size) {
    constexpr std::streamoff kLargest = 256 * 1024 * 1024;
    if (size <= 0 || size > kLargest) {
        return 0;
    }
    std::vector<unsigned char> whole(static_cast<size_t>(size));
    in.clear();
    in.seekg(0);
    in.read(reinterpret_cast<char*>(whole.data()), size);
    whole.resize(static_cast<size_t>(in.gcount()));
    int64_t frames = 0;
    size_t position = offset;
    while (position + 4 <= whole.size()) {
        int length = FrameLength(&whole[position]);
        if (length <= 4) {
            break;
        }
        ++frames;
        position += static_cast<size_t>(length);
    }
    return frames;
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
    // A header whose frame count the file is too small to hold is wrong (seen in the wild:
    // a 4 KB file claiming half an hour); the frames themselves are then counted.
    std::streamoff fileSize = FileSize(in);
    int coefficient = version == 3 ? 144 : 72;
    int64_t smallestFrame = int64_t{coefficient} * (version == 3 ? 32000 : 8000) / rate;
    int64_t audioBytes = static_cast<int64_t>(fileSize) - static_cast<int64_t>(offset);
    if (smallestFrame > 0 && int64_t{frames} * smallestFrame > audioBytes + smallestFrame) {
        int64_t counted = CountFrames(in, offset, fileSize);
        if (counted <= 1) {
            return false;
        }
        frames = static_cast<uint32_t>(counted - 1);  // the tag's own frame holds no sound
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
