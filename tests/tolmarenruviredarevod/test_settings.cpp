#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <limits>
#include <random>

#include "framework_fixture.h"
#include "tb_error.h"
#include "tb_framework.h"
#include "tc_app.h"
#include "tc_json.h"
#include "tc_messagebox.h"
#include "tc_settings.h"

namespace {

namespace fs = std::filesystem;

// The settings file of the private data folder.
class SettingsTest : public FrameworkTest {
protected:
    std::string SettingsPath() { return m_temp / "LumoVox/setting.json"; }
    TB_Uri Uri(const std::string& path) { return TB_Uri(TB_String(path.c_str())); }
    std::string Member(const std::string& name, int type, const std::string& value) {
        return "\"" + name + "\": {\"type\": " + std::to_string(type) + ", \"value\": " + value +
               "}";
    }
};

TEST_F(SettingsTest, BuiltInTableHasItsFortyNineNamesInOrder) {
    TC_AppSettings settings;
    ASSERT_EQ(settings.Parameters().Count(), 50);
    const char* expected[] = {"Language",
                              "TimeLineAudioHeight",
                              "PreviewBackColor",
                              "TimelineAntialias",
                              "PreviewBackToStart",
                              "PreviewAutoUpdateVoice",
                              "ShowKeyFrameInTimeline",
                              "TimeLineVideoThumbnailHeight",
                              "LastActiveColorPanel",
                              "ActionManagerBounds",
                              "ActionSelectorViewMode",
                              "ObjectSnapMargin",
                              "PreviewKeyCtrlChange",
                              "TimeLineLayerOrder",
                              "VideoCacheMaxFileSizeMB",
                              "VideoInsertPauseDuration",
                              "VideoInitialStretchLock",
                              "StartWindowBounds",
                              "StartWindowState",
                              "VoiceInsertMargin",
                              "BackupInterval",
                              "VideoExportSettings",
                              "CaptureVideoSettings",
                              "CaptureSettings",
                              "NewProjectNameRule",
                              "FileExplorerPath",
                              "FigureFilter",
                              "EffectFilter",
                              "PreviewAntialias",
                              "DontShowMMDModel",
                              "DontShowVMDMotion",
                              "StartGuideShow",
                              "TimeCodeGuideShow",
                              "UseHardwaraEncoder",
                              "ExportPhysicsPrepareCount",
                              "InitAudioVolumeOfVideo",
                              "InitAudioVolumeOfSpeaker",
                              "AddAllActionsOnCreate",
                              "StartImeMode",
                              "GuiScale",
                              "UiStyleName",
                              "QualityImprovementChecked",
                              "QualityImprovement",
                              "NumberOfBoots",
                              "QualityImprovementId",
                              "GcFileItem",
                              "VoiceLibDirPath",
                              "VoiceLibIndex",
                              "AutoPlayOnSelect",
                              "PreviewVolume"};
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(settings.Parameters()[i]->Name.ToStdString(), expected[i]) << i;
    }
    EXPECT_EQ(settings.GetText(u"Language").ToStdString(), "ja");
    EXPECT_EQ(settings.GetInt(u"GuiScale"), 100);
    EXPECT_EQ(settings.GetInt(u"VoiceLibIndex"), -1);
    EXPECT_FALSE(settings.GetBool(u"AutoPlayOnSelect"));
    EXPECT_EQ(settings.GetInt(u"PreviewVolume"), 100);
    EXPECT_EQ(settings.GetRectangle(u"StartWindowBounds"), (TB_Rectangle<float>{0, 0, 1280, 1024}));
    EXPECT_EQ(settings.FindParameter(u"VideoCacheMaxFileSizeMB")->Int64Value, 2048);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(SettingsTest, WriterFormatMatchesTheGoldenFile) {
    TC_AppSettings settings;
    settings.SetInt(u"NumberOfBoots", 1);
    std::string golden =
        ReadFile(std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/setting.default.json");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(settings.ToJson(), golden);
    // The details the golden file pins, spelled out.
    std::string text = settings.ToJson();
    EXPECT_NE(text.find("\t\"StartWindowBounds\": {\n\t\t\"type\": 7,\n\t\t\"value\": "
                        "[\n\t\t\t0.0,\n\t\t\t0.0,\n"
                        "\t\t\t1280.0,\n\t\t\t1024.0\n\t\t]\n\t}"),
              std::string::npos);
    EXPECT_NE(text.find("\"value\": 1.7999999523162842"), std::string::npos);
    EXPECT_NE(text.find("\"RecentProjects\": [],"), std::string::npos);
    EXPECT_NE(text.back(), '\n');
}

TEST_F(SettingsTest, LoadOverlaysKeepsUnknownMembersAndTruncatesRectangles) {
    WriteFile(SettingsPath(),
              "\xEF\xBB\xBF{" + Member("Future", 1, "3") + "," +
                  Member("StartWindowBounds", 7, "[10.7, 20.2, 300.9, 400.5]") + "," +
                  Member("UiStyleName", 8, "\"\xE3\x83\x80\"") + "," +
                  Member("GuiScale", 1, "\"x\"") +
                  ", \"RecentProjects\": [\"C:\\\\p\\\\a.prj\", 5]," +
                  "\"RegisteredColors\": [{\"n\": \"red\", \"c\": \"#FF0000\"}, {\"n\": \"x\"}]," +
                  "\"Stray\": 12}");
    TC_AppSettings settings;
    ASSERT_EQ(settings.Load(Uri(SettingsPath())), TC_AppSettings::LoadResult::Loaded);
    EXPECT_EQ(settings.GetRectangle(u"StartWindowBounds"), (TB_Rectangle<float>{10, 20, 300, 400}));
    EXPECT_EQ(settings.GetText(u"UiStyleName").ToStdString(), "\xE3\x83\x80");
    EXPECT_EQ(settings.GetInt(u"GuiScale"), 100);  // a value of the wrong kind is ignored
    ASSERT_EQ(settings.Parameters().Count(), 51);
    EXPECT_EQ(settings.Parameters()[50]->Name.ToStdString(), "Future");
    ASSERT_EQ(settings.RecentProjects().Count(), 1);
    EXPECT_EQ(settings.RecentProjects()[0]->GetUri().ToStdString(), "file://C:/p/a.prj");
    ASSERT_EQ(settings.RegisteredColors().Count(), 1);
    EXPECT_EQ(settings.RegisteredColors()[0]->Color, (TB_Color{1, 0, 0, 1}));

    ASSERT_TRUE(settings.Save(Uri(SettingsPath())));
    std::string text = ReadFile(SettingsPath());
    EXPECT_LT(text.find("\"VoiceLibIndex\""),
              text.find("\"Future\": {\n\t\t\"type\": 1,\n\t\t\"value\": 3\n\t}"));
    EXPECT_EQ(text.find("Stray"), std::string::npos);
    TC_AppSettings again;
    again.Load(Uri(SettingsPath()));
    EXPECT_EQ(again.ToJson(), text);
}

TEST_F(SettingsTest, ColourRule) {
    auto read = [](const char* json) {
        rapidjson::Document document;
        document.Parse(json);
        TB_Color color{0.5f, 0.5f, 0.5f, 0.5f};
        TC_ReadJsonColor(document, color);
        return color;
    };
    const TB_Color unchanged{0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(read("\"#FFFFFF\""), (TB_Color{1, 1, 1, 1}));
    EXPECT_EQ(read("\"#ffffff\""), (TB_Color{1, 1, 1, 1}));
    EXPECT_EQ(read("[1, 0, 0]"), (TB_Color{1, 0, 0, 1}));
    EXPECT_EQ(read("[1, 0, 0, 0.5]"), (TB_Color{1, 0, 0, 0.5f}));
    EXPECT_EQ(read("[255, 0, 0]").r, 255.0f);
    for (const char* bad :
         {"\"#FFF\"", "\"FFFFFF\"", "\"#GG0000\"", "[1, 0]", "[1, 0, \"x\"]", "7", "{}"}) {
        EXPECT_EQ(read(bad), unchanged) << bad;
    }
}

TEST_F(SettingsTest, BrokenFileKeepsDefaultsIsReportedAndKeptAside) {
    WriteFile(SettingsPath(), "{\"GuiScale\": {\"type\": 1, \"value\": 150}, oops");
    TC_AppSettings settings;
    EXPECT_EQ(settings.Load(Uri(SettingsPath())), TC_AppSettings::LoadResult::Broken);
    EXPECT_EQ(settings.GetInt(u"GuiScale"), 100);
    TB_Ref<TB_Error> parse = TB_Ref<TB_Error>::Adopt(TB_Error::CopyRecord(0));
    EXPECT_EQ(parse->Level(), 256);
    EXPECT_EQ(parse->Code(), 5);
    EXPECT_EQ(parse->Message().ToStdString(),
              "Faile to parse Json : Missing a name for object member.");
    EXPECT_FALSE(fs::exists(SettingsPath()));
    EXPECT_EQ(ReadFile(SettingsPath() + ".broken"),
              "{\"GuiScale\": {\"type\": 1, \"value\": 150}, oops");

    WriteFile(SettingsPath(), "[1, 2]");  // valid JSON, but no object: kept aside too
    TC_AppSettings array;
    EXPECT_EQ(array.Load(Uri(SettingsPath())), TC_AppSettings::LoadResult::Broken);
    // A second broken file never replaces the first kept copy.
    EXPECT_EQ(ReadFile(SettingsPath() + ".broken.1"), "[1, 2]");
    EXPECT_EQ(ReadFile(SettingsPath() + ".broken"),
              "{\"GuiScale\": {\"type\": 1, \"value\": 150}, oops");
    WriteFile(SettingsPath(), "nope");
    TC_AppSettings third;
    third.Load(Uri(SettingsPath()));
    EXPECT_EQ(ReadFile(SettingsPath() + ".broken.2"), "nope");
    EXPECT_TRUE(m_messages.empty());

    TC_AppSettings missing;
    EXPECT_EQ(missing.Load(Uri(m_temp / "none.json")), TC_AppSettings::LoadResult::Missing);
}

TEST_F(SettingsTest, WrongTypeOfAKnownParameterStopsWithStatusThreeAfterTheMessage) {
    const std::string original = "{" + Member("GuiScale", 8, "\"big\"") + "}";
    WriteFile(SettingsPath(), original);
    EXPECT_EXIT(
        {
            auto* app = new TC_App();
            app->Release();
        },
        testing::ExitedWithCode(3), "");
    EXPECT_EQ(ReadFile(SettingsPath()), original);  // nothing written

    TC_AppSettings settings;
    EXPECT_EQ(settings.Load(Uri(SettingsPath()), false), TC_AppSettings::LoadResult::TypeMismatch);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, "Code : 5\r\nParamter Type was not matched");
    EXPECT_EQ(m_messages[0].title, "Mirelle Studio");
    EXPECT_EQ(m_messages[0].style, TB_MB_OK | TB_MB_ICONERROR);
}

TEST_F(SettingsTest, MissingParameterIsReportedWithItsName) {
    TC_AppSettings settings;
    EXPECT_EQ(settings.FindParameter(u"NoSuchSetting"), nullptr);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, "Code : 4\r\nNoSuchSetting");
    EXPECT_EQ(settings.FindParameter(u"NoSuchSetting", false), nullptr);
    EXPECT_EQ(m_messages.size(), 1u);

    TC_ShowMessage(nullptr, TB_String(u"question"), TB_String(), TB_MB_YESNO | TB_MB_ICONQUESTION);
    EXPECT_EQ(m_messages.back().title, "Mirelle Studio");
    TC_ShowMessage(nullptr, TB_String(u"q"), TB_String(u"\u30EB"), TB_MB_OK);
    EXPECT_EQ(m_messages.back().title, "\xE3\x83\xAB");
}

TEST_F(SettingsTest, CopyFromAndInspect) {
    TC_AppSettings changed;
    changed.SetInt(u"GuiScale", 150);
    changed.SetText(u"UiStyleName", TB_String(u"dark"));
    TC_AppSettings target;
    target.CopyFrom(changed);
    EXPECT_EQ(target.GetInt(u"GuiScale"), 150);
    EXPECT_EQ(target.GetText(u"UiStyleName").ToStdString(), "dark");
    target.SetText(target.FindParameter(u"GuiScale"), TB_String(u"ignored"));  // not a text
    EXPECT_EQ(target.GetInt(u"GuiScale"), 150);
}

TEST_F(SettingsTest, FailedSaveLeavesTheOldFileIntact) {
    TC_AppSettings settings;
    ASSERT_TRUE(settings.Save(Uri(SettingsPath())));
    const std::string before = ReadFile(SettingsPath());
    pid_t child = fork();
    if (child == 0) {
        // A file-size limit makes every write past 100 bytes fail, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        TC_AppSettings changed;
        changed.SetInt(u"GuiScale", 200);
        _exit(changed.Save(Uri(SettingsPath())) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reported success";
    EXPECT_EQ(ReadFile(SettingsPath()), before);
    for (const auto& entry : fs::directory_iterator(m_temp / "LumoVox")) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
    }
}

TEST_F(SettingsTest, KillingTheProgramDuringSavesNeverLeavesATruncatedFile) {
    TC_AppSettings first;
    ASSERT_TRUE(first.Save(Uri(SettingsPath())));
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        pid_t child = fork();
        if (child == 0) {
            TC_AppSettings settings;
            for (int i = 0;; ++i) {
                settings.SetInt(u"NumberOfBoots", i);
                settings.Save(Uri(SettingsPath()));
            }
        }
        usleep(static_cast<useconds_t>(random() % 20000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        rapidjson::Document document;
        std::string text = ReadFile(SettingsPath());
        document.Parse(text.c_str());
        ASSERT_FALSE(document.HasParseError()) << "round " << round;
        ASSERT_TRUE(document.IsObject());
        EXPECT_TRUE(document.HasMember("VoiceLibIndex"));
    }
}

TEST_F(SettingsTest, AppCountsBootsAndResetKeepsTheLanguage) {
    auto* app = new TC_App();
    app->Release();
    TC_AppSettings afterFirst;
    afterFirst.Load(Uri(SettingsPath()));
    EXPECT_EQ(afterFirst.GetInt(u"NumberOfBoots"), 1);

    app = new TC_App();
    EXPECT_EQ(app->Settings().GetInt(u"NumberOfBoots"), 2);
    app->Settings().SetText(u"Language", TB_String(u"en"));
    app->Settings().SetInt(u"GuiScale", 200);
    WriteFile(m_temp / "LumoVox/voice-libs.json", "{}");
    app->ResetEnvironment();
    EXPECT_EQ(app->Settings().GetText(u"Language").ToStdString(), "en");
    EXPECT_EQ(app->Settings().GetInt(u"GuiScale"), 100);
    EXPECT_EQ(app->Settings().GetInt(u"NumberOfBoots"), 0);
    app->Release();
    EXPECT_FALSE(fs::exists(m_temp / "LumoVox/voice-libs.json"));
    TC_AppSettings afterReset;
    afterReset.Load(Uri(SettingsPath()));
    EXPECT_EQ(afterReset.GetText(u"Language").ToStdString(), "en");
    EXPECT_EQ(afterReset.GetInt(u"GuiScale"), 100);
}

// Numbers beyond the float range (a hand edit, another program) are clamped to it; the save
// then writes a complete, readable file instead of cutting it short at the first of them and
// losing every setting at the next start. Rectangles clamp to the 32-bit range before they
// are cut to whole numbers.
TEST_F(SettingsTest, NumbersBeyondTheirRangeAreClampedAndTheFileStaysReadable) {
    WriteFile(SettingsPath(), "{" + Member("ObjectSnapMargin", 2, "1e39") + "," +
                                  Member("PreviewBackColor", 9, "[1e39, -1e300, 0.5]") + "," +
                                  Member("StartWindowBounds", 7, "[1e30, -1e30, 200.5, 1e19]") +
                                  "," + Member("NumberOfBoots", 1, "2147483647") + "}");
    auto* app = new TC_App();
    TC_AppSettings& settings = app->Settings();
    EXPECT_EQ(settings.GetInt(u"NumberOfBoots"), 2147483647);  // saturated, no overflow
    TC_SettingParam* margin = settings.FindParameter(u"ObjectSnapMargin");
    EXPECT_EQ(margin->FloatValue, 3.4028234663852886e38f);
    TC_SettingParam* colour = settings.FindParameter(u"PreviewBackColor");
    EXPECT_EQ(colour->ColorValue.r, 3.4028234663852886e38f);
    EXPECT_EQ(colour->ColorValue.g, -3.4028234663852886e38f);
    EXPECT_EQ(settings.GetRectangle(u"StartWindowBounds"),
              (TB_Rectangle<float>{2147483647.0f, -2147483648.0f, 200, 2147483647.0f}));
    settings.FindParameter(u"InitAudioVolumeOfVideo")->FloatValue =
        std::numeric_limits<float>::infinity();
    settings.FindParameter(u"VoiceInsertMargin")->DoubleValue = std::nan("");
    app->Release();

    TC_AppSettings again;
    ASSERT_EQ(again.Load(Uri(SettingsPath())), TC_AppSettings::LoadResult::Loaded);
    EXPECT_EQ(again.FindParameter(u"InitAudioVolumeOfVideo")->FloatValue, 3.4028234663852886e38f);
    EXPECT_EQ(again.FindParameter(u"VoiceInsertMargin")->DoubleValue, 0.0);
    EXPECT_EQ(again.GetInt(u"NumberOfBoots"), 2147483647);
    EXPECT_FALSE(fs::exists(SettingsPath() + ".broken"));
}

// Found by fuzzing: a double must come back exactly after a save, and a key whose bytes
// decode to a reserved name must not become a parameter written under that name.
TEST_F(SettingsTest, SavedSettingsLoadBackTheSame) {
    WriteFile(SettingsPath(), "{" + Member("VoiceInsertMargin", 3, "0.30000000000000004") +
                                  ", \"RecentProjects\x82\": {\"type\": 1}}");
    TC_AppSettings first;
    ASSERT_EQ(first.Load(Uri(SettingsPath())), TC_AppSettings::LoadResult::Loaded);
    EXPECT_EQ(first.FindParameter(u"VoiceInsertMargin")->DoubleValue, 0.30000000000000004);
    ASSERT_TRUE(first.Save(Uri(SettingsPath())));
    TC_AppSettings second;
    ASSERT_EQ(second.Load(Uri(SettingsPath())), TC_AppSettings::LoadResult::Loaded);
    EXPECT_EQ(second.ToJson(), first.ToJson());
    EXPECT_EQ(second.Parameters().Count(), 50);

    // A zero with an exponent is zero (RapidJSON's own exact reading made 0e39 a huge number),
    // and the hardest doubles still come back bit for bit.
    for (const char* zero : {"0e39", "0e300", "-0.000e-400", "0.0E+5"}) {
        WriteFile(SettingsPath(), "{" + Member("VoiceInsertMargin", 3, zero) + "}");
        TC_AppSettings zeroed;
        ASSERT_EQ(zeroed.Load(Uri(SettingsPath())), TC_AppSettings::LoadResult::Loaded) << zero;
        EXPECT_EQ(zeroed.FindParameter(u"VoiceInsertMargin")->DoubleValue, 0.0) << zero;
    }
    for (double value :
         {5e-324, 2.2250738585072011e-308, 1.7976931348623157e308, 0.1, 1e23, 9007199254740993.0}) {
        first.FindParameter(u"VoiceInsertMargin")->DoubleValue = value;
        ASSERT_TRUE(first.Save(Uri(SettingsPath())));
        TC_AppSettings back;
        ASSERT_EQ(back.Load(Uri(SettingsPath())), TC_AppSettings::LoadResult::Loaded);
        EXPECT_EQ(back.FindParameter(u"VoiceInsertMargin")->DoubleValue, value);
    }
}

}  // namespace
