#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>

#include "tb_audioplayer.h"
#include "tb_framework.h"
#include "tb_soundpeaks.h"
#include "test_util.h"

namespace {

const std::string kClips = std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/audio/";

// 16-bit stereo at 48 kHz: a loud 4 kHz tone (several periods in every point) for the first `loud`
// seconds, silence after, and `padding` bytes of a chunk nobody reads before the sound.
std::string ToneThenSilence(double loud, double total, size_t padding = 0) {
    constexpr uint32_t kRate = 48000;
    return PcmWav(
        kRate, 2, static_cast<uint32_t>(total * kRate),
        [loud](uint32_t i) {
            double level = i < loud * kRate ? 0.8 : 0.0;
            return static_cast<int16_t>(32767 * level * std::sin(2 * M_PI * 4000.0 * i / kRate));
        },
        padding);
}

class SoundPeaksTest : public ::testing::Test {
protected:
    void SetUp() override {
        TB_AppDescriptor descriptor;
        testing::internal::CaptureStdout();
        TB_FrameworkStartup(descriptor);
        testing::internal::GetCapturedStdout();
        TB_SetAudioOutput(TB_AudioOutput::Silent);
        TB_AudioPlayer warm;  // starts the media platform
    }
    void TearDown() override { TB_FrameworkShutdown(); }

    static TB_PeaksResult Decode(const std::string& path, TB_SoundPeaks& peaks,
                                 tb_int maxPoints = 2000) {
        std::atomic<bool> cancel{false};
        return TB_DecodePeaks(path, cancel, nullptr, peaks, maxPoints);
    }
    TempFolder temp;
};

// The outline shows where the sound is, its length is the clip's, and a long stream folds
// into the points it may have without losing its loudest sample.
TEST_F(SoundPeaksTest, TheOutlineFollowsTheSoundAndFitsItsPoints) {
    std::string path = temp.Path() + "/half.wav";
    WriteFile(path, ToneThenSilence(1.0, 2.0));
    TB_SoundPeaks peaks;
    ASSERT_EQ(Decode(path, peaks), TB_PeaksResult::Ready);
    EXPECT_TRUE(peaks.Complete);
    EXPECT_NEAR(peaks.Duration, 2.0, 1e-6);
    EXPECT_DOUBLE_EQ(TB_ReadSoundDuration(path), 2.0);
    ASSERT_GT(peaks.Count(), 1000);
    ASSERT_LE(peaks.Count(), 2000);
    EXPECT_NEAR(peaks.Count() * peaks.SecondsPerPoint, 2.0, 2 * peaks.SecondsPerPoint);
    int loudHigh = 127, quietHigh = 0;
    for (tb_int i = 0; i < peaks.Count(); ++i) {
        double at = (i + 0.5) * peaks.SecondsPerPoint;
        int8_t high = peaks.Points[2 * i + 1], low = peaks.Points[2 * i];
        if (at < 0.95) {
            loudHigh = std::min<int>(loudHigh, high);
            EXPECT_LE(low, -90) << i;
        } else if (at > 1.05) {
            quietHigh = std::max<int>(quietHigh, std::max<int>(high, -low));
        }
    }
    EXPECT_GE(loudHigh, 90);  // 0.8 of full scale is about 101
    EXPECT_LE(quietHigh, 1);

    TB_SoundPeaks folded;
    ASSERT_EQ(Decode(path, folded, 64), TB_PeaksResult::Ready);
    EXPECT_LE(folded.Count(), 64);
    EXPECT_GE(folded.Count(), 32);
    EXPECT_GE(*std::max_element(folded.Points.begin(), folded.Points.end()), 100);
    EXPECT_NEAR(folded.Duration, 2.0, 1e-6);

    // A large chunk before the sound costs the length reader nothing and changes nothing.
    std::string padded = temp.Path() + "/padded.wav";
    WriteFile(padded, ToneThenSilence(0.5, 1.0, 4 << 20));
    EXPECT_DOUBLE_EQ(TB_ReadSoundDuration(padded), 1.0);
}

// Lengths agree with what the player says, for every format it plays.
TEST_F(SoundPeaksTest, LengthsAgreeWithThePlayer) {
    for (const char* name :
         {"pcm8-mono-22050.wav", "pcm16-stereo-48000.wav", "pcm24-mono-48000.wav",
          "float32-stereo-22050.wav", "cbr-stereo-44100.mp3", "vbr-mono-44100.mp3",
          "aac-stereo-44100.m4a", "wav-content.mp3", "junk-before-vbr.mp3"}) {
        TB_AudioPlayer player;
        ASSERT_EQ(player.Open(TB_String((kClips + name).c_str())), 0) << name;
        double length = TB_ReadSoundDuration(kClips + name);
        if (player.GetDuration() > 0) {
            EXPECT_NEAR(length, player.GetDuration(), 0.03) << name;
        }
        TB_SoundPeaks peaks;
        ASSERT_EQ(Decode(kClips + name, peaks), TB_PeaksResult::Ready) << name;
        EXPECT_NEAR(peaks.Duration, length, 0.1) << name;
        EXPECT_GT(*std::max_element(peaks.Points.begin(), peaks.Points.end()), 0) << name;
    }
}

// Files that play nothing have neither outline nor length, promptly, whatever they hold.
TEST_F(SoundPeaksTest, FilesThatPlayNothingAreRefused) {
    WriteFile(temp.Path() + "/empty.wav", "");
    mkdir((temp.Path() + "/folder.wav").c_str(), 0700);
    mkfifo((temp.Path() + "/pipe.wav").c_str(), 0600);
    for (const std::string& path :
         {kClips + "random.wav", kClips + "truncated-header.wav", kClips + "header-only.aiff",
          kClips + "truncated.m4a", kClips + "none.wav", temp.Path() + "/empty.wav",
          temp.Path() + "/folder.wav", temp.Path() + "/pipe.wav"}) {
        TB_SoundPeaks peaks;
        EXPECT_EQ(Decode(path, peaks), TB_PeaksResult::Undecodable) << path;
        EXPECT_EQ(peaks.Count(), 0) << path;
        EXPECT_EQ(TB_ReadSoundDuration(path), -1) << path;
    }
    // A cancelled decoding stops.
    std::string path = temp.Path() + "/long.wav";
    WriteFile(path, ToneThenSilence(1, 20));
    std::atomic<bool> cancel{true};
    TB_SoundPeaks peaks;
    EXPECT_EQ(TB_DecodePeaks(path, cancel, nullptr, peaks), TB_PeaksResult::Cancelled);
}

}  // namespace
