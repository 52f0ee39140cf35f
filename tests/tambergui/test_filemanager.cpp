#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "test_util.h"

namespace {

const std::string kProbe = LUMOVOX_BINARY_DIR "/tests/lumovox-reveal-probe";

// Each case runs on a private session bus of its own, so no desktop file manager answers.
class FileManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v dbus-run-session > /dev/null") != 0) {
            GTEST_SKIP() << "no dbus-run-session";
        }
    }
    std::string Run(const std::string& script) {
        std::string out = temp / "out.txt";
        std::string command = "QT_QPA_PLATFORM=offscreen timeout 60 dbus-run-session -- sh -c '" +
                              script + "' > " + out + " 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return ReadFile(out);
    }
    TempFolder temp;
};

// The path goes over as one URI argument, byte for byte: spaces, quotes, '#', '%' and a
// shell's favourite characters are percent-encoded, never interpreted.
TEST_F(FileManagerTest, TheServiceGetsTheFileUri) {
    setenv("REVEAL_PATH", "/tmp/声 ライブラリ/it's #1 100%; $(rm -rf x).wav", 1);
    std::string output = Run(kProbe + " serve & " + kProbe + " reveal \"$REVEAL_PATH\" wait; wait");
    EXPECT_NE(output.find(
                  "ShowItems file:///tmp/%E5%A3%B0%20%E3%83%A9%E3%82%A4%E3%83%96%E3%83%A9%E3%83%AA/"
                  "it%27s%20%231%20100%25%3B%20%24%28rm%20-rf%20x%29.wav\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("startup id ''"), std::string::npos) << output;
    EXPECT_NE(output.find("done service"), std::string::npos) << output;
    EXPECT_EQ(output.find("fallback"), std::string::npos) << output;
}

TEST_F(FileManagerTest, WithoutAServiceTheFolderOpens) {
    std::string output = Run(kProbe + " reveal \"/srv/clips/a b/x.wav\"");
    EXPECT_NE(output.find("fallback file:///srv/clips/a%20b\n"), std::string::npos) << output;
    EXPECT_NE(output.find("done fallback"), std::string::npos) << output;
    // A file at the root opens the root.
    output = Run(kProbe + " reveal /x.wav");
    EXPECT_NE(output.find("fallback file:///\n"), std::string::npos) << output;
}

}  // namespace
