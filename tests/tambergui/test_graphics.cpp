#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "tb_bitmaploader.h"
#include "tb_graphics.h"
#include "tb_gui.h"
#include "tb_memorystream.h"
#include "test_util.h"

namespace {

constexpr tb_uint kWhite = 0xFFFFFFFFu;
constexpr tb_uint kBlack = 0xFF000000u;

class Drawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TB_GraphicsStartup(); }

    // A white 40 x 40 bitmap with a graphics on it.
    void SetUp() override {
        bitmap = new TB_NativeBitmap(40, 40);
        graphics = new TB_Graphics(bitmap);
        graphics->Clear(TB_Color{1, 1, 1, 1});
    }
    void TearDown() override {
        graphics->Release();
        bitmap->Release();
    }
    tb_uint At(int x, int y) {
        tb_uint value = *bitmap->PixelAt(x, y);
        bitmap->Unlock();
        return value;
    }
    int CountNot(tb_uint color) {
        int count = 0;
        for (int y = 0; y < bitmap->Height; ++y) {
            for (int x = 0; x < bitmap->Width; ++x) {
                count += At(x, y) != color ? 1 : 0;
            }
        }
        return count;
    }

    TB_NativeBitmap* bitmap;
    TB_Graphics* graphics;
};

TEST_F(Drawing, AFilledRectangleCoversExactlyItsPixels) {
    graphics->Pen = nullptr;
    graphics->DrawRectangle({5, 6, 10, 4});
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            bool inside = x >= 5 && x < 15 && y >= 6 && y < 10;
            ASSERT_EQ(At(x, y), inside ? kBlack : kWhite) << x << "," << y;
        }
    }
    // Huge widths mean "to the right edge" and are cut, not overflowed.
    graphics->Brush = nullptr;
    graphics->Pen = graphics->DefaultPen;
    graphics->DrawRectangle({0, 20, 3.0e9f, 5});
    EXPECT_NE(At(0, 20), kWhite);
}

TEST_F(Drawing, ColoursAreTruncatedToBytes) {
    TB_SolidBrush brush(TB_Color{1.0f, 0.999f, 0.5f, 1.0f});
    graphics->Brush = &brush;
    graphics->Pen = nullptr;
    graphics->DrawRectangle({0, 0, 4, 4});
    EXPECT_EQ(At(1, 1), 0xFFFFFE7Fu);
}

TEST_F(Drawing, ClipStackPushDisjointDrawsNothingAndPopRestores) {
    graphics->Pen = nullptr;
    graphics->SetClip({0, 0, 20, 20});
    graphics->PushClip({30, 30, 5, 5});  // outside the current clip: empty
    EXPECT_EQ(graphics->GetClipBounds(), (TB_Rectangle<int>{0, 0, 0, 0}));
    graphics->DrawRectangle({0, 0, 40, 40});
    EXPECT_EQ(CountNot(kWhite), 0);
    graphics->PopClip();
    EXPECT_EQ(graphics->GetClipBounds(), (TB_Rectangle<int>{0, 0, 20, 20}));
    graphics->PushClip({10.5f, 5, 100, 3.7f});  // integer intersection: 10.5..20, 5..8
    EXPECT_EQ(graphics->GetClipBounds(), (TB_Rectangle<int>{10, 5, 10, 3}));
    graphics->DrawRectangle({0, 0, 40, 40});
    EXPECT_EQ(At(15, 6), kBlack);
    EXPECT_EQ(At(15, 9), kWhite);
    EXPECT_EQ(At(25, 6), kWhite);
    graphics->PopClip();
    graphics->PopClip();  // empty stack: no clip on a bitmap surface
    graphics->DrawRectangle({30, 30, 5, 5});
    EXPECT_EQ(At(32, 32), kBlack);
}

TEST_F(Drawing, LineToWithoutAPathDrawsNothing) {
    graphics->CurrentPoint = TB_Vector2{3, 3};
    graphics->LineTo({30, 30});
    graphics->FillAndStroke();
    EXPECT_EQ(graphics->CurrentPoint, (TB_Vector2{3, 3}));
    EXPECT_EQ(CountNot(kWhite), 0);
}

TEST_F(Drawing, ArcsRunClockwiseInYDownSpace) {
    graphics->Pen = nullptr;
    // A quarter circle from angle 0 (right) sweeping pi/2 ends at the bottom of the circle.
    graphics->BeginPath({20, 20});
    graphics->ArcTo({20, 20}, 15, 0.0, M_PI / 2);
    EXPECT_NEAR(graphics->CurrentPoint.x, 20, 1e-3);
    EXPECT_NEAR(graphics->CurrentPoint.y, 35, 1e-3);
    graphics->ClosePath();
    graphics->FillAndStroke();
    EXPECT_EQ(At(28, 28), kBlack);  // the lower right quarter is filled
    EXPECT_EQ(At(12, 28), kWhite);
    EXPECT_EQ(At(28, 12), kWhite);
    EXPECT_EQ(At(12, 12), kWhite);
}

TEST_F(Drawing, OddEvenFillLeavesTheHoleOfNestedSquares) {
    graphics->Pen = nullptr;
    graphics->BeginPath({2, 2});
    graphics->LineTo({38, 2});
    graphics->LineTo({38, 38});
    graphics->LineTo({2, 38});
    graphics->ClosePath();
    graphics->MoveTo({12, 12});
    graphics->LineTo({28, 12});
    graphics->LineTo({28, 28});
    graphics->LineTo({12, 28});
    graphics->ClosePath();
    graphics->FillAndStroke();
    EXPECT_EQ(At(5, 5), kBlack);
    EXPECT_EQ(At(20, 20), kWhite);
    EXPECT_EQ(At(35, 20), kBlack);
}

TEST_F(Drawing, TransformsMoveWhatIsDrawn) {
    graphics->Pen = nullptr;
    const float shift[9] = {2, 0, 0, 0, 2, 0, 10, 10, 1};
    graphics->SetTransform(shift);
    graphics->DrawRectangle({0, 0, 5, 5});  // becomes 10..20
    EXPECT_EQ(At(15, 15), kBlack);
    EXPECT_EQ(At(5, 5), kWhite);
    EXPECT_EQ(graphics->GetTransform()[6], 10.0f);
    graphics->ResetTransform();
    graphics->DrawRectangle({0, 0, 2, 2});
    EXPECT_EQ(At(1, 1), kBlack);
}

TEST_F(Drawing, JapaneseTextHasGlyphsAndLongerTextMeasuresWider) {
    TB_String japanese(u"声ライブラリ、ひらがなとカタカナ");
    EXPECT_TRUE(graphics->DefaultFont->HasGlyphs(japanese))
        << graphics->DefaultFont->FamilyName().ToStdString();
    TB_Vector2 shortSize = graphics->MeasureString(TB_String(u"あ"));
    TB_Vector2 longSize = graphics->MeasureString(japanese);
    EXPECT_GT(shortSize.x, 0);
    EXPECT_GT(longSize.x, shortSize.x * 5);
    TB_Vector2 wrapped = graphics->MeasureString(japanese, TB_Vector2{60, 1000});
    EXPECT_GT(wrapped.y, shortSize.y * 1.5f);  // wraps into several lines
    graphics->DrawString(TB_String(u"あ"), TB_Vector2{2, 2});
    EXPECT_GT(CountNot(kWhite), 10);
    int drawn = CountNot(kWhite);
    graphics->Font = nullptr;  // no font: nothing drawn
    graphics->DrawString(TB_String(u"い"), TB_Vector2{20, 20});
    EXPECT_EQ(CountNot(kWhite), drawn);
}

TEST_F(Drawing, FontHandlesAreSharedByEqualFonts) {
    tb_int before = TB_Font::SharedHandleCount();
    auto* a = new TB_Font(12);
    auto* b = new TB_Font(12);
    auto* c = new TB_Font(9);
    TB_HFONT_Object* handleA = a->GetHandle(graphics);
    EXPECT_EQ(b->GetHandle(graphics), handleA);
    EXPECT_NE(c->GetHandle(graphics), handleA);
    EXPECT_EQ(TB_Font::SharedHandleCount(), before + 2);
    a->Release();
    EXPECT_EQ(TB_Font::SharedHandleCount(), before + 2);
    b->Release();  // the last user: the entry goes
    EXPECT_EQ(TB_Font::SharedHandleCount(), before + 1);
    c->Release();
    EXPECT_EQ(TB_Font::SharedHandleCount(), before);
}

// Encodes RGBA pixels with libpng's writer, the loader's counterpart.
std::string EncodePng(const std::vector<unsigned char>& rgba, int width, int height) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, const_cast<png_bytep>(&rgba[static_cast<size_t>(y * width * 4)]));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST_F(Drawing, PngRoundTripsIntoANativeBitmap) {
    std::mt19937 random(3);
    std::vector<unsigned char> rgba(17 * 9 * 4);
    for (auto& byte : rgba) {
        byte = static_cast<unsigned char>(random());
    }
    std::string png = EncodePng(rgba, 17, 9);
    auto stream = TB_Ref<TB_MemoryStream>::Adopt(
        new TB_MemoryStream(png.data(), static_cast<tb_int64>(png.size()), false));
    auto native = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap());
    TB_BitmapLoaderPng loader;
    ASSERT_EQ(loader.Load(stream.Get(), native.Get()), 0);
    ASSERT_EQ(native->Width, 17);
    for (int i = 0; i < 17 * 9; ++i) {
        tb_uint expected = (tb_uint{rgba[i * 4 + 3]} << 24) | (tb_uint{rgba[i * 4]} << 16) |
                           (tb_uint{rgba[i * 4 + 1]} << 8) | rgba[i * 4 + 2];
        ASSERT_EQ(*native->PixelAt(i % 17, i / 17), expected) << i;
    }
    native->Unlock();
}

TEST_F(Drawing, SceneScreenshotIsWrittenForPeopleToLookAt) {
    auto* scene = new TB_NativeBitmap(240, 120);
    auto* g = new TB_Graphics(scene);
    g->Clear(TB_Color{0.25f, 0.25f, 0.25f, 1});
    TB_SolidBrush accent(TB_Color{0.28f, 0.22f, 0.31f, 1});
    TB_Pen outline(TB_Color{1, 1, 1, 1}, 2);
    g->Brush = &accent;
    g->Pen = &outline;
    g->DrawRectangle({10, 10, 100, 40});
    TB_SolidBrush white(TB_Color{1, 1, 1, 1});
    g->Brush = &white;
    g->DrawString(TB_String(u"ルモヴォクス"), TB_Vector2{16, 20});
    g->BeginPath({180, 60});
    g->ArcTo({180, 60}, 40, -M_PI / 2, M_PI * 1.5);
    g->ClosePath();
    g->FillAndStroke();
    std::string folder = std::string(LUMOVOX_BINARY_DIR) + "/test-output";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(scene->SavePng(TB_Uri(TB_String((folder + "/scene.png").c_str()))));
    EXPECT_GT(std::filesystem::file_size(folder + "/scene.png"), 200u);
    g->Release();
    scene->Release();
}

}  // namespace
