#include <gtest/gtest.h>

#include <png.h>
#include <QBrush>
#include <QColor>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tb_brush.h"
#include "tb_framework.h"
#include "tb_graphics.h"
#include "tb_gui.h"
#include "tb_svg.h"
#include "tb_svg_textlex.h"
#include "test_util.h"

namespace {

// Records what a renderer asks of a graphics, with coordinates to two decimals and the
// fill colour in force at each FillAndStroke.
class Recorder : public TB_IPathRenderable {
public:
    Recorder() : m_defaultBrush(TB_Color{0, 0, 1, 1}) { m_brush = &m_defaultBrush; }

    void FillAndStroke() override {
        QColor c = static_cast<QBrush*>(m_brush ? m_brush->PlatformBrush() : nullptr)
                       ? static_cast<QBrush*>(m_brush->PlatformBrush())->color()
                       : QColor();
        Calls.push_back("fill " + c.name().toStdString());
    }
    void BeginPath(TB_Vector2 p) override { Point("begin", p); }
    void MoveTo(TB_Vector2 p) override { Point("move", p); }
    void LineTo(TB_Vector2 p) override { Point("line", p); }
    void ArcTo(TB_Vector2 c, float r, double start, double sweep) override {
        char text[96];
        std::snprintf(text, sizeof text, "arc %.2f,%.2f r%.2f %.5f %.5f", c.x, c.y, r, start,
                      sweep);
        Calls.push_back(text);
    }
    void BezierTo(TB_Vector2 a, TB_Vector2 b, TB_Vector2 e) override {
        char text[128];
        std::snprintf(text, sizeof text, "bezier %.2f,%.2f %.2f,%.2f %.2f,%.2f", a.x, a.y, b.x, b.y,
                      e.x, e.y);
        Calls.push_back(text);
    }
    void ClosePath() override { Calls.push_back("close"); }
    void DiscardPath() override { Calls.push_back("discard"); }
    void SetTransform(const float*) override {}
    void ResetTransform() override {}
    const float* GetTransform() override { return nullptr; }
    TB_Brush* GetBrush() override { return m_brush; }
    void SetBrush(TB_Brush* brush) override { m_brush = brush; }
    TB_Pen* GetPen() override { return nullptr; }
    void SetPen(TB_Pen*) override {}

    bool UsesDefaultBrush() const { return m_brush == &m_defaultBrush; }
    std::vector<std::string> Calls;

private:
    void Point(const char* name, TB_Vector2 p) {
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << name;
        char text[64];
        std::snprintf(text, sizeof text, "%s %.2f,%.2f", name, p.x, p.y);
        Calls.push_back(text);
    }

    TB_SolidBrush m_defaultBrush;
    TB_Brush* m_brush;
};

class SvgTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TB_GraphicsStartup(); }
    // Reports of unsupported content go to the error log, which must be running.
    void SetUp() override {
        TB_AppDescriptor descriptor;
        TB_FrameworkStartup(descriptor);
    }
    void TearDown() override { TB_FrameworkShutdown(); }

    // Loads the text and renders it into rect; the calls made.
    std::vector<std::string> Draw(const std::string& svg, TB_Rectangle<float> rect = {0, 0, 24, 24},
                                  bool styles = false) {
        auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
        EXPECT_TRUE(renderer->LoadText(svg.c_str())) << svg;
        Recorder recorder;
        renderer->Render(recorder, rect, styles);
        EXPECT_TRUE(recorder.UsesDefaultBrush());  // the brush is always put back
        return recorder.Calls;
    }
    static std::string Icon(const std::string& body, const char* viewBox = "0 0 24 24") {
        return std::string("<svg viewBox=\"") + viewBox + "\">" + body + "</svg>";
    }
    static bool Loads(const std::string& svg) {
        auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
        return renderer->LoadText(svg.c_str());
    }
    using Calls = std::vector<std::string>;
    // The brushes a drawing of the icon with its styles sets, in order.
    Calls Fills(const std::string& svg) {
        Calls fills;
        for (const std::string& call : Draw(svg, {0, 0, 24, 24}, true)) {
            if (call.rfind("fill", 0) == 0) {
                fills.push_back(call);
            }
        }
        return fills;
    }
};

TEST(SvgTextLex, NumbersLettersAndSeparators) {
    TB_SvgTextLex lex("-12.5 1.5.5 10-5,1e-3;:x\t.7");
    std::vector<std::string> tokens;
    TB_SvgToken token;
    for (lex.NextToken(token); token.Type != TB_SVG_TYPE_END; lex.NextToken(token)) {
        tokens.push_back(std::to_string(token.Type) + ":" + token.Text);
    }
    EXPECT_EQ(tokens,
              (std::vector<std::string>{"2:-12.5", "2:1.5", "2:.5", "2:10", "2:-5", "1:,", "2:1",
                                        "0:e", "2:-3", "1:;", "1::", "0:x", "2:.7"}));
    // The returned start lets a caller peek.
    TB_SvgTextLex peek("  7 8");
    tb_int64 start = peek.NextToken(token);
    EXPECT_EQ(start, 2);
    peek.Position = start;
    peek.NextToken(token);
    EXPECT_EQ(token.Text, "7");
}

TEST_F(SvgTest, MappingScalesTheViewBoxIntoTheRectangleWithoutSubtractingItsOrigin) {
    EXPECT_EQ(Draw(Icon("<rect x=\"12\" y=\"12\" width=\"12\" height=\"6\"/>"), {10, 10, 48, 48}),
              (Calls{"begin 34.00,34.00", "line 58.00,34.00", "line 58.00,46.00",
                     "line 34.00,46.00", "close", "fill #0000ff"}));
    // min-x and min-y move nothing; commas read like spaces.
    for (const char* viewBox : {"10 10 24 24", "10,10,24,24", "0 0 24 24"}) {
        EXPECT_EQ(Draw(Icon("<polygon points=\"0,0 24 0\"/>", viewBox), {5, 7, 48, 48}),
                  (Calls{"begin 5.00,7.00", "line 53.00,7.00", "close", "fill #0000ff"}))
            << viewBox;
    }
}

TEST_F(SvgTest, PathCommandsRepeatAndZKeepsThePointWhenRelative) {
    EXPECT_EQ(Draw(Icon("<path d=\"M10 10 20 20\"/>")),
              (Calls{"discard", "move 10.00,10.00", "move 20.00,20.00", "fill #0000ff"}));
    EXPECT_EQ(Draw(Icon("<path d=\"M10 10 L20 20 30 30\"/>")),
              (Calls{"discard", "move 10.00,10.00", "line 20.00,20.00", "line 30.00,30.00",
                     "fill #0000ff"}));
    EXPECT_EQ(Draw(Icon("<path d=\"m1 1 l2 0 z m0 5 h3\"/>")),
              (Calls{"discard", "move 1.00,1.00", "line 3.00,1.00", "move 3.00,1.00",
                     "move 3.00,6.00", "line 6.00,6.00", "fill #0000ff"}));
    // Z is an absolute move to the origin; V, H and curves, absolute and relative.
    EXPECT_EQ(Draw(Icon("<path d=\"M2 2Z v3 C1 1 2 2 3 3 s1 1 2 2\"/>")),
              (Calls{"discard", "move 2.00,2.00", "move 0.00,0.00", "line 0.00,3.00",
                     "bezier 1.00,1.00 2.00,2.00 3.00,3.00", "bezier 4.00,4.00 4.00,4.00 5.00,5.00",
                     "fill #0000ff"}));
    // The smooth curve reflects the last control point of the path, whatever came between.
    EXPECT_EQ(Draw(Icon("<path d=\"M0 0 C0 0 1 0 2 0 L4 4 S5 5 6 6\"/>"))[4],
              "bezier 7.00,8.00 5.00,5.00 6.00,6.00");
}

TEST_F(SvgTest, UnknownCommandsAndLeadingNumbersFailTheDocument) {
    EXPECT_FALSE(Loads(Icon("<path d=\"M0 0 Q1 1 2 2\"/>")));
    EXPECT_FALSE(Loads(Icon("<path d=\"10 10 L 2 2\"/>")));
    EXPECT_FALSE(Loads(Icon("<path d=\"M0 0 L1e-3 1\"/>")));                // the e is a command
    EXPECT_FALSE(Loads(Icon("<rect x=\"1\" width=\"2\" height=\"2\"/>")));  // no y
    EXPECT_FALSE(Loads("<html><p/></html>"));
    EXPECT_FALSE(Loads(""));
    EXPECT_TRUE(Loads(Icon("<path/>")));  // no d: an empty path
    // An unknown element is skipped; its siblings still draw.
    EXPECT_EQ(Draw(Icon("<title>x</title><line x1=\"1.9\" y1=\"2\" x2=\"3\" y2=\"4.99\"/>")),
              (Calls{"begin 1.00,2.00", "line 3.00,4.00", "fill #0000ff"}));
}

TEST_F(SvgTest, StyleRulesColourTheirClassesOnlyWhenAskedTo) {
    const std::string red = "<style>.a{fill:#f00}</style><path class=\"a\" d=\"M0 0 L1 1\"/>";
    EXPECT_EQ(Draw(Icon(red), {0, 0, 24, 24}, true).back(), "fill #ff0000");
    EXPECT_EQ(Draw(Icon(red), {0, 0, 24, 24}, false).back(), "fill #0000ff");
    const std::string six = "<style>.a{fill:#ff0000}</style><path class=\"a\" d=\"M0 0\"/>";
    EXPECT_EQ(Draw(Icon(six), {0, 0, 24, 24}, true).back(), "fill #ff0000");
    const std::string four = "<style>.a{fill:#ff00}</style><path class=\"a\" d=\"M0 0\"/>";
    EXPECT_EQ(Draw(Icon(four), {0, 0, 24, 24}, true).back(), "fill #0000ff");
    // Classes in the element's order, the last matching rule with a fill wins.
    const std::string order =
        "<style>.b{fill:#f00} .a{fill:#00f0f0} .c{stroke:#0f0}</style>"
        "<path class=\"a b c\" d=\"M0 0\"/>";
    EXPECT_EQ(Draw(Icon(order), {0, 0, 24, 24}, true).back(), "fill #ff0000");
    // A rule is matched at the first of the element's names it names, and no later.
    const std::string first =
        "<style>.a{fill:#0000fe} .a, .b{fill:#fe0000}</style>"
        "<path class=\"a b\" d=\"M0 0\"/><path class=\"b a\" d=\"M0 0\"/>";
    EXPECT_EQ(Fills(Icon(first)), (Calls{"fill #fe0000", "fill #0000fe"}));
    // A style of hundreds of kilobytes is no icon's: it is left unread, the shapes keep the
    // brush.
    const std::string huge = "<style>.a{fill:#f00}/*" + std::string(256 * 1024, 'x') +
                             "*/</style><path class=\"a\" d=\"M0 0\"/>";
    EXPECT_EQ(Draw(Icon(huge), {0, 0, 24, 24}, true).back(), "fill #0000ff");
    // A group's own class never matches its own rules; outer rules reach inner groups, and
    // rules of inner groups come after (and win over) those of outer ones.
    const std::string groups =
        "<style>.o{fill:#010203} .q{fill:#0a0b0c}</style>"
        "<g class=\"g\"><style>.g{fill:#ff0000} .q{fill:#00ff00}</style>"
        "<path class=\"o\" d=\"M0 0\"/><g><path class=\"q\" d=\"M0 0\"/></g></g>"
        "<path class=\"q\" d=\"M0 0\"/><path class=\"g\" d=\"M0 0\"/>";
    EXPECT_EQ(Fills(Icon(groups)),
              (Calls{"fill #010203", "fill #00ff00", "fill #0a0b0c", "fill #0000ff"}));
}

TEST_F(SvgTest, CirclesEllipsesAndArcs) {
    // r 10 drawn at twice its size: the figure starts 20 units right of the centre.
    EXPECT_EQ(Draw(Icon("<circle cx=\"12\" cy=\"12\" r=\"10\"/>"), {0, 0, 48, 48}),
              (Calls{"begin 44.00,24.00", "arc 24.00,24.00 r20.00 0.00000 6.28318", "close",
                     "fill #0000ff"}));
    Calls ellipse = Draw(Icon("<ellipse cx=\"10\" cy=\"10\" rx=\"4\" ry=\"2\"/>"));
    ASSERT_EQ(ellipse.size(), 7u);
    EXPECT_EQ(ellipse[0], "begin 10.00,12.00");
    EXPECT_EQ(ellipse[1], "bezier 12.21,12.00 14.00,11.10 14.00,10.00");
    // A half circle of radius 10 at scale 1: trunc(pi * 10) / 2 = 15 segments, then the end.
    Calls arc = Draw(Icon("<path d=\"M2 12 A10 10 0 0 1 22 12\"/>"));
    ASSERT_EQ(arc.size(), 2u + 15u + 1u + 1u);
    EXPECT_EQ(arc[2], "line 2.00,12.00");
    EXPECT_EQ(arc[arc.size() - 2], "line 22.00,12.00");
    for (size_t i = 2; i + 1 < arc.size(); ++i) {
        float x = 0, y = 0;
        ASSERT_EQ(std::sscanf(arc[i].c_str(), "line %f,%f", &x, &y), 2);
        EXPECT_NEAR(std::hypot(x - 12, y - 12), 10, 0.02);
        EXPECT_LE(y, 12.01);  // sweep 1 from the left runs over the top in y-down space
    }
    // Too small a radius, unequal radii: a jump to the end point.
    EXPECT_EQ(Draw(Icon("<path d=\"M0 0 A1 1 0 0 1 10 0\"/>"))[2], "move 10.00,0.00");
    EXPECT_EQ(Draw(Icon("<path d=\"M0 0 a5 6 0 0 1 10 0\"/>"))[2], "move 10.00,0.00");
    // Short arcs still have six segments.
    EXPECT_EQ(Draw(Icon("<path d=\"M0 0 A1 1 0 0 1 1 1\"/>")).size(), 2u + 6u + 1u + 1u);
}

// Input that ends early, an empty view box, an arc that ends where it starts and absurd
// numbers: never a failure, never a NaN (the recorder checks every point).
TEST_F(SvgTest, InputThatEndsEarlyOrIsAbsurdDrawsSafely) {
    EXPECT_EQ(Draw(Icon("<path d=\"M 10 10 L 5\"/>")),
              (Calls{"discard", "move 10.00,10.00", "fill #0000ff"}));
    EXPECT_EQ(Draw(Icon("<path d=\"M 10 L 5 6\"/>")),  // the move is short of its y
              (Calls{"discard", "line 5.00,6.00", "fill #0000ff"}));
    EXPECT_EQ(Draw(Icon("<polygon points=\"1 2 3 4 5\"/>")).size(), 4u);
    EXPECT_TRUE(Draw(Icon("<rect x=\"0\" y=\"0\" width=\"1\" height=\"1\"/>", "0 0 24")).empty());
    EXPECT_TRUE(Draw("<svg><rect x=\"0\" y=\"0\" width=\"1\" height=\"1\"/></svg>").empty());
    EXPECT_TRUE(Draw(Icon("<circle cx=\"1\" cy=\"1\" r=\"1\"/>", "0 0 0 0")).empty());
    EXPECT_EQ(Draw(Icon("<path d=\"M3 3 A5 5 0 1 1 3 3 L4 4\"/>")),
              (Calls{"discard", "move 3.00,3.00", "line 4.00,4.00", "fill #0000ff"}));
    std::string huge(400, '9');
    Draw(Icon("<path d=\"M" + huge + " 1 A" + huge + " " + huge + " 0 0 1 -" + huge + " 2\"/>",
              "0 0 0.000000000000000000000000000001 24"));
    // A number after Z repeats it once, not endlessly (found by fuzzing): it is used up.
    EXPECT_EQ(Draw(Icon("<path d=\"M1 1z0 L2 2\"/>")),
              (Calls{"discard", "move 1.00,1.00", "move 1.00,1.00", "move 1.00,1.00",
                     "line 2.00,2.00", "fill #0000ff"}));
    // A character the reader does not know ends the data; what came before is kept.
    EXPECT_EQ(Draw(Icon("<path d=\"M1 1 # L 5 5\"/>")),
              (Calls{"discard", "move 1.00,1.00", "fill #0000ff"}));
}

TEST_F(SvgTest, TheBuiltInAndShippedIconsLoad) {
    auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
    std::string folder = std::string(LUMOVOX_SOURCE_DIR) + "/style/light/";
    for (const char* name : {"saisei_normal.svg", "004_b_mukou.svg", "open_on.svg"}) {
        EXPECT_TRUE(renderer->LoadFile(TB_Uri(TB_String((folder + name).c_str())))) << name;
        EXPECT_EQ(renderer->GetViewBox(), (TB_Rectangle<float>{0, 0, 24, 24}));
    }
    auto missing = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
    EXPECT_FALSE(missing->LoadFile(TB_Uri(TB_String((folder + "none.svg").c_str()))));
    EXPECT_EQ(missing->GetViewBox(), (TB_Rectangle<float>{0, 0, 0, 0}));
}

}  // namespace

namespace {

// The alpha channel of a PNG written by another program, row by row; empty when unreadable.
std::vector<unsigned char> ReadAlpha(const std::string& path, int size) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) ||
        static_cast<int>(image.width) != size || static_cast<int>(image.height) != size) {
        png_image_free(&image);
        return {};
    }
    std::vector<unsigned char> alpha(rgba.size() / 4);
    for (size_t i = 0; i < alpha.size(); ++i) {
        alpha[i] = rgba[i * 4 + 3];
    }
    return alpha;
}

// Every icon we ship and build in, drawn by our renderer and by an independent one: the
// shapes must agree, pixel for pixel up to antialiasing.
TEST_F(SvgTest, ShippedIconsMatchAnIndependentRenderer) {
    if (std::system("command -v rsvg-convert > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "rsvg-convert is not installed";
    }
    TempFolder temp;
    std::vector<std::string> files;
    for (const char* folder : {"/style/light", "/style/dark",
                               "/tolmarenruviredarevod/resources/icons", "/app/resources"}) {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(LUMOVOX_SOURCE_DIR) + folder)) {
            if (entry.path().extension() == ".svg") {
                files.push_back(entry.path().string());
            }
        }
    }
    ASSERT_GE(files.size(), 106u);
    double worst = 0;
    std::string worstFile;
    for (int size : {24, 48, 256}) {
        for (const std::string& file : files) {
            std::string reference = temp / "reference.png";
            std::string command = "rsvg-convert -w " + std::to_string(size) + " -h " +
                                  std::to_string(size) + " '" + file + "' -o '" + reference + "'";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            std::vector<unsigned char> expected = ReadAlpha(reference, size);
            ASSERT_EQ(expected.size(), static_cast<size_t>(size * size)) << file;

            auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
            ASSERT_TRUE(renderer->LoadFile(TB_Uri(TB_String(file.c_str())))) << file;
            auto bitmap = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(size, size));
            {
                auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(bitmap.Get()));
                graphics->Clear(TB_Color{0, 0, 0, 0});
                TB_SolidBrush brush(TB_Color{0, 0, 0, 1});
                graphics->Brush = &brush;
                graphics->Pen = nullptr;
                auto side = static_cast<float>(size);
                renderer->Render(*graphics, TB_Rectangle<float>{0, 0, side, side}, true);
                graphics->Brush = nullptr;
            }
            int differing = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    int ours = static_cast<int>(*bitmap->PixelAt(x, y) >> 24);
                    int theirs = expected[static_cast<size_t>(y * size + x)];
                    differing += std::abs(ours - theirs) > 64 ? 1 : 0;
                }
            }
            double share = static_cast<double>(differing) / (size * size);
            EXPECT_LT(share, 0.01) << file << " at " << size;
            if (share > worst) {
                worst = share;
                worstFile = file + " at " + std::to_string(size);
            }
        }
    }
    std::printf("worst share of differing pixels: %.4f%% (%s)\n", worst * 100, worstFile.c_str());
}

}  // namespace
