#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tb_soundpeaks.h"
#include "tc_notifier.h"

class TB_PostTarget;

// What the program knows of the sound of clips beyond their names: the outline of the clip
// being looked at and the lengths of the listed ones. Worked out on a thread of its own and
// kept under the user's cache folder, keyed by path, size and modification time, so a clip
// seen once shows at once and a file that changed is read again.
class TC_SoundInfo {
public:
    enum class PeaksState { None, Loading, Ready, Failed };
    static constexpr double kUnknown = -2;     // not worked out yet
    static constexpr double kUnreadable = -1;  // the file plays no sound

    // An empty folder keeps nothing on disk.
    explicit TC_SoundInfo(std::string cacheFolder);
    TC_SoundInfo(const TC_SoundInfo&) = delete;
    TC_SoundInfo& operator=(const TC_SoundInfo&) = delete;
    ~TC_SoundInfo();

    // $XDG_CACHE_HOME/LumoVox, else ~/.cache/LumoVox; empty when neither is known.
    static std::string DefaultCacheFolder();

    // GUI thread. News (new peaks, new lengths) is posted through the target, coalesced, and
    // changed runs on the GUI thread; a null target stops it.
    void SetListener(TB_PostTarget* target, std::function<void()> changed);

    // The outline of the clip at path as far as it is known. Asking for another clip makes
    // it the one worked on (a decoding under way for the last one stops); an empty path
    // asks for nothing.
    PeaksState Peaks(const std::string& path, std::shared_ptr<const TB_SoundPeaks>& peaks);
    // Seconds, kUnreadable, or kUnknown: then, when ask says so, it is worked out before
    // anything prefetched.
    double Duration(const std::string& path, bool ask = true);
    // Lengths worth having soon, nearest first, after those asked for; replaces the last list.
    void Prefetch(std::vector<std::string> paths);
    // Files may have changed on disk: every length is checked again when it is next asked.
    void Revalidate();

    // Tests and benchmarks: true once the worker has nothing left to do (false on timeout).
    bool WaitIdle(int milliseconds);

private:
    struct FileKey {
        tb_int64 Size = -1;
        tb_int64 Modified = 0;  // nanoseconds
        bool operator==(const FileKey&) const = default;
    };
    struct Length {
        FileKey Key;
        double Seconds = kUnreadable;
        bool Verified = false;  // checked against the disk in this run
    };
    struct Outline {
        FileKey Key;
        std::shared_ptr<const TB_SoundPeaks> Peaks;  // null: not decodable
    };

    static bool Stat(const std::string& path, FileKey& key);
    void Run();
    void WorkOutPeaks(const std::string& path, tb_uint64 request);
    void WorkOutLength(const std::string& path);
    void LoadLengths();
    // Flushed at once unless flush says otherwise (a whole log written afresh).
    void AppendLength(const std::string& path, const Length& length, bool flush = true);
    bool LoadOutline(const std::string& path, const FileKey& key, Outline& outline);
    void SaveOutline(const std::string& path, const Outline& outline);
    std::string OutlineFile(const std::string& path) const;
    void EnsureThread();

    std::string m_folder;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    bool m_stop = false;
    bool m_busy = false;
    std::thread m_thread;

    std::unordered_map<std::string, Length> m_lengths;
    std::deque<std::string> m_asked;
    std::unordered_set<std::string> m_askedSet;
    std::vector<std::string> m_prefetch;  // taken from the back
    FILE* m_lengthLog = nullptr;          // the worker's

    std::string m_peaksPath;
    tb_uint64 m_peaksRequest = 0;  // counts the clips asked for
    tb_uint64 m_peaksTaken = 0;    // the request the worker last took
    PeaksState m_peaksState = PeaksState::None;
    std::shared_ptr<const TB_SoundPeaks> m_peaks;
    std::atomic<bool> m_cancelPeaks{false};
    std::unordered_map<std::string, Outline> m_outlines;  // recent ones, in memory

    TC_Notifier m_news;
};
