#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <sys/wait.h>

#include <cstdlib>

#include "framework_fixture.h"
#include "lv_style.h"
#include "tb_gui.h"

namespace {

class StyleTest : public FrameworkTest {
protected:
    static void SetUpTestSuite() { TB_GuiStartup(TB_String(), nullptr); }
    void TearDown() override {
        TB_GetGlobalStyle().ResetToBuiltIn();
        FrameworkTest::TearDown();
    }
    // The colours a style.json of the given text yields.
    LV_StyleColours Read(const std::string& json) {
        WriteFile(folder / "style.json", json);
        LV_StyleColours colours;
        EXPECT_TRUE(LV_ReadStyleColours(nullptr, Uri(), colours)) << json;
        return colours;
    }
    TB_Uri Uri() { return TB_Uri(TB_String(folder.Path().c_str())); }
    static TB_Color Black() { return TB_Color{0, 0, 0, 1}; }

    TempFolder folder;
};

TEST_F(StyleTest, ColourValuesAndWhatCountsAsAbsent) {
    LV_StyleColours c = Read(
        "{\"BG_COLOR\": \"#FFFFFF\", \"FORE_COLOR\": \"#ffffff\", \"TEXT_BOX_BG_COLOR\": \"#FFF\","
        " \"TEXT_BOX_FORE_COLOR\": \"FFFFFF\", \"CONTENTS_FORE_COLOR\": \"#GG0000\","
        " \"CONTENTS_BG_H_COLOR\": [1, 0, 0], \"CONTENTS_SEL_BG_COLOR\": [1, 0, 0, 0.5],"
        " \"CONTENTS_SEL_BG_H_COLOR\": [255, 0, 0], \"CONTENTS_BORDER_COLOR\": [1, 0],"
        " \"CONTENTS_ITEM_COLOR1\": [1, \"x\", 0], \"CONTENTS_ITEM_COLOR2\": 7,"
        " \"Unknown\": \"#123456\"}");
    EXPECT_EQ(c.Values[0], (TB_Color{1, 1, 1, 1}));
    EXPECT_EQ(c.Values[1], (TB_Color{1, 1, 1, 1}));
    for (int i : {2, 3, 4, 8, 9, 10, 22}) {
        EXPECT_EQ(c.Values[i], Black()) << LV_kStyleColourKeys[i];
        EXPECT_FALSE(c.Present[i]);
    }
    EXPECT_EQ(c.Values[5], (TB_Color{1, 0, 0, 1}));
    EXPECT_EQ(c.Values[6], (TB_Color{1, 0, 0, 0.5f}));
    // A colour is four fractions: what lies beyond is clamped, and said to be.
    EXPECT_EQ(c.Values[7], (TB_Color{1, 0, 0, 1}));
    EXPECT_TRUE(c.Clamped[7]);
    EXPECT_FALSE(c.Clamped[5]);
    LV_StyleColours far = Read("{\"BG_COLOR\": [-3.4e38, 2, 0.5, 1e300]}");
    EXPECT_EQ(far.Values[0], (TB_Color{0, 1, 0.5f, 1}));
    EXPECT_TRUE(far.Clamped[0]);
    std::string check = std::string("'") + LUMOVOX_BINARY_DIR + "/app/lumovox-check' --style '" +
                        folder.Path() + "' > '" + (folder / "report.json") + "' 2> /dev/null";
    int status = std::system(check.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    rapidjson::Document report;
    report.Parse(ReadFile(folder / "report.json").c_str());
    ASSERT_TRUE(report.IsObject());
    EXPECT_TRUE(report["colours"]["BG_COLOR"]["clamped"].GetBool());
    EXPECT_FALSE(report["colours"]["FORE_COLOR"]["clamped"].GetBool());
    for (const char* json : {"{}", "[1, 2, 3]", "\"#FFFFFF\""}) {
        LV_StyleColours empty = Read(json);  // a root that is no object: every member absent
        for (int i = 0; i < LV_kStyleColourCount; ++i) {
            EXPECT_EQ(empty.Values[i], Black()) << json;
        }
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(StyleTest, AFileThatIsNotJsonKeepsTheScaledBuiltInColours) {
    WriteFile(folder / "style.json", "{\"BG_COLOR\": \"#FFFFFF\",");
    LV_StyleColours colours;
    colours.Values[0] = TB_Color{0.5f, 0.5f, 0.5f, 1};
    EXPECT_FALSE(LV_ReadStyleColours(nullptr, Uri(), colours));
    EXPECT_EQ(colours.Values[0], (TB_Color{0.5f, 0.5f, 0.5f, 1}));  // untouched
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, "「" + folder.Path() + "/style.json」の読み取りに失敗しました。");
    EXPECT_EQ(m_messages[0].title, "ルモヴォクスアプリ");
    EXPECT_EQ(m_messages[0].style, TB_MB_OK | TB_MB_ICONERROR);
    // No file at all: no message, 23 black colours.
    LV_StyleColours missing;
    TempFolder empty;
    EXPECT_TRUE(LV_ReadStyleColours(nullptr, TB_Uri(TB_String(empty.Path().c_str())), missing));
    EXPECT_EQ(missing.Values[0], Black());
    EXPECT_EQ(m_messages.size(), 1u);
}

TEST_F(StyleTest, EachKeyColoursItsElements) {
    LV_StyleColours colours;
    for (int i = 0; i < LV_kStyleColourCount; ++i) {
        colours.Values[i] = TB_Color{static_cast<float>(i) / 32, 0, 0, 1};
    }
    TB_GlobalStyle style;
    LV_ApplyStyleColours(colours, style);
    auto index = [](const TB_Color& c) { return static_cast<int>(c.r * 32 + 0.5f); };
    EXPECT_EQ(index(style.WidgetBackground), 0);
    EXPECT_EQ(index(style.MenuBackground), 0);
    EXPECT_EQ(index(style.ButtonHoverFace), 2);
    EXPECT_EQ(index(style.ReadOnlyTextForeColor), 3);
    EXPECT_EQ(index(style.ButtonFace), 6);
    EXPECT_EQ(index(style.ButtonPressedFace), 6);
    EXPECT_EQ(index(style.ContentsDisabledBorder), 8);
    EXPECT_EQ(index(style.ScrollForeDisabled), 16);
    EXPECT_EQ(index(style.ScrollForePressed), 16);
    EXPECT_EQ(index(style.ButtonDisabledFontColor), 20);
    EXPECT_EQ(index(style.MenuBorderColor), 22);
}

TEST_F(StyleTest, BuildingAStyleScalesNamesAndFallsBack) {
    TC_AppSettings settings;
    settings.SetInt(u"GuiScale", 125);
    EXPECT_EQ(LV_CurrentStyleName(settings).ToStdString(), "light");
    EXPECT_EQ(settings.GetText(u"UiStyleName").ToStdString(), "light");  // written back
    settings.SetText(u"UiStyleName", TB_String(u"Dark"));
    EXPECT_EQ(LV_CurrentStyleName(settings).ToStdString(), "Dark");  // exact, no folding
    EXPECT_NE(LV_StyleFolder(u"Dark").GetPath().ToStdString().find("/style/Dark"),
              std::string::npos);

    TC_VoiceListAppearance appearance;
    TB_Color background;
    EXPECT_TRUE(LV_BuildStyle(nullptr, settings, appearance, background));
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    EXPECT_EQ(style.TextFieldHeight, 30);
    EXPECT_FLOAT_EQ(style.FontSize, 13.125f);
    EXPECT_EQ(style.ButtonFontWeight, 600);
    // No folder named Dark: the light style, said once, and the loaded-style values of the
    // list.
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_NE(m_messages[0].text.find("/style/Dark」が見つかりませんでした。"), std::string::npos)
        << m_messages[0].text;
    EXPECT_NE(style.WidgetBackground, Black());
    EXPECT_EQ(LV_CurrentStyleFolder(nullptr, settings, false).GetPath().ToStdString(),
              LV_StyleFolder(u"light").GetPath().ToStdString());
    EXPECT_TRUE(appearance.MenuButtonShown);
    EXPECT_EQ(appearance.ListBorder, 2);
    EXPECT_FLOAT_EQ(appearance.ExtraHeight, 28);
    EXPECT_FLOAT_EQ(appearance.UnderlineOffset, 14);
    // A missing folder: one message per icon file and one for the title bitmap.
    TB_Uri dark = LV_StyleFolder(u"Dark");
    for (int base = 0; base < LV_kStyleIconBases; ++base) {
        for (int state = 0; state < 4; ++state) {
            auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
            EXPECT_FALSE(
                LV_LoadStyleIcon(nullptr, dark, LV_StyleIconFile(base, state), renderer.Get()));
        }
    }
    TB_NativeBitmap* title = nullptr;
    EXPECT_FALSE(LV_LoadStyleBitmap(nullptr, dark, u"title_under_line.png", title));
    EXPECT_EQ(title, nullptr);
    EXPECT_EQ(m_messages.size(), 50u);
    EXPECT_EQ(LV_StyleIconFile(0, 0).ToStdString(), "saisei_normal.svg");

    // A name that leads out of the style folders is no style: light, and the name as given.
    m_messages.clear();
    std::string elsewhere = m_temp / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    WriteFile(elsewhere + "/style.json", "{\"BG_COLOR\": [1, 0, 0, 1]}");
    for (std::string name : {std::string("../../../../../../../..") + elsewhere, std::string(".."),
                             std::string("light/../dark")}) {
        settings.SetText(u"UiStyleName", TB_String(name.c_str()));
        EXPECT_EQ(LV_CurrentStyleFolder(nullptr, settings, true).GetPath().ToStdString(),
                  LV_StyleFolder(u"light").GetPath().ToStdString())
            << name;
        ASSERT_FALSE(m_messages.empty());
        EXPECT_EQ(m_messages.back().text, "「" + name + "」が見つかりませんでした。");
    }
    EXPECT_EQ(m_messages.size(), 3u);
    EXPECT_EQ(LV_StyleIconFile(8, 3).ToStdString(), "004_b_mukou.svg");
}

// The styles we ship load completely through the checker, and every text they colour meets
// WCAG 2.1 AA against the backgrounds it is drawn on.
TEST_F(StyleTest, TheShippedStylesLoadAndMeetTheContrastTarget) {
    for (const char* name : {"light", "dark"}) {
        TempFolder out;
        std::string command = std::string("'") + LUMOVOX_BINARY_DIR +
                              "/app/lumovox-check' --style '" + LUMOVOX_SOURCE_DIR + "/style/" +
                              name + "' > '" + (out / "o.json") + "' 2>/dev/null";
        int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << name;
        rapidjson::Document report;
        report.Parse(ReadFile(out / "o.json").c_str());
        ASSERT_TRUE(report.IsObject()) << name;
        EXPECT_EQ(report["icons"].Size(), 48u);
        EXPECT_EQ(report["contrast"].Size(), static_cast<unsigned>(LV_kContrastPairCount));
        for (const auto& pair : report["contrast"].GetArray()) {
            EXPECT_GE(pair["ratio"].GetDouble(), 4.5) << name << ": " << pair["text"].GetString()
                                                      << " on " << pair["background"].GetString();
        }
        EXPECT_TRUE(report["titleBitmap"]["loaded"].GetBool());
    }
    TempFolder none;
    std::string missing = std::string("'") + LUMOVOX_BINARY_DIR + "/app/lumovox-check' --style '" +
                          none.Path() + "' > /dev/null 2>&1";
    int status = std::system(missing.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

TEST(Contrast, KnownRatios) {
    EXPECT_NEAR(LV_ContrastRatio(TB_Color{0, 0, 0, 1}, TB_Color{1, 1, 1, 1}), 21.0, 1e-9);
    EXPECT_NEAR(LV_ContrastRatio(TB_Color{1, 1, 1, 1}, TB_Color{1, 1, 1, 1}), 1.0, 1e-9);
    // #767676 on white is the classic 4.54:1.
    float grey = 0x76 / 255.0f;
    EXPECT_NEAR(LV_ContrastRatio(TB_Color{grey, grey, grey, 1}, TB_Color{1, 1, 1, 1}), 4.54, 0.01);
}

}  // namespace
