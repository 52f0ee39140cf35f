// The PNG loader of thumbnails, reading a file into the platform bitmap as the library list
// does. libpng itself is not instrumented, so the fuzzer cannot learn its chunk checksums:
// the target recomputes them, letting mutated headers (sizes, depths, colour types) through.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tb_bitmaploader.h"
#include "tb_filestream.h"
#include "tb_nativebitmap.h"

namespace {

constexpr size_t kSignature = 8;

uint32_t ReadBigEndian(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Rewrites the checksum of every whole chunk after the signature; the rest stays as it is.
void FixChecksums(std::vector<uint8_t>& bytes) {
    size_t at = kSignature;
    while (at + 12 <= bytes.size()) {
        size_t length = ReadBigEndian(&bytes[at]);
        if (length > bytes.size() - at - 12) {
            break;
        }
        uLong crc = crc32(0, &bytes[at + 4], static_cast<uInt>(length + 4));
        uint8_t* out = &bytes[at + 8 + length];
        out[0] = static_cast<uint8_t>(crc >> 24);
        out[1] = static_cast<uint8_t>(crc >> 16);
        out[2] = static_cast<uint8_t>(crc >> 8);
        out[3] = static_cast<uint8_t>(crc);
        at += length + 12;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    FixChecksums(bytes);
    std::string path = LV_Fuzz::ScratchPath("thumbnail.png");
    LV_Fuzz::WriteFile(path, bytes.data(), bytes.size());
    auto stream =
        TB_Ref<TB_FileStream>::Adopt(new TB_FileStream(LV_Fuzz::ToUri(path), TB_FileMode::Read));

    // A bitmap that already holds a picture: a failed load must leave it as it was.
    auto bitmap = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(1, 1));
    *bitmap->PixelAt(0, 0) = 0x12345678u;
    bitmap->Unlock();
    TB_BitmapLoaderPng loader;
    if (loader.Load(stream.Get(), bitmap.Get()) != 0) {
        bool untouched =
            bitmap->Width == 1 && bitmap->Height == 1 && *bitmap->PixelAt(0, 0) == 0x12345678u;
        bitmap->Unlock();
        if (!untouched) {
            LV_Fuzz::Fail("a failed load changed the bitmap");
        }
        return 0;
    }
    if (size < kSignature + 25 || bitmap->Width != static_cast<tb_int>(ReadBigEndian(&bytes[16])) ||
        bitmap->Height != static_cast<tb_int>(ReadBigEndian(&bytes[20]))) {
        LV_Fuzz::Fail("the bitmap's size is not the header's");
    }
    return 0;
}
