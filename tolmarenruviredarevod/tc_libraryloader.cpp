#include "tc_libraryloader.h"

#include <malloc.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <chrono>
#include <unordered_set>

#include "tb_action.h"
#include "tb_memorystream.h"
#include "tc_app_voice_lib.h"
#include "tc_voiceloader.h"

namespace {

// A copy of the library's description (not its clips), and the listed library of each copy.
TC_VoiceLibrary* Describe(TC_VoiceLibrary* library, std::vector<TC_VoiceLibrary*>& keys,
                          std::vector<tb_uint64>& serials) {
    auto* copy = new TC_VoiceLibrary();
    copy->Name = library->Name;
    copy->Type = library->Type;
    copy->RootPath = library->RootPath;
    copy->InfoFilePath = library->InfoFilePath;
    copy->CharName = library->CharName;
    keys.push_back(library);
    serials.push_back(library->Serial);
    for (TC_VoiceLibrary* sub : library->SubLibs) {
        copy->SubLibs.Add(Describe(sub, keys, serials));
    }
    return copy;
}

}  // namespace

TC_LibraryLoader::TC_LibraryLoader() : m_thread([this] { Run(); }) {}

TC_LibraryLoader::~TC_LibraryLoader() {
    Stop();
}

void TC_LibraryLoader::Stop() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
        m_cancel.store(true, std::memory_order_relaxed);
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_idle.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_discarded.clear();
}

void TC_LibraryLoader::Discard(TB_Ref<TC_VoiceLibrary> tree) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_stop) {
            m_discarded.push_back(std::move(tree));
        }
    }
    m_wake.notify_all();
}

void TC_LibraryLoader::Hold(bool held) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_held = held;
    }
    m_wake.notify_all();
    m_idle.notify_all();
}

void TC_LibraryLoader::Queue(TC_VoiceLibrary* target, TC_LoadReason reason,
                             std::vector<std::u16string> favourites, bool urgent) {
    Job job{target, TB_Ref<TC_VoiceLibrary>(), {}, {}, reason, std::move(favourites)};
    job.Tree = TB_Ref<TC_VoiceLibrary>::Adopt(Describe(target, job.Keys, job.Serials));
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // A read of the same library that has not started yet is the same work; the merged
        // one keeps the weightier reason (the user's, then the start's) and the haste.
        auto rank = [](TC_LoadReason r) {
            return r == TC_LoadReason::User ? 2 : r == TC_LoadReason::Start ? 1 : 0;
        };
        for (const Job& waiting : m_jobs) {
            if (waiting.Target == target) {
                urgent = urgent || &waiting == &m_jobs.front();
                if (rank(waiting.Reason) > rank(job.Reason)) {
                    job.Reason = waiting.Reason;
                }
            }
        }
        std::erase_if(m_jobs, [target](const Job& waiting) { return waiting.Target == target; });
        if (urgent) {
            m_jobs.push_front(std::move(job));
        } else {
            m_jobs.push_back(std::move(job));
        }
    }
    m_wake.notify_all();
}

void TC_LibraryLoader::WaitUntilIdle() {
    std::unique_lock<std::mutex> lock(m_lock);
    // A held loader reads nothing: waiting for it would never end.
    m_idle.wait(lock,
                [this] { return m_stop || m_held || (m_jobs.empty() && m_runningKeys.empty()); });
}

bool TC_LibraryLoader::IsReading(const TC_VoiceLibrary* library) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto held = [library](const TC_VoiceLibrary* key) { return library->Holds(key); };
    return std::any_of(m_runningKeys.begin(), m_runningKeys.end(), held) ||
           std::any_of(m_done.begin(), m_done.end(), [&held](const auto& done) {
               return std::any_of(done->Keys.begin(), done->Keys.end(), held);
           });
}

std::vector<std::unique_ptr<TC_LoadedLibrary>> TC_LibraryLoader::Take() {
    std::lock_guard<std::mutex> guard(m_lock);
    return std::move(m_done);
}

void TC_LibraryLoader::SetListener(TB_PostTarget* target, std::function<void()> loaded,
                                   std::function<void()> changed) {
    m_loadedNews.Set(target, std::move(loaded));
    m_changedNews.Set(target, std::move(changed));
}

void TC_LibraryLoader::SetPolled(std::vector<std::string> paths, bool lookAtOnce, int intervalMs) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (paths == m_polled && intervalMs == m_pollInterval) {
            return;
        }
        m_polled = std::move(paths);
        m_pollInterval = std::max(100, intervalMs);
        // No signature is ever "?": the first look then reports; otherwise it takes note.
        m_pollSignature = lookAtOnce && !m_polled.empty() ? "?" : "";
        ++m_pollGeneration;
    }
    m_wake.notify_all();
}

std::string TC_LibraryLoader::PollSignature() {
    std::vector<std::string> paths;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        paths = m_polled;
    }
    std::string signature;
    for (const std::string& path : paths) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            signature += "-;";
            continue;
        }
        signature += std::to_string(info.st_mtim.tv_sec) + "." +
                     std::to_string(info.st_mtim.tv_nsec) + ":" + std::to_string(info.st_size) +
                     ":" + std::to_string(info.st_ino) + ";";
    }
    return signature;
}

void TC_LibraryLoader::Run() {
    auto nextPoll = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_stop) {
        if (!m_discarded.empty()) {
            std::vector<TB_Ref<TC_VoiceLibrary>> gone = std::move(m_discarded);
            m_discarded.clear();
            lock.unlock();
            gone.clear();
            ::malloc_trim(0);  // what this thread freed goes back, not kept in its arena
            lock.lock();
            continue;
        }
        if (m_held) {
            m_wake.wait(lock);
            continue;
        }
        if (m_jobs.empty() && (m_polled.empty() || std::chrono::steady_clock::now() < nextPoll)) {
            // Everything is looked at again after a wake: a hold or a stop may have come.
            if (m_polled.empty()) {
                m_wake.wait(lock);
            } else {
                m_wake.wait_until(lock, nextPoll);
            }
            continue;
        }
        if (!m_jobs.empty()) {
            Job job = std::move(m_jobs.front());
            m_jobs.pop_front();
            m_runningKeys = job.Keys;
            lock.unlock();
            std::unique_ptr<TC_LoadedLibrary> done = Load(job);
            lock.lock();
            m_runningKeys.clear();
            m_idle.notify_all();
            if (!m_stop) {
                m_done.push_back(std::move(done));
                lock.unlock();
                m_loadedNews.Announce();
                lock.lock();
            }
            continue;
        }
        if (!m_polled.empty() && std::chrono::steady_clock::now() >= nextPoll) {
            std::string before = m_pollSignature;
            uint64_t generation = m_pollGeneration;
            // A stat on a mount that stopped answering may block: only this thread waits.
            lock.unlock();
            std::string now = PollSignature();
            lock.lock();
            nextPoll = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_pollInterval);
            if (m_pollGeneration != generation) {
                continue;  // the paths changed meanwhile: the new ones are looked at next
            }
            m_pollSignature = now;
            if (!before.empty() && before != now) {
                lock.unlock();
                m_changedNews.Announce();
                lock.lock();
            }
        }
    }
}

std::unique_ptr<TC_LoadedLibrary> TC_LibraryLoader::Load(Job& job) {
    auto done = std::make_unique<TC_LoadedLibrary>();
    done->Target = job.Target;
    done->Reason = job.Reason;
    done->Keys = job.Keys;
    done->Serials = std::move(job.Serials);
    m_progress.store(0, std::memory_order_relaxed);
    TC_CollectMessages(&done->Messages);
    TC_VoiceLoader::SetProgressCounter(&m_progress);
    TC_VoiceLoader::SetCancelFlag(&m_cancel);
    TC_VoiceLibrary* tree = job.Tree.Get();
    TC_VoiceLibraryList::LoadContents(tree);
    TC_VoiceLoader::SetCancelFlag(nullptr);
    TC_VoiceLoader::SetProgressCounter(nullptr);
    TC_CollectMessages(nullptr);
    if (m_cancel.load(std::memory_order_relaxed)) {
        return done;  // cut short: dropped unseen
    }

    auto image = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream(
        TC_VoiceLoader::DefaultThumbnailPng(),
        static_cast<tb_int64>(TC_VoiceLoader::DefaultThumbnailPngSize()), false));
    TC_VoiceLoader::LoadThumbnail(tree, image.Get());

    std::vector<std::u16string> left = job.Favourites;
    TC_VoiceLibraryList::ApplyKeptFavourites(tree, left);
    if (left.size() != job.Favourites.size()) {
        std::unordered_set<std::u16string> stays(left.begin(), left.end());
        for (std::u16string& favourite : job.Favourites) {
            if (!stays.count(favourite)) {
                done->TakenFavourites.push_back(std::move(favourite));
            }
        }
    }
    std::vector<TC_VoiceData*> voices;
    tree->CollectVoices(voices);
    done->Search.Build(voices);
    done->ClipCount = static_cast<tb_int>(voices.size());
    done->Contents = std::move(job.Tree);
    return done;
}

bool TC_LibraryLoader::NeedsPolling(const std::string& path) {
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0) {
        return true;  // gone or unreachable: only a look tells when it is back
    }
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x65735546:  // FUSE (sshfs and the like)
        case 0x01021997:  // 9P
        case 0x00C36400:  // Ceph
        case 0x5346414F:  // AFS
            return true;
        default:
            return false;
    }
}
