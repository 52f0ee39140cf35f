#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <zlib.h>

#include <filesystem>

#include "tb_bitmaploader.h"
#include "tb_error.h"
#include "tb_memorystream.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const std::string kSuite = std::string(LUMOVOX_TESTDATA) + "/pngsuite";

tb_int Decode(const std::string& bytes, TB_Bitmap32& bitmap) {
    auto stream = TB_Ref<TB_MemoryStream>::Adopt(
        new TB_MemoryStream(bytes.data(), static_cast<tb_int64>(bytes.size()), false));
    TB_BitmapLoaderPng loader;
    return loader.Load(stream.Get(), &bitmap);
}

TEST(PngLoader, ConformanceSuiteDecodesToTheExpectedPixels) {
    if (!fs::is_directory(kSuite + "/png")) {
        GTEST_SKIP() << "the PNG conformance suite is not at " << kSuite;
    }
    int valid = 0;
    int corrupt = 0;
    for (const auto& entry : fs::directory_iterator(kSuite + "/png")) {
        std::string name = entry.path().stem().string();
        std::string bytes = ReadFile(entry.path().string());
        auto bitmap = TB_Ref<TB_Bitmap32>::Adopt(new TB_Bitmap32());
        tb_int result = Decode(bytes, *bitmap);
        if (name[0] == 'x') {
            EXPECT_EQ(result, -2) << name;
            EXPECT_EQ(bitmap->Pixels, nullptr)
                << name << ": a failed decode must not touch the bitmap";
            ++corrupt;
            continue;
        }
        ASSERT_EQ(result, 0) << name;
        rapidjson::Document expected;
        std::string json = ReadFile(kSuite + "/json/" + name + ".json");
        expected.Parse(json.c_str());
        ASSERT_TRUE(expected.IsArray()) << name;
        ASSERT_EQ(expected.Size(),
                  static_cast<rapidjson::SizeType>(bitmap->Width * bitmap->Height * 4))
            << name;
        // 16-bit images list 16-bit samples; stripping keeps their high byte.
        int shift = name.size() >= 2 && name.substr(name.size() - 2) == "16" ? 8 : 0;
        for (tb_int i = 0; i < bitmap->Width * bitmap->Height; ++i) {
            tb_uint r = expected[i * 4].GetUint() >> shift;
            tb_uint g = expected[i * 4 + 1].GetUint() >> shift;
            tb_uint b = expected[i * 4 + 2].GetUint() >> shift;
            tb_uint a = expected[i * 4 + 3].GetUint() >> shift;
            ASSERT_EQ(bitmap->Pixels[i], (a << 24) | (r << 16) | (g << 8) | b)
                << name << " pixel " << i;
        }
        ++valid;
    }
    EXPECT_EQ(valid, 161);
    EXPECT_EQ(corrupt, 14);
}

TEST(PngLoader, RefusesWhatIsNotAWholePng) {
    TB_Bitmap32 bitmap(2, 2);
    EXPECT_EQ(Decode("", bitmap), -2);
    EXPECT_EQ(Decode("\x89PNG\r\n", bitmap), -2);
    EXPECT_EQ(Decode("GIF89a..........", bitmap), -2);
    TB_BitmapLoaderPng loader;
    EXPECT_EQ(loader.Load(nullptr, &bitmap), -2);
    auto stream = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream());
    EXPECT_EQ(loader.Load(stream.Get(), nullptr), -2);

    std::string good = ReadFile(std::string(LUMOVOX_SOURCE_DIR) + "/samples/hikari/thumbnail.png");
    ASSERT_EQ(Decode(good, bitmap), 0);
    EXPECT_EQ(bitmap.Width, 64);
    EXPECT_EQ(bitmap.Pixels[0], 0xFFF0B43Cu);
    // Every cut of a valid file fails cleanly and leaves the previous image in place.
    tb_uint* decoded = bitmap.Pixels;
    for (size_t cut = 8; cut < good.size(); cut += 3) {
        EXPECT_EQ(Decode(good.substr(0, cut), bitmap), -2) << cut;
        EXPECT_EQ(bitmap.Pixels, decoded);
        EXPECT_EQ(bitmap.Width, 64);
    }
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
    auto be32 = [&png](uLong value) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            png.push_back(static_cast<char>((value >> shift) & 0xFF));
        }
    };
    be32(data.size());
    std::string body = type + data;
    png += body;
    be32(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
}

// A black 8-bit greyscale PNG, compressed as a real encoder would: a large one is a few
// hundred kilobytes that claim gigabytes.
std::string BlackPng(tb_uint width, tb_uint height) {
    std::string png("\x89PNG\r\n\x1A\n", 8);
    std::string header;
    for (tb_uint value : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            header.push_back(static_cast<char>((value >> shift) & 0xFF));
        }
    }
    header += std::string("\x08\x00\x00\x00\x00", 5);
    AppendChunk(png, "IHDR", header);
    z_stream zip{};
    deflateInit(&zip, Z_BEST_COMPRESSION);
    std::string row(width + 1, '\0');  // filter byte and pixels
    std::string compressed;
    char out[65536];
    for (tb_uint y = 0; y <= height; ++y) {
        zip.next_in = reinterpret_cast<Bytef*>(row.data());
        zip.avail_in = y < height ? static_cast<uInt>(row.size()) : 0;
        do {
            zip.next_out = reinterpret_cast<Bytef*>(out);
            zip.avail_out = sizeof out;
            deflate(&zip, y < height ? Z_NO_FLUSH : Z_FINISH);
            compressed.append(out, sizeof out - zip.avail_out);
        } while (zip.avail_out == 0);
    }
    deflateEnd(&zip);
    AppendChunk(png, "IDAT", compressed);
    AppendChunk(png, "IEND", "");
    return png;
}

TEST(PngLoader, RefusesMorePixelsThanAPictureNeedsBeforeDecoding) {
    TB_Error::Init();
    std::string bomb = BlackPng(16384, 16384);
    auto stream = TB_Ref<TB_MemoryStream>::Adopt(
        new TB_MemoryStream(bomb.data(), static_cast<tb_int64>(bomb.size()), false));
    TB_Bitmap32 bitmap(2, 2);
    TB_BitmapLoaderPng loader;
    EXPECT_EQ(loader.Load(stream.Get(), &bitmap), -2);
    EXPECT_LT(stream->GetPosition(), 1024) << "the image data must not be read";
    EXPECT_EQ(bitmap.Width, 2);
    ASSERT_EQ(TB_Error::RecordCount(), 1);
    TB_Ref<TB_Error> record = TB_Ref<TB_Error>::Adopt(TB_Error::CopyRecord(0));
    EXPECT_EQ(record->Level(), 2);
    EXPECT_NE(record->Message().ToStdString().find("16384 x 16384"), std::string::npos);

    EXPECT_EQ(Decode(BlackPng(4097, 4096), bitmap), -2);
    EXPECT_EQ(Decode(BlackPng(1, 16384 * 1024), bitmap), -2);  // each side within its limit
    EXPECT_EQ(TB_Error::RecordCount(), 3);
    ASSERT_EQ(Decode(BlackPng(4096, 3), bitmap), 0);
    EXPECT_EQ(bitmap.Width, 4096);
    EXPECT_EQ(bitmap.Pixels[4096 * 3 - 1], 0xFF000000u);
    TB_Error::Shutdown();
}

}  // namespace
