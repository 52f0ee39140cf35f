#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "tb_audioplayer.h"
#include "tb_framework.h"
#include "tc_soundinfo.h"
#include "test_util.h"

namespace {

// Mono 16-bit at 8 kHz: a tone of the given length.
std::string Tone(double seconds) {
    return PcmWav(8000, 1, static_cast<uint32_t>(seconds * 8000),
                  [](uint32_t i) { return static_cast<int16_t>(9000 * std::sin(i * 0.3)); });
}

class SoundInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        TB_AppDescriptor descriptor;
        testing::internal::CaptureStdout();
        TB_FrameworkStartup(descriptor);
        testing::internal::GetCapturedStdout();
    }
    void TearDown() override { TB_FrameworkShutdown(); }

    // The state of the outline once the worker is done with it.
    static TC_SoundInfo::PeaksState Settled(TC_SoundInfo& info, const std::string& path,
                                            double* duration = nullptr) {
        std::shared_ptr<const TB_SoundPeaks> peaks;
        info.Peaks(path, peaks);
        EXPECT_TRUE(info.WaitIdle(20000));
        TC_SoundInfo::PeaksState state = info.Peaks(path, peaks);
        if (duration) {
            *duration = peaks ? peaks->Duration : -1;
        }
        return state;
    }
    // Rewrites the file and gives it back its old modification time.
    static void ReplaceKeepingTime(const std::string& path, const std::string& bytes) {
        struct stat before;
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        WriteFile(path, bytes);
        timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    TempFolder temp;
};

// An outline is kept by path, size and modification time: a later run takes it from the
// cache without reading the clip, a change of the file makes it read again, and a file that
// could not be read once is read again when it changes.
TEST_F(SoundInfoTest, OutlinesAreKeptUntilTheirFileChanges) {
    std::string cache = temp.Path() + "/cache";
    std::string clip = temp.Path() + "/clip.wav";
    std::string other = temp.Path() + "/other.wav";
    WriteFile(clip, Tone(1.5));
    WriteFile(other, Tone(0.5));
    double seconds = 0;
    {
        TC_SoundInfo info(cache);
        EXPECT_EQ(Settled(info, clip, &seconds), TC_SoundInfo::PeaksState::Ready);
        EXPECT_NEAR(seconds, 1.5, 1e-6);
        EXPECT_EQ(Settled(info, temp.Path() + "/none.wav"), TC_SoundInfo::PeaksState::Failed);
    }
    // Same size and time, other bytes (noise that decodes to nothing): the cache answers.
    ReplaceKeepingTime(clip, "RIFF" + std::string(Tone(1.5).size() - 4, '\x7f'));
    {
        TC_SoundInfo info(cache);
        EXPECT_EQ(Settled(info, clip, &seconds), TC_SoundInfo::PeaksState::Ready);
        EXPECT_NEAR(seconds, 1.5, 1e-6);
    }
    // Touched: read again, and found broken.
    utimensat(AT_FDCWD, clip.c_str(), nullptr, 0);
    {
        TC_SoundInfo info(cache);
        EXPECT_EQ(Settled(info, clip), TC_SoundInfo::PeaksState::Failed);
    }
    // Mended: not held against it.
    WriteFile(clip, Tone(2.0));
    {
        TC_SoundInfo info(cache);
        EXPECT_EQ(Settled(info, other), TC_SoundInfo::PeaksState::Ready);
        EXPECT_EQ(Settled(info, clip, &seconds), TC_SoundInfo::PeaksState::Ready);
        EXPECT_NEAR(seconds, 2.0, 1e-6);
    }
}

// Lengths are asked for, worked out behind, kept in a log that a later run reads (a torn last
// record ignored), and checked against the disk again after Revalidate.
TEST_F(SoundInfoTest, LengthsAreWorkedOutKeptAndCheckedAgain) {
    std::string cache = temp.Path() + "/cache";
    std::string clip = temp.Path() + "/clip.wav";
    std::string broken = temp.Path() + "/broken.wav";
    WriteFile(clip, Tone(1.25));
    WriteFile(broken, "RIFF....WAVEjunk");
    {
        TC_SoundInfo info(cache);
        EXPECT_EQ(info.Duration(clip), TC_SoundInfo::kUnknown);
        EXPECT_EQ(info.Duration(broken, false), TC_SoundInfo::kUnknown);  // not asked for
        info.Prefetch({broken});
        ASSERT_TRUE(info.WaitIdle(20000));
        EXPECT_DOUBLE_EQ(info.Duration(clip), 1.25);
        EXPECT_EQ(info.Duration(broken), TC_SoundInfo::kUnreadable);

        WriteFile(clip, Tone(0.5));
        EXPECT_DOUBLE_EQ(info.Duration(clip), 1.25);  // not looked at again on its own
        info.Revalidate();
        EXPECT_EQ(info.Duration(clip), TC_SoundInfo::kUnknown);
        ASSERT_TRUE(info.WaitIdle(20000));
        EXPECT_DOUBLE_EQ(info.Duration(clip), 0.5);
    }
    // Half a record at the end, as a crash while writing would leave it.
    std::string log = cache + "/lengths";
    std::string content = ReadFile(log);
    WriteFile(log, content + content.substr(0, 9));
    WriteFile(broken, Tone(0.75));
    {
        TC_SoundInfo info(cache);
        EXPECT_EQ(info.Duration(clip), TC_SoundInfo::kUnknown);
        EXPECT_EQ(info.Duration(broken), TC_SoundInfo::kUnknown);
        ASSERT_TRUE(info.WaitIdle(20000));
        EXPECT_DOUBLE_EQ(info.Duration(clip), 0.5);
        EXPECT_DOUBLE_EQ(info.Duration(broken), 0.75);
    }
}

}  // namespace
