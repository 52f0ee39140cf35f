#include <dirent.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tb_audioplayer.h"
#include "tb_error.h"
#include "tb_framework.h"
#include "tb_mp3info.h"
#include "test_util.h"

namespace {

const std::string kClips = std::string(LUMOVOX_SOURCE_DIR) + "/tests/data/audio/";

TB_String ClipPath(const std::string& name) {
    return TB_String((kClips + name).c_str());
}

// Counts ended events and lets a test wait for the next one.
class EndWatch {
public:
    explicit EndWatch(TB_AudioPlayer& player) {
        player.Ended.Add([this, &player](TB_EventArg&) {
            std::lock_guard<std::mutex> guard(m_lock);
            ++m_count;
            m_stateAtEnd = player.GetState();
            m_onOtherThread = std::this_thread::get_id() != m_testThread;
            m_signal.notify_all();
        });
    }
    // Waits for the given number of ends; false after the timeout.
    bool WaitFor(int count, std::chrono::seconds timeout = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_signal.wait_for(lock, timeout, [&] { return m_count >= count; });
    }
    int Count() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_count;
    }
    TB_PlayerState StateAtEnd() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_stateAtEnd;
    }
    bool OnOtherThread() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_onOtherThread;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_signal;
    int m_count = 0;
    TB_PlayerState m_stateAtEnd = TB_PlayerState::Closed;
    bool m_onOtherThread = false;
    std::thread::id m_testThread = std::this_thread::get_id();
};

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        TB_AppDescriptor descriptor;
        testing::internal::CaptureStdout();
        TB_FrameworkStartup(descriptor);
        testing::internal::GetCapturedStdout();
        TB_SetAudioOutput(TB_AudioOutput::Silent);
    }
    void TearDown() override { TB_FrameworkShutdown(); }
};

struct Clip {
    const char* name;
    double seconds;
};

TEST_F(AudioTest, EveryValidClipOpensWithItsLengthAndEndsOnce) {
    const Clip clips[] = {
        {"pcm8-mono-22050.wav", 1.0},   {"pcm16-stereo-48000.wav", 0.5},
        {"pcm24-mono-48000.wav", 0.75}, {"float32-stereo-22050.wav", 0.6},
        {"cbr-stereo-44100.mp3", 1.0},  {"vbr-mono-44100.mp3", 1.0},
        {"aac-stereo-44100.m4a", 1.0},  {"wav-content.mp3", 0.5},
    };
    for (const Clip& clip : clips) {
        auto player = TB_Ref<TB_AudioPlayer>::Adopt(new TB_AudioPlayer());
        EndWatch watch(*player);
        ASSERT_EQ(player->Open(ClipPath(clip.name)), 0) << clip.name;
        EXPECT_EQ(player->GetState(), TB_PlayerState::Opened);
        EXPECT_NEAR(player->GetDuration(), clip.seconds, 0.020) << clip.name;
        player->Play();
        EXPECT_TRUE(player->IsPlaying());
        ASSERT_TRUE(watch.WaitFor(1)) << clip.name << " never ended";
        EXPECT_EQ(watch.StateAtEnd(), TB_PlayerState::Stopped);
        EXPECT_TRUE(watch.OnOtherThread());
        EXPECT_EQ(player->GetState(), TB_PlayerState::Stopped);
        EXPECT_FALSE(watch.WaitFor(2, std::chrono::seconds(0)));
        EXPECT_EQ(watch.Count(), 1) << clip.name;
    }
}

TEST_F(AudioTest, CorruptClipsAnswerNonZeroAndStayClosed) {
    for (const char* name : {"truncated.m4a", "truncated-header.wav", "random.wav",
                             "with-subtitles.mka", "none.wav", "header-only.aiff"}) {
        auto player = TB_Ref<TB_AudioPlayer>::Adopt(new TB_AudioPlayer());
        EXPECT_NE(player->Open(ClipPath(name)), 0) << name;
        EXPECT_EQ(player->GetState(), TB_PlayerState::Closed) << name;
        EXPECT_EQ(player->GetDuration(), 0.0);
        player->Play();  // nothing to play: no effect
        EXPECT_FALSE(player->IsPlaying());
    }
}

// A clip whose length the pipeline tells only once it plays is played, and its length comes
// then; a length its file is too small to hold is no length at all.
TEST_F(AudioTest, LengthsUnknownAtFirstOrOverstatedDoNotStopAClip) {
    auto player = TB_Ref<TB_AudioPlayer>::Adopt(new TB_AudioPlayer());
    EndWatch watch(*player);
    ASSERT_EQ(player->Open(ClipPath("junk-before-vbr.mp3")), 0);
    player->Play();
    ASSERT_TRUE(watch.WaitFor(1));
    EXPECT_NEAR(player->GetDuration(), 1.07, 0.03);

    // An AIFF whose header claims 2^31 frames (13 hours) over a tenth of a second of sound.
    TempFolder temp;
    auto big = [](uint32_t value) {
        return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    };
    std::string comm = "COMM" + big(18) + std::string("\x00\x01", 2) + big(0x7FFFFFFF) +
                       std::string("\x00\x10\x40\x0E\xAC\x44\0\0\0\0\0\0", 12);
    std::string sound(8820, '\x10');
    std::string body = "AIFF" + comm + "SSND" + big(0x7FFFFFFF) + big(0) + big(0) + sound;
    WriteFile(temp / "claims-hours.aiff", "FORM" + big(0x7FFFFFFF) + body);
    // A player of its own: GStreamer's AIFF reader now and then never prerolls this file
    // when its pipeline follows another clip's.
    auto fresh = TB_Ref<TB_AudioPlayer>::Adopt(new TB_AudioPlayer());
    EndWatch freshWatch(*fresh);
    ASSERT_EQ(fresh->Open(TB_String((temp / "claims-hours.aiff").c_str())), 0);
    EXPECT_EQ(fresh->GetDuration(), 0.0);
    fresh->SetPosition(0);  // an unknown length clamps nothing, and stops nothing
    fresh->Play();
    ASSERT_TRUE(freshWatch.WaitFor(1));
    EXPECT_EQ(fresh->GetDuration(), 0.0);
}

TEST_F(AudioTest, PositionsReplayAndClamping) {
    auto player = TB_Ref<TB_AudioPlayer>::Adopt(new TB_AudioPlayer());
    EndWatch watch(*player);
    ASSERT_EQ(player->Open(ClipPath("pcm16-stereo-48000.wav")), 0);
    player->SetPosition(100);  // beyond the end: clamped
    EXPECT_NEAR(player->GetPosition(), player->GetDuration(), 0.02);
    EXPECT_EQ(player->GetState(), TB_PlayerState::Opened);

    player->SetPosition(0);
    player->Play();
    ASSERT_TRUE(watch.WaitFor(1));
    player->SetPosition(0.25);  // after the end: paused at the new place, still Stopped
    EXPECT_EQ(player->GetState(), TB_PlayerState::Stopped);
    EXPECT_NEAR(player->GetPosition(), 0.25, 0.02);
    player->SetPosition(0);
    player->Play();
    ASSERT_TRUE(watch.WaitFor(2));
    EXPECT_EQ(watch.Count(), 2);

    player->SetPosition(0);
    player->Play();
    player->Stop();
    EXPECT_EQ(player->GetState(), TB_PlayerState::Stopped);
    EXPECT_EQ(watch.Count(), 2);  // a stop is not an end
}

TEST_F(AudioTest, OpeningASecondClipClosesTheFirst) {
    auto player = TB_Ref<TB_AudioPlayer>::Adopt(new TB_AudioPlayer());
    EndWatch watch(*player);
    ASSERT_EQ(player->Open(ClipPath("pcm8-mono-22050.wav")), 0);
    player->Play();
    ASSERT_EQ(player->Open(ClipPath("pcm16-stereo-48000.wav")), 0);
    EXPECT_EQ(player->GetState(), TB_PlayerState::Opened);
    EXPECT_NEAR(player->GetDuration(), 0.5, 0.02);
    EXPECT_EQ(watch.Count(), 0);  // the first clip was closed, not ended
    EXPECT_EQ(player->Close(), 0);
    EXPECT_EQ(player->GetState(), TB_PlayerState::Closed);
}

int CountEntries(const char* folder) {
    int count = 0;
    if (DIR* dir = opendir(folder)) {
        while (readdir(dir)) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}

TEST_F(AudioTest, TwoHundredCyclesLeakNoThreadOrDescriptor) {
    auto player = TB_Ref<TB_AudioPlayer>::Adopt(new TB_AudioPlayer());
    ASSERT_EQ(player->Open(ClipPath("pcm16-stereo-48000.wav")), 0);
    player->Play();
    player->Stop();
    player->Close();
    int threads = CountEntries("/proc/self/task");
    int descriptors = CountEntries("/proc/self/fd");
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(player->Open(ClipPath(i % 2 ? "pcm16-stereo-48000.wav" : "cbr-stereo-44100.mp3")),
                  0)
            << i;
        player->Play();
        player->Stop();
        player->Close();
    }
    EXPECT_LE(CountEntries("/proc/self/task"), threads + 2);
    EXPECT_LE(CountEntries("/proc/self/fd"), descriptors);
}

// An error after the clip was opened (its file gone, the device unplugged) stops the player,
// is logged, and ends the clip once, so a play button waiting for the end comes back. The
// clip can be played again afterwards.
TEST_F(AudioTest, AnErrorWhilePlayingEndsTheClipOnce) {
    auto player = TB_Ref<TB_AudioPlayer>::Adopt(new TB_AudioPlayer());
    EndWatch watch(*player);
    ASSERT_EQ(player->Open(ClipPath("pcm8-mono-22050.wav")), 0);
    player->Play();
    ASSERT_TRUE(player->PostErrorForTest("device gone"));
    ASSERT_TRUE(watch.WaitFor(1, std::chrono::seconds(5)));
    EXPECT_EQ(watch.StateAtEnd(), TB_PlayerState::Stopped);
    EXPECT_FALSE(player->IsPlaying());
    auto record = TB_Ref<TB_Error>::Adopt(TB_Error::CopyRecord(TB_Error::RecordCount() - 1));
    ASSERT_TRUE(record);
    EXPECT_NE(record->Message().ToStdString().find("device gone"), std::string::npos);
    // A second error while nothing plays ends nothing (the bus handler runs in the poster).
    ASSERT_TRUE(player->PostErrorForTest("again"));
    EXPECT_EQ(watch.Count(), 1);

    player->SetPosition(0);
    player->Play();
    EXPECT_TRUE(player->IsPlaying());
    ASSERT_TRUE(watch.WaitFor(2));
    EXPECT_EQ(watch.Count(), 2);
}

// A Xing header whose frame count the file cannot hold is not trusted: the frames are
// counted instead, and the player reports the length one hears.
TEST_F(AudioTest, AnImpossibleMp3HeaderLengthIsNotTrusted) {
    std::string bytes = ReadFile(kClips + "cbr-stereo-44100.mp3");
    size_t tag = bytes.find("Info");
    if (tag == std::string::npos) {
        tag = bytes.find("Xing");
    }
    ASSERT_NE(tag, std::string::npos);
    ASSERT_TRUE(bytes[tag + 7] & 1);  // the header has a frame count
    bytes[tag + 8] = 0x00;
    bytes[tag + 9] = 0x01;  // 72,000 frames: about half an hour
    bytes[tag + 10] = 0x19;
    bytes[tag + 11] = 0x40;
    TempFolder temp;
    WriteFile(temp / "lying.mp3", bytes);
    double seconds = 0;
    ASSERT_TRUE(TB_ReadMp3Length(temp / "lying.mp3", seconds));
    EXPECT_NEAR(seconds, 1.0, 0.03);
    auto player = TB_Ref<TB_AudioPlayer>::Adopt(new TB_AudioPlayer());
    ASSERT_EQ(player->Open(TB_String((temp / "lying.mp3").c_str())), 0);
    EXPECT_NEAR(player->GetDuration(), 1.0, 0.03);

    double honest = 0;
    ASSERT_TRUE(TB_ReadMp3Length(kClips + "cbr-stereo-44100.mp3", honest));
    EXPECT_NEAR(honest, 1.0, 0.02);
}

}  // namespace
