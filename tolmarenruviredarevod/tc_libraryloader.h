#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tb_posttarget.h"
#include "tc_messagebox.h"
#include "tc_notifier.h"
#include "tc_voicelibrary.h"
#include "tc_voicesearch.h"

// Why a library is read: at the start and when the user asked (an import, F5) what went
// wrong is told; a change on disk reloads without a word.
enum class TC_LoadReason { Start, User, Disk };

// One finished read, handed to the GUI thread. Contents is a tree shaped like the listed
// library's when it was asked for; Target and Keys are not counted and may have been removed
// meanwhile.
struct TC_LoadedLibrary {
    TC_VoiceLibrary* Target = nullptr;
    TB_Ref<TC_VoiceLibrary> Contents;
    TC_LoadReason Reason = TC_LoadReason::Start;
    // The favourites handed in that a clip took (normalised full-path URI texts).
    std::vector<std::u16string> TakenFavourites;
    // The search over the clips in the list's order, ready for the list to use.
    TC_VoiceSearch Search;
    // The messages the read met, shown when the reason calls for it.
    std::vector<TC_PendingMessage> Messages;
    // The listed library each library of Contents stands for, depth first (Target first),
    // and its serial: a library at the same address later is another.
    std::vector<TC_VoiceLibrary*> Keys;
    std::vector<tb_uint64> Serials;
    tb_int ClipCount = 0;
};

// Reads libraries on a thread of its own, so that neither the start nor a change on disk
// keeps the window waiting, and polls the folders of file systems that report no changes.
// Finished reads wait in a queue until the GUI thread takes them.
class TC_LibraryLoader {
public:
    TC_LibraryLoader();
    TC_LibraryLoader(const TC_LibraryLoader&) = delete;
    TC_LibraryLoader& operator=(const TC_LibraryLoader&) = delete;
    ~TC_LibraryLoader();

    // GUI thread. Reads the library (a group with all its libraries) afresh; favourites are the
    // kept favourite paths to star. An urgent read goes before the others waiting. A read of
    // the same library still waiting is merged into this one.
    void Queue(TC_VoiceLibrary* target, TC_LoadReason reason,
               std::vector<std::u16string> favourites, bool urgent = false);
    // GUI thread. Whether a read of the library (or one holding it) runs right now or is
    // finished and waits to be taken.
    bool IsReading(const TC_VoiceLibrary* library) const;
    // Returns once no read waits or runs, or at once while held (tools and tests that read
    // without a window).
    void WaitUntilIdle();
    // GUI thread. The finished reads, oldest first.
    std::vector<std::unique_ptr<TC_LoadedLibrary>> Take();
    // Clips read so far by the read that runs (for a progress count).
    tb_int Progress() const { return m_progress.load(std::memory_order_relaxed); }

    // Where news of finished reads and of changes seen by polling is posted (any thread may
    // post; the functions run on the GUI thread). Null stops the news.
    void SetListener(TB_PostTarget* target, std::function<void()> loaded,
                     std::function<void()> changed);
    // The paths (native) to poll for changes of their modification time, size or existence
    // every interval; an empty list stops polling. With lookAtOnce the first look counts as
    // a change too: what came back before it would otherwise pass unseen.
    void SetPolled(std::vector<std::string> paths, bool lookAtOnce = false, int intervalMs = 2000);
    // Releases the tree on the loader's thread (what a read left over after Adopt).
    void Discard(TB_Ref<TC_VoiceLibrary> tree);
    // While held, reads wait (the window's first painting has the processor to itself).
    void Hold(bool held);
    // Ends the thread; a read under way stops early and, like those waiting, is dropped.
    void Stop();

    // Whether the path lies on a file system that may change without telling (network
    // mounts, FUSE), so that it has to be polled.
    static bool NeedsPolling(const std::string& path);

private:
    struct Job {
        TC_VoiceLibrary* Target;
        TB_Ref<TC_VoiceLibrary> Tree;
        std::vector<TC_VoiceLibrary*> Keys;
        std::vector<tb_uint64> Serials;
        TC_LoadReason Reason;
        std::vector<std::u16string> Favourites;
    };
    void Run();
    std::unique_ptr<TC_LoadedLibrary> Load(Job& job);
    std::string PollSignature();

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    std::vector<TC_VoiceLibrary*> m_runningKeys;
    std::vector<std::unique_ptr<TC_LoadedLibrary>> m_done;
    std::vector<TB_Ref<TC_VoiceLibrary>> m_discarded;
    bool m_stop = false;
    std::atomic<bool> m_cancel{false};  // m_stop, for the read under way
    bool m_held = false;
    std::atomic<tb_int> m_progress{0};
    std::vector<std::string> m_polled;
    int m_pollInterval = 2000;
    std::string m_pollSignature;
    uint64_t m_pollGeneration = 0;  // counts the lists polled

    TC_Notifier m_loadedNews;
    TC_Notifier m_changedNews;

    std::thread m_thread;
};
