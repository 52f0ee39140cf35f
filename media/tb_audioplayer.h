#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "tb_event.h"
#include "tb_eventargs.h"
#include "tb_uri.h"

enum class TB_PlayerState : tb_int {
    Closed = 0,
    SessionReady = 1,  // only inside Open
    Opened = 2,
    Playing = 3,
    Paused = 4,  // tested by callers, never entered
    Stopped = 5,
    Closing = 6,
};

// Where the sound goes. Auto uses the desktop's output and falls back to Silent (a sink
// that keeps the clock, so positions and the end of a clip behave the same) when no
// output can be opened.
enum class TB_AudioOutput { Auto, Silent };
void TB_SetAudioOutput(TB_AudioOutput output);
// True once per run, the first time it is asked after Auto found no output to open: the
// caller tells the user that clips play silently. False with Silent chosen.
bool TB_TakeAudioOutputMissingNotice();

// Result codes of Open besides 0.
enum : tb_int {
    TB_AUDIO_E_FAIL = -1,         // no pipeline could be made
    TB_AUDIO_E_DECODE = -2,       // not decodable, or no such regular file
    TB_AUDIO_E_TIMEOUT = -3,      // the clip did not become ready in time
    TB_AUDIO_E_UNSUPPORTED = -5,  // a stream that is neither audio nor video, or no stream
};

// The media pipeline behind one player. Counted atomically: the pipeline's own threads
// hold counts while they deliver messages.
class TB_MfPlayer {
public:
    TB_MfPlayer();
    TB_MfPlayer(const TB_MfPlayer&) = delete;
    TB_MfPlayer& operator=(const TB_MfPlayer&) = delete;

    void AddRef() { m_refCount.fetch_add(1); }
    void Release() {
        if (m_refCount.fetch_sub(1) == 1) {
            delete this;
        }
    }

    tb_int Open(const TB_String& path);
    void Play();
    void Stop();
    void SetPosition(double seconds);
    double GetPosition();
    // Seconds; 0 while the length is unknown (asked again while the clip is open).
    double GetDuration();
    TB_PlayerState GetState() const { return m_state.load(); }
    // 0..1 on the perceptual (cubic) scale of desktop mixers; kept for the clips that follow.
    void SetVolume(double level);
    // Ends the pipeline, waiting at most 5000 ms for it to stop.
    tb_int Close();

    // Raised on a pipeline thread when the clip ends (or playing it failed), after the state
    // became Stopped; once per end.
    TB_Event<TB_EventArg> Ended;

    // Tests: posts an error on the pipeline's bus as a failing element would.
    bool PostErrorForTest(const char* text);

private:
    ~TB_MfPlayer();
    friend struct TB_MfPlayerBus;
    void OnMessage(void* message);
    void OnPresentationEnded();
    void OnPlaybackError(void* message);

    std::atomic<int> m_refCount{1};
    // The pipeline's length when the file's size can hold it; 0 otherwise.
    tb_uint64 QueryDuration();

    std::atomic<TB_PlayerState> m_state{TB_PlayerState::Closed};
    void* m_pipeline = nullptr;  // GstElement*
    tb_uint64 m_duration = 0;    // 100-nanosecond units; 0 unknown
    tb_int64 m_fileSize = 0;
    // Open waits for the pipeline to be ready or to fail.
    std::mutex m_openLock;
    std::condition_variable m_openSignal;
    int m_openResult = 1;               // 1 while waiting, then 0 or an error code
    std::atomic<bool> m_failed{false};  // the pipeline reported an error after Open
    std::atomic<double> m_volume{1.0};
};

// Plays one clip at a time. Location is set by the caller before Open.
class TB_AudioPlayer : public TB_Object {
public:
    TB_AudioPlayer();
    TB_AudioPlayer(const TB_AudioPlayer&) = delete;
    TB_AudioPlayer& operator=(const TB_AudioPlayer&) = delete;
    ~TB_AudioPlayer() override;

    // 0 when the clip is ready to play (decodable; its length may be known only later).
    tb_int Open(const TB_String& path);
    void Play();
    void Stop();
    // Clamped to the duration; a clip that is not playing stays paused there, its state kept.
    void SetPosition(double seconds);
    double GetPosition();
    // Seconds; 0 while the length is unknown.
    double GetDuration();
    // See TB_MfPlayer::SetVolume; a clip that plays goes on at the new level.
    void SetVolume(double level) { m_player->SetVolume(level); }
    bool IsPlaying() const { return GetState() == TB_PlayerState::Playing; }
    TB_PlayerState GetState() const {
        return m_player ? m_player->GetState() : TB_PlayerState::Closed;
    }
    tb_int Close();
    // Tests: see TB_MfPlayer::PostErrorForTest.
    bool PostErrorForTest(const char* text) { return m_player->PostErrorForTest(text); }

    virtual void OnEnded() {
        TB_EventArg arg;
        RaiseEnded(arg);
    }
    virtual void RaiseEnded(TB_EventArg& arg) { Ended.Fire(arg); }

    TB_Uri Location;
    // Fired on a pipeline thread: handlers must hand work to the GUI thread.
    TB_Event<TB_EventArg> Ended;

private:
    TB_MfPlayer* m_player;
};
