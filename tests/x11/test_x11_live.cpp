#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "x11_mainwindow.h"

namespace {

namespace fs = std::filesystem;

// The current library follows its folder and its table while the program runs, without F5.
class LiveInX11 : public MainWindowInX11 {
protected:
    static size_t Rows(const rapidjson::Value& dump) { return Panel(dump)["Items"].Size(); }
    static bool Starred(const rapidjson::Value& dump, const std::string& file) {
        for (const auto& item : Panel(dump)["Items"].GetArray()) {
            const auto& voice = item["VoiceData"][0];
            if (voice["RelFilePath"].GetString() == file) {
                return voice["Favorite"].GetBool();
            }
        }
        return false;
    }
    static bool Available(const rapidjson::Value& dump) {
        for (const auto& library :
             (*FindId(dump, "libraryList"))["Properties"]["Libs"].GetArray()) {
            if (library["Name"].GetString() == LibraryName(dump)) {
                return library["Available"].GetBool();
            }
        }
        return false;
    }
    // How many times the list took the library read again after a change on disk.
    static int Reloads(const rapidjson::Value& dump) { return Panel(dump)["DiskReloads"].GetInt(); }
};

// A clip copied in, a thousand at once, the folder moved away and back: each shows in the
// list by itself, the selection and the star kept, the burst read once.
TEST_F(LiveInX11, AFolderLibraryFollowsItsFolder) {
    std::string lib = Library("live", 3);
    Start({lib});
    rapidjson::Document dump =
        DumpUntil([](const rapidjson::Value& d) { return LibraryName(d) == "live"; });
    ClickRow(dump, 1);
    dump = DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "clip2.wav"; });
    ClickStar(dump, 1);
    DumpUntil([](const rapidjson::Value& d) { return Starred(d, "clip2.wav"); });

    fs::copy_file(kClip, lib + "/clip4.wav");
    dump = DumpUntil([](const rapidjson::Value& d) { return Rows(d) == 4; });
    EXPECT_EQ(CurrentVoice(dump), "clip2.wav");
    EXPECT_TRUE(Starred(dump, "clip2.wav"));

    int before = Reloads(dump);
    std::string burst = temp / "burst";
    fs::create_directory(burst);
    for (int i = 0; i < 1000; ++i) {
        fs::copy_file(kClip, burst + "/many" + std::to_string(i) + ".wav");
    }
    // Copied in as a file manager would: one file after another into the watched folder.
    for (const auto& file : fs::directory_iterator(burst)) {
        fs::copy_file(file.path(), lib + "/" + file.path().filename().string());
    }
    dump = DumpUntil([](const rapidjson::Value& d) { return Rows(d) == 1004; });
    EXPECT_EQ(CurrentVoice(dump), "clip2.wav");
    // Read when it settles or at the latest each second: a few reads, not one per file.
    EXPECT_LT(Reloads(dump) - before, 10);

    fs::rename(lib, lib + "-away");
    dump = DumpUntil([](const rapidjson::Value& d) { return !Available(d); });
    EXPECT_EQ(Rows(dump), 1004u) << "an unmounted folder keeps its list";
    EXPECT_TRUE(Starred(dump, "clip2.wav"));
    fs::rename(lib + "-away", lib);
    dump = DumpUntil([](const rapidjson::Value& d) { return Available(d) && Rows(d) == 1004; });
    EXPECT_TRUE(Starred(dump, "clip2.wav"));
    EXPECT_EQ(CurrentVoice(dump), "clip2.wav");
    ASSERT_EQ(Close(), 0) << lastOutput;
    EXPECT_NE(ReadData("voice-libs.json").find(lib + "/clip2.wav"), std::string::npos);
}

// A line appended to the table shows; a table rewritten in place in two writes (either may be
// read) loses no star once it is whole, and a folder turned into a file says nothing.
TEST_F(LiveInX11, ATableLibraryFollowsItsTable) {
    std::string lib = Library("table", 4);
    std::string rows;
    for (int i = 1; i <= 3; ++i) {
        rows += "clip" + std::to_string(i) + ".wav,title" + std::to_string(i) + ",line,,c\n";
    }
    WriteFile(lib + "/lines.csv", rows);
    Start({lib});
    rapidjson::Document dump = DumpUntil(
        [](const rapidjson::Value& d) { return LibraryName(d) == "lines" && Rows(d) == 3; });
    ClickRow(dump, 2);
    dump = DumpUntil([](const rapidjson::Value& d) { return CurrentVoice(d) == "clip3.wav"; });
    ClickStar(dump, 2);
    DumpUntil([](const rapidjson::Value& d) { return Starred(d, "clip3.wav"); });

    {
        std::ofstream table(lib + "/lines.csv", std::ios::app);
        table << "clip4.wav,title4,line,,c\n";
    }
    dump = DumpUntil([](const rapidjson::Value& d) { return Rows(d) == 4; });
    EXPECT_EQ(CurrentVoice(dump), "clip3.wav");

    int before = Reloads(dump);
    {
        std::ofstream table(lib + "/lines.csv", std::ios::trunc);
        table << "clip1.wav,title1,line,,c\n" << std::flush;
        table << "clip2.wav,title2,line,,c\nclip3.wav,title3,line,,c\nclip4.wav,title4,line,,c\n";
    }
    dump = DumpUntil([before](const rapidjson::Value& d) {
        return Reloads(d) > before && Rows(d) == 4 && Starred(d, "clip3.wav") &&
               CurrentVoice(d) == "clip3.wav";
    });

    fs::rename(lib, lib + "-moved");
    WriteFile(lib, "not a folder");
    dump = DumpUntil([](const rapidjson::Value& d) { return !Available(d); });
    EXPECT_TRUE(dump["MessageBoxes"].Empty());
    EXPECT_TRUE(Starred(dump, "clip3.wav"));
}

}  // namespace
