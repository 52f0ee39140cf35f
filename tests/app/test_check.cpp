#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const std::string kTool = std::string(LUMOVOX_BINARY_DIR) + "/app/lumovox-check";
const std::string kSource = LUMOVOX_SOURCE_DIR;

struct CheckRun {
    int status;
    rapidjson::Document json;
    std::string text;
};

// Runs the tool; its standard output must be one JSON document.
CheckRun Check(const std::string& arguments) {
    TempFolder temp;
    std::string command =
        "'" + kTool + "' " + arguments + " > '" + (temp / "out.json") + "' 2> /dev/null";
    int status = std::system(command.c_str());
    CheckRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, rapidjson::Document(),
                 ReadFile(temp / "out.json")};
    run.json.Parse(run.text.c_str());
    return run;
}

TEST(Check, SampleLibrariesPrintTheirModels) {
    CheckRun run = Check("'" + kSource + "/samples/hikari' '" + kSource + "/samples/tones'");
    ASSERT_EQ(run.status, 0) << run.text;
    ASSERT_FALSE(run.json.HasParseError()) << run.text;
    EXPECT_NE(run.text.substr(0, 3), "\xEF\xBB\xBF");
    const auto& libraries = run.json["libraries"];
    ASSERT_EQ(libraries.Size(), 2u);
    const auto& hikari = libraries[0];
    const char* keys[] = {"Name",       "Type",   "CharName", "RootPath",  "InfoFilePath",
                          "Categories", "Voices", "SubLibs",  "Available", "Thumbnail"};
    int k = 0;
    for (const auto& member : hikari.GetObject()) {
        ASSERT_LT(k, 10);
        EXPECT_STREQ(member.name.GetString(), keys[k++]);
    }
    EXPECT_STREQ(hikari["CharName"].GetString(), "ヒカリ");
    EXPECT_EQ(hikari["Voices"].Size(), 5u);
    EXPECT_STREQ(hikari["Voices"][2]["Surface"].GetString(), "やったー。\nできたよ。");
    EXPECT_TRUE(hikari["Voices"][2]["Exists"].GetBool());
    EXPECT_EQ(std::string(hikari["Voices"][0]["FullPath"].GetString()),
              "file://" + kSource + "/samples/hikari/voice/greet_01.wav");
    EXPECT_EQ(hikari["Thumbnail"][0].GetInt(), 64);
    EXPECT_EQ(libraries[1]["Thumbnail"][1].GetInt(), 256);  // the built-in image
    EXPECT_STREQ(libraries[1]["Categories"][0]["Name"].GetString(), "未分類");
    EXPECT_EQ(run.json["messages"].Size(), 0u);
}

TEST(Check, ShortLinesMissingClipsAndBadFoldersChangeTheStatus) {
    TempFolder temp;
    WriteFile(temp / "short/t.csv", "a.wav,A,A,A,C\nb.wav,B,B,B\n");
    WriteFile(temp / "short/a.wav", "x");
    CheckRun shortLine = Check("'" + (temp / "short") + "'");
    EXPECT_EQ(shortLine.status, 1);
    ASSERT_EQ(shortLine.json["messages"].Size(), 1u);
    EXPECT_STREQ(shortLine.json["messages"][0]["title"].GetString(), "t");
    EXPECT_NE(
        std::string(shortLine.json["messages"][0]["text"].GetString()).find("エラー行: 2行目"),
        std::string::npos);
    EXPECT_EQ(shortLine.json["messages"][0]["style"].GetInt(), 16);

    WriteFile(temp / "gap/t.csv", "gone.wav,G,G,G,C\n");
    CheckRun missing = Check("'" + (temp / "gap") + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(missing.json["libraries"][0]["Voices"][0]["Exists"].GetBool());

    CheckRun duplicate = Check("'" + (temp / "gap") + "' '" + (temp / "gap") + "'");
    EXPECT_EQ(duplicate.status, 1);
    EXPECT_STREQ(duplicate.json["messages"][0]["title"].GetString(), "フォルダを追加");

    CheckRun absent = Check("'" + (temp / "nowhere") + "'");
    EXPECT_EQ(absent.status, 2);
    EXPECT_FALSE(absent.json.HasParseError());
    EXPECT_EQ(Check("").status, 2);
}

TEST(Check, MalformedInputPrintsAResultOrACleanError) {
    TempFolder temp;
    std::string noise;
    for (int i = 0; i < 5000; ++i) {
        noise.push_back(static_cast<char>((i * 7919) % 251));
    }
    WriteFile(temp / "noise/t.csv", noise);
    WriteFile(temp / "long/t.csv", std::string(10 * 1024 * 1024, 'q') + ",a,b,c,d\n");
    fs::create_directories(temp / "dir/table.csv");
    for (const char* folder : {"noise", "long", "dir"}) {
        CheckRun run = Check("'" + (temp / folder) + "'");
        EXPECT_TRUE(run.status == 0 || run.status == 1) << folder;
        EXPECT_FALSE(run.json.HasParseError()) << folder;
    }
    WriteFile(temp / "bad-index.json", noise);
    CheckRun badIndex = Check("--index '" + (temp / "bad-index.json") + "'");
    EXPECT_EQ(badIndex.status, 2);
    EXPECT_EQ(ReadFile(temp / "bad-index.json"), noise);  // the tool never moves a file
}

// A pipe or a device where a file is expected is refused at once, as a missing file is: a
// style file, the title bitmap, an icon to render, a clip to probe, a library's table.
TEST(Check, PipesAndDevicesAreRefusedAtOnce) {
    TempFolder temp;
    fs::copy(kSource + "/style/light", temp / "light", fs::copy_options::recursive);
    for (const char* name :
         {"light/style.json", "light/title_under_line.png", "pipe.svg", "pipe.wav", "lib/t.csv"}) {
        fs::create_directories(fs::path(temp / name).parent_path());
        fs::remove(temp / name);
        ASSERT_EQ(mkfifo((temp / name).c_str(), 0600), 0) << name;
    }
    fs::copy_file(kSource + "/tests/data/audio/pcm16-stereo-48000.wav", temp / "lib/a.wav");
    fs::create_symlink("/dev/zero", temp / "lib/zero.wav");
    auto status = [&](const std::string& arguments) {
        std::string command = "timeout 60 '" + kTool + "' " + arguments + " > '" +
                              (temp / "out.json") + "' 2> /dev/null";
        int result = std::system(command.c_str());
        return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    };
    EXPECT_EQ(status("--style '" + (temp / "light") + "'"), 1);
    EXPECT_NE(status("--render-icon '" + (temp / "pipe.svg") + "' --size 16 --out '" +
                     (temp / "x.png") + "'"),
              0);
    EXPECT_EQ(status("--probe-audio '" + (temp / "pipe.wav") + "'"), 1);
    // The pipe is no table: the folder is scanned, and the device is a clip that is missing.
    EXPECT_EQ(status("'" + (temp / "lib") + "'"), 1);
    rapidjson::Document json;
    json.Parse(ReadFile(temp / "out.json").c_str());
    ASSERT_TRUE(json.IsObject());
    const auto& voices = json["libraries"][0]["Voices"];
    ASSERT_EQ(voices.Size(), 2u);
    EXPECT_TRUE(voices[0]["Exists"].GetBool());
    EXPECT_FALSE(voices[1]["Exists"].GetBool());
}

TEST(Check, IndexIsLoadedAsTheProgramLoadsIt) {
    TempFolder temp;
    WriteFile(temp / "lib/a.wav", "x");
    WriteFile(temp / "lib/b.wav", "x");
    WriteFile(temp / "voice-libs.json",
              "{\"libs\": [{\"name\": \"lib\", \"type\": 0, \"root\": \"file://" + (temp / "lib") +
                  "\", \"info\": \"\"}, {\"name\": \"gone\", \"type\": 0, \"root\": \"file://" +
                  (temp / "gone") + "\", \"info\": \"\"}], \"favs\": [\"file://" +
                  (temp / "lib/b.wav") + "\"]}");
    CheckRun run = Check("--index '" + (temp / "voice-libs.json") + "'");
    // The missing folder keeps its entry, and is a finding.
    ASSERT_EQ(run.status, 1) << run.text;
    ASSERT_EQ(run.json["libraries"].Size(), 2u);
    EXPECT_FALSE(run.json["libraries"][0]["Voices"][0]["Favorite"].GetBool());
    EXPECT_TRUE(run.json["libraries"][0]["Voices"][1]["Favorite"].GetBool());
    EXPECT_TRUE(run.json["libraries"][0]["Available"].GetBool());
    EXPECT_FALSE(run.json["libraries"][1]["Available"].GetBool());
    EXPECT_STREQ(run.json["libraries"][1]["Name"].GetString(), "gone");

    // A report that cannot be written is a failure, not a success.
    std::string full =
        "'" + kTool + "' --index '" + (temp / "voice-libs.json") + "' > /dev/full 2> /dev/null";
    int status = std::system(full.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2);
}

TEST(Check, ProbeAudioReportsDurationsAndFailures) {
    const std::string clips = kSource + "/tests/data/audio/";
    CheckRun run = Check("--probe-audio --play '" + clips + "pcm16-stereo-48000.wav' '" + clips +
                         "vbr-mono-44100.mp3' '" + clips + "random.wav'");
    EXPECT_EQ(run.status, 1);
    ASSERT_FALSE(run.json.HasParseError()) << run.text;
    const auto& probes = run.json["probes"];
    ASSERT_EQ(probes.Size(), 3u);
    EXPECT_EQ(probes[0]["result"].GetInt(), 0);
    EXPECT_EQ(probes[0]["state"].GetInt(), 2);
    EXPECT_NEAR(probes[0]["duration"].GetDouble(), 0.5, 0.02);
    EXPECT_GE(probes[0]["ended"].GetDouble(), 0.45);
    EXPECT_NEAR(probes[1]["duration"].GetDouble(), 1.0, 0.02);
    EXPECT_NE(probes[2]["result"].GetInt(), 0);
    EXPECT_EQ(probes[2]["state"].GetInt(), 0);
    EXPECT_TRUE(probes[2]["ended"].IsNull());
}

TEST(Check, GroupsAndNamesThatAreNotUtf8StreamAsValidJson) {
    TempFolder temp;
    const std::string sjis = "\x83\x65\x83\x58\x83\x67";  // テスト in Shift_JIS
    WriteFile(temp / "one/a.wav", "x");
    WriteFile(temp / "one/character.ini", "name\tTaro\n");
    WriteFile(temp / (sjis + "/\x95\x5C.wav"), "x");
    WriteFile(temp / (sjis + "/character.ini"), "name\tTaro\n");
    CheckRun run = Check("'" + (temp / "one") + "' '" + (temp / sjis) + "'");
    ASSERT_EQ(run.status, 0) << run.text;
    rapidjson::Document strict;
    strict.Parse<rapidjson::kParseValidateEncodingFlag>(run.text.c_str());
    ASSERT_FALSE(strict.HasParseError()) << "the output must be valid UTF-8";

    const auto& libraries = run.json["libraries"];
    ASSERT_EQ(libraries.Size(), 1u);
    const auto& group = libraries[0];
    EXPECT_EQ(group["Type"].GetInt(), 2);
    EXPECT_EQ(group["Thumbnail"][0].GetInt(), 256);  // the last sub-library's
    ASSERT_EQ(group["SubLibs"].Size(), 2u);
    const auto& odd = group["SubLibs"][1];
    std::vector<std::string> keys;
    for (const auto& member : odd.GetObject()) {
        keys.push_back(member.name.GetString());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"Name", "Type", "CharName", "RootPath",
                                              "InfoFilePath", "Categories", "Voices", "SubLibs",
                                              "Available", "Thumbnail"}));
    EXPECT_STREQ(odd["Name"].GetString(), "テスト");
    const auto& voice = odd["Voices"][0];
    EXPECT_STREQ(voice["Surface"].GetString(), "表");
    EXPECT_TRUE(voice["Exists"].GetBool());
    EXPECT_EQ(voice["Categories"].Size(), 1u);
    // The path keeps its bytes as JSON escapes of the units that stand for them.
    EXPECT_NE(run.text.find("\"FullPath\": \"file://" + temp.Path() +
                            "/\\udc83e\\udc83X\\udc83g/\\udc95\\udc5c.wav\""),
              std::string::npos)
        << run.text;
}

}  // namespace
