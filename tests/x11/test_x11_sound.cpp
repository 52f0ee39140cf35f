#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "x11_mainwindow.h"

namespace {

namespace fs = std::filesystem;

// The outline, playhead, seeking, volume and lengths of the real program, seen in its dump.
class SoundInX11 : public MainWindowInX11 {
protected:
    void Key(const std::string& keys) { ASSERT_EQ(session.Run("xdotool key " + keys), 0); }
    static const rapidjson::Value& Strip(const rapidjson::Value& dump) {
        return (*FindId(dump, "waveform"))["Properties"];
    }
    static double Position(const rapidjson::Value& dump) {
        return Frame(dump)["Properties"]["PlayPosition"].GetDouble();
    }
    static bool Playing(const rapidjson::Value& dump) {
        return Frame(dump)["Properties"]["Playing"].GetBool();
    }
    static int Volume(const rapidjson::Value& dump) {
        return (*FindId(dump, "volumeSlider"))["Properties"]["Value"].GetInt();
    }
    // The length the list shows for the row of that file.
    static std::string Length(const rapidjson::Value& dump, const std::string& file) {
        for (const auto& item : Panel(dump)["Items"].GetArray()) {
            if (item["Text"].GetString() == file) {
                return item["VoiceData"][0]["Duration"].GetString();
            }
        }
        return "no row";
    }
    static int Row(const rapidjson::Value& dump, const std::string& file) {
        int row = 0;
        for (const auto& item : Panel(dump)["Items"].GetArray()) {
            if (item["Text"].GetString() == file) {
                return row;
            }
            ++row;
        }
        return -1;
    }
    // Clicks the outline at the fraction of its width.
    void ClickOutline(const rapidjson::Value& dump, double fraction) {
        const rapidjson::Value& strip = *FindId(dump, "waveform");
        const auto& at = strip["ScreenBounds"];
        const auto& wave = strip["Properties"]["WaveRect"];
        ClickAt(
            static_cast<int>(at[0].GetDouble() + wave[0].GetDouble() +
                             fraction * wave[2].GetDouble()),
            static_cast<int>(at[1].GetDouble() + wave[1].GetDouble() + wave[3].GetDouble() / 2));
    }
};

TEST_F(SoundInX11, TheOutlineShowsWherePlayGoesAndTakesItElsewhere) {
    std::string folder = temp / "tones";
    WriteTone(folder + "/a-long.wav", 3);
    WriteTone(folder + "/b-short.wav", 2);
    WriteFile(folder + "/c-broken.wav", "RIFF\x24\0\0\0WAVEjunkjunkjunkjunkjunk");
    Start({folder});
    rapidjson::Document dump = DumpUntil([](const rapidjson::Value& d) {
        return Length(d, "a-long.wav") == "0:03.0" && Length(d, "b-short.wav") == "0:02.0" &&
               Length(d, "c-broken.wav") == "—";
    });

    ClickRow(dump, Row(dump, "a-long.wav"));
    dump = DumpUntil([](const rapidjson::Value& d) {
        const auto& strip = Strip(d);
        return strip["WaveState"] == "ready" && strip["PeakCount"].GetInt() > 1000 &&
               std::abs(strip["WaveDuration"].GetDouble() - 3.0) < 0.01 &&
               strip["TimeText"] == "0:00.0 / 0:03.0";
    });

    // Stopped, a click in the middle sets where play starts; play goes on from there.
    ClickOutline(dump, 0.5);
    dump = DumpUntil([](const rapidjson::Value& d) {
        return std::abs(Position(d) - 1.5) < 0.05 &&
               std::abs(Strip(d)["Position"].GetDouble() - Position(d)) < 0.01;
    });
    Key("space");
    dump = DumpUntil([](const rapidjson::Value& d) {
        return Playing(d) && Strip(d)["Position"].GetDouble() > 1.6;
    });
    double seen = Strip(dump)["Position"].GetDouble();
    dump = DumpUntil([seen](const rapidjson::Value& d) {
        return Playing(d) && Strip(d)["Position"].GetDouble() > seen + 0.1;
    });
    // Playing, a click moves it back; Shift+Left and Shift+Right in the list move a second.
    ClickOutline(dump, 0.1);
    DumpUntil([](const rapidjson::Value& d) { return Playing(d) && Position(d) < 1.0; });
    Key("space");
    dump = DumpUntil([](const rapidjson::Value& d) { return !Playing(d); });
    EXPECT_LT(Strip(dump)["Position"].GetDouble(), 0.01);  // stopping goes back to the start
    ClickRow(dump, Row(dump, "a-long.wav"));
    Key("shift+Right shift+Right shift+Left");
    DumpUntil([](const rapidjson::Value& d) { return std::abs(Position(d) - 1.0) < 0.05; });
    // After the end, the next play starts from the top.
    Key("space");
    DumpUntil([](const rapidjson::Value& d) { return Playing(d); });
    auto ended = [](const rapidjson::Value& d) {
        return !Playing(d) && Strip(d)["Position"].GetDouble() < 0.01;
    };
    dump = DumpWithin(10, ended);  // the clip's own pace: two seconds
    ASSERT_TRUE(ended(dump));

    // A file that plays nothing says so in the strip and nowhere else.
    ClickRow(dump, Row(dump, "c-broken.wav"));
    dump = DumpUntil([](const rapidjson::Value& d) { return Strip(d)["WaveState"] == "failed"; });
    EXPECT_EQ(std::string(Strip(dump)["Message"].GetString()), "波形を表示できません");
    EXPECT_TRUE(dump["MessageBoxes"].Empty());

    // The volume: a press on the track, a key, the wheel; kept across a restart.
    const rapidjson::Value& slider = *FindId(dump, "volumeSlider");
    const auto& at = slider["ScreenBounds"];
    ClickAt(static_cast<int>(at[0].GetDouble() + at[2].GetDouble() - 2),
            static_cast<int>(at[1].GetDouble() + at[3].GetDouble() / 2));
    DumpUntil([](const rapidjson::Value& d) { return Volume(d) == 100; });
    Key("Left Left");
    DumpUntil([](const rapidjson::Value& d) { return Volume(d) == 90; });
    ASSERT_EQ(session.Run("xdotool click 5"), 0);  // wheel down
    DumpUntil([](const rapidjson::Value& d) { return Volume(d) == 85; });
    ASSERT_EQ(Close(), 0) << lastOutput;
    EXPECT_EQ(Settings()["PreviewVolume"]["value"].GetInt(), 85);
    Start();
    EXPECT_EQ(Volume(Dump()), 85);
}

// Lengths fill in for the rows in view first in a library of thousands, while the list keeps
// answering keys.
TEST_F(SoundInX11, LengthsOfALargeLibraryFillInWhileTheListAnswers) {
    std::string folder = temp / "many";
    fs::create_directories(folder);
    WriteTone(folder + "/tone.wav", 0.25);
    constexpr int kClips = 2000;
    for (int i = 0; i < kClips; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/clip%05d.wav", i);
        fs::copy_file(folder + "/tone.wav", folder + name);
    }
    Start({folder});
    rapidjson::Document dump =
        DumpUntil([](const rapidjson::Value& d) { return Length(d, "clip00000.wav") == "0:00.2"; });
    ClickRow(dump, 0);
    Key("End");
    dump = DumpUntil([](const rapidjson::Value& d) {
        return CurrentVoice(d) == "tone.wav" && Length(d, "clip01999.wav") == "0:00.2";
    });
    EXPECT_EQ(Strip(DumpUntil([](const rapidjson::Value& d) {
                  return Strip(d)["WaveState"] == "ready";
              }))["TimeText"],
              "0:00.0 / 0:00.2");
}

}  // namespace
