#include "tc_soundinfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "tb_action.h"
#include "tb_media.h"
#include "tb_posttarget.h"

namespace {

constexpr char kOutlineMagic[8] = {'L', 'V', 'P', 'E', 'A', 'K', 'S', '1'};
constexpr size_t kOutlinesKept = 64;
constexpr uint32_t kLongestPath = 65536;

bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

template <typename T>
void Put(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
bool Get(const std::string& in, size_t& at, T& value) {
    if (in.size() - at < sizeof value) {
        return false;
    }
    std::memcpy(&value, in.data() + at, sizeof value);
    at += sizeof value;
    return true;
}

bool ReadWhole(const std::string& path, std::string& content, size_t limit) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<size_t>(info.st_size) <= limit;
    if (ok) {
        content.resize(static_cast<size_t>(info.st_size));
        ok = read(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    }
    close(fd);
    return ok;
}

}  // namespace

TC_SoundInfo::TC_SoundInfo(std::string cacheFolder) : m_folder(std::move(cacheFolder)) {}

TC_SoundInfo::~TC_SoundInfo() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
        m_cancelPeaks = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_lengthLog) {
        std::fclose(m_lengthLog);
    }
    m_news.Set(nullptr, nullptr);
}

std::string TC_SoundInfo::DefaultCacheFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') {
        return std::string(cache) + "/LumoVox";
    }
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        return std::string(home) + "/.cache/LumoVox";
    }
    return std::string();
}

void TC_SoundInfo::SetListener(TB_PostTarget* target, std::function<void()> changed) {
    m_news.Set(target, std::move(changed));
}

void TC_SoundInfo::EnsureThread() {
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Run(); });
    }
}

TC_SoundInfo::PeaksState TC_SoundInfo::Peaks(const std::string& path,
                                             std::shared_ptr<const TB_SoundPeaks>& peaks) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (path != m_peaksPath) {
        m_peaksPath = path;
        m_peaks.reset();
        m_peaksState = path.empty() ? PeaksState::None : PeaksState::Loading;
        ++m_peaksRequest;
        m_cancelPeaks = true;
        if (!path.empty()) {
            EnsureThread();
            m_wake.notify_all();
        }
    }
    peaks = m_peaks;
    return m_peaksState;
}

double TC_SoundInfo::Duration(const std::string& path, bool ask) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto found = m_lengths.find(path);
    if (found != m_lengths.end() && found->second.Verified) {
        return found->second.Seconds;
    }
    if (ask && m_askedSet.insert(path).second) {
        m_asked.push_back(path);
        EnsureThread();
        m_wake.notify_all();
    }
    return kUnknown;
}

void TC_SoundInfo::Prefetch(std::vector<std::string> paths) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_prefetch.assign(std::make_move_iterator(paths.rbegin()),
                      std::make_move_iterator(paths.rend()));
    if (!m_prefetch.empty()) {
        EnsureThread();
        m_wake.notify_all();
    }
}

void TC_SoundInfo::Revalidate() {
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto& [path, length] : m_lengths) {
        length.Verified = false;
    }
}

bool TC_SoundInfo::WaitIdle(int milliseconds) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_idle.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] {
        return !m_busy && m_asked.empty() && m_prefetch.empty() && m_peaksTaken == m_peaksRequest;
    });
}

bool TC_SoundInfo::Stat(const std::string& path, FileKey& key) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    key.Size = static_cast<tb_int64>(info.st_size);
    key.Modified = static_cast<tb_int64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

void TC_SoundInfo::Run() {
    TB_MediaStartup();  // decoding needs it; here the window never waits for it
    LoadLengths();
    std::unique_lock<std::mutex> lock(m_lock);
    while (true) {
        m_busy = false;
        m_idle.notify_all();
        m_wake.wait(lock, [this] {
            return m_stop || m_peaksTaken != m_peaksRequest || !m_asked.empty() ||
                   !m_prefetch.empty();
        });
        if (m_stop) {
            return;
        }
        m_busy = true;
        // The clip in view first, then the rows on the screen, then the ones near them.
        if (m_peaksTaken != m_peaksRequest) {
            m_peaksTaken = m_peaksRequest;
            m_cancelPeaks = false;
            std::string path = m_peaksPath;
            tb_uint64 request = m_peaksTaken;
            lock.unlock();
            if (!path.empty()) {
                WorkOutPeaks(path, request);
            }
            lock.lock();
            continue;
        }
        std::string path;
        if (!m_asked.empty()) {
            path = std::move(m_asked.front());
            m_asked.pop_front();
            m_askedSet.erase(path);
        } else {
            path = std::move(m_prefetch.back());
            m_prefetch.pop_back();
        }
        lock.unlock();
        WorkOutLength(path);
        lock.lock();
    }
}

void TC_SoundInfo::WorkOutPeaks(const std::string& path, tb_uint64 request) {
    auto publish = [&](std::shared_ptr<const TB_SoundPeaks> peaks, PeaksState state) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_peaksRequest != request) {
                return;
            }
            m_peaks = std::move(peaks);
            m_peaksState = state;
        }
        m_news.Announce();
    };
    FileKey key;
    if (!Stat(path, key)) {
        publish(nullptr, PeaksState::Failed);
        return;
    }
    Outline outline;
    bool known = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto found = m_outlines.find(path);
        if (found != m_outlines.end() && found->second.Key == key) {
            outline = found->second;
            known = true;
        }
    }
    if (!known && !LoadOutline(path, key, outline)) {
        TB_SoundPeaks decoded;
        TB_PeaksResult result = TB_DecodePeaks(
            path, m_cancelPeaks,
            [&](const TB_SoundPeaks& partial) {
                publish(std::make_shared<const TB_SoundPeaks>(partial), PeaksState::Loading);
            },
            decoded);
        if (result == TB_PeaksResult::Cancelled) {
            return;
        }
        outline.Key = key;
        if (result == TB_PeaksResult::Ready) {
            outline.Peaks = std::make_shared<const TB_SoundPeaks>(std::move(decoded));
        }
        // A file that changes while it is read is read again next time.
        FileKey after;
        if (Stat(path, after) && after == key) {
            SaveOutline(path, outline);
        }
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_outlines.size() >= kOutlinesKept) {
            m_outlines.clear();
        }
        m_outlines[path] = outline;
    }
    publish(outline.Peaks, outline.Peaks ? PeaksState::Ready : PeaksState::Failed);
}

void TC_SoundInfo::WorkOutLength(const std::string& path) {
    FileKey key;
    bool present = Stat(path, key);
    bool news = true;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto found = m_lengths.find(path);
        if (found != m_lengths.end() && found->second.Key == key) {
            news = !found->second.Verified;
            found->second.Verified = true;
            present = false;  // nothing to read: the record on disk is still true
        }
    }
    if (present) {
        Length length;
        length.Key = key;
        length.Seconds = TB_ReadSoundDuration(path);
        length.Verified = true;
        AppendLength(path, length);
        std::lock_guard<std::mutex> guard(m_lock);
        m_lengths[path] = length;
    } else if (news) {
        std::lock_guard<std::mutex> guard(m_lock);
        Length& length = m_lengths[path];
        if (!length.Verified) {  // a file that is not there plays nothing
            length = Length{key, kUnreadable, true};
        }
    }
    if (news) {
        m_news.Announce();
    }
}

std::string TC_SoundInfo::OutlineFile(const std::string& path) const {
    char name[32];
    std::snprintf(name, sizeof name, "/peaks/%016llx.peaks",
                  static_cast<unsigned long long>(XXH64(path.data(), path.size(), 0)));
    return m_folder + name;
}

bool TC_SoundInfo::LoadOutline(const std::string& path, const FileKey& key, Outline& outline) {
    std::string content;
    if (m_folder.empty() || !ReadWhole(OutlineFile(path), content, 1 << 20) ||
        content.compare(0, sizeof kOutlineMagic, kOutlineMagic, sizeof kOutlineMagic) != 0) {
        return false;
    }
    size_t at = sizeof kOutlineMagic;
    FileKey stored;
    uint32_t pathLength = 0, count = 0;
    double duration = 0, perPoint = 0;
    if (!Get(content, at, stored.Size) || !Get(content, at, stored.Modified) ||
        !Get(content, at, pathLength) || content.size() - at < pathLength ||
        content.compare(at, pathLength, path) != 0 || pathLength != path.size() ||
        !(stored == key)) {
        return false;  // another file of the same hash, or this one changed since
    }
    at += pathLength;
    if (!Get(content, at, duration) || !Get(content, at, perPoint) || !Get(content, at, count) ||
        content.size() - at != static_cast<size_t>(count) * 2) {
        return false;
    }
    outline.Key = key;
    if (count == 0) {
        outline.Peaks.reset();  // known not to decode
        return true;
    }
    auto peaks = std::make_shared<TB_SoundPeaks>();
    peaks->Points.assign(content.begin() + static_cast<std::ptrdiff_t>(at), content.end());
    peaks->Duration = duration;
    peaks->SecondsPerPoint = perPoint;
    peaks->Complete = true;
    outline.Peaks = std::move(peaks);
    return true;
}

void TC_SoundInfo::SaveOutline(const std::string& path, const Outline& outline) {
    if (m_folder.empty() || path.size() > kLongestPath || !MakeFolders(m_folder + "/peaks")) {
        return;
    }
    std::string content(kOutlineMagic, sizeof kOutlineMagic);
    Put(content, outline.Key.Size);
    Put(content, outline.Key.Modified);
    Put(content, static_cast<uint32_t>(path.size()));
    content += path;
    const TB_SoundPeaks* peaks = outline.Peaks.get();
    Put(content, peaks ? peaks->Duration : -1.0);
    Put(content, peaks ? peaks->SecondsPerPoint : 0.0);
    Put(content, static_cast<uint32_t>(peaks ? peaks->Count() : 0));
    if (peaks) {
        content.append(reinterpret_cast<const char*>(peaks->Points.data()), peaks->Points.size());
    }
    // Whole or not at all: a reader never sees half a file.
    std::string target = OutlineFile(path);
    std::string temporary = target + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wbe");
    if (!file) {
        return;
    }
    bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
    }
}

// The lengths file is a log of records, each checked by its own hash: a record cut short by
// a crash ends the reading there, and later records of a path override earlier ones.
void TC_SoundInfo::LoadLengths() {
    if (m_folder.empty()) {
        return;
    }
    std::string file = m_folder + "/lengths";
    std::string content;
    ReadWhole(file, content, 1u << 30);
    size_t at = 0, records = 0;
    std::unordered_map<std::string, Length> lengths;
    while (at < content.size()) {
        size_t start = at;
        uint32_t pathLength = 0;
        if (!Get(content, at, pathLength) || pathLength > kLongestPath ||
            content.size() - at < pathLength) {
            break;
        }
        std::string path = content.substr(at, pathLength);
        at += pathLength;
        Length length;
        uint32_t check = 0;
        if (!Get(content, at, length.Key.Size) || !Get(content, at, length.Key.Modified) ||
            !Get(content, at, length.Seconds)) {
            break;
        }
        uint32_t expected = XXH32(content.data() + start, at - start, 0);
        if (!Get(content, at, check) || check != expected) {
            break;
        }
        lengths[std::move(path)] = length;
        ++records;
    }
    // A torn record, or a log mostly of superseded records, is written afresh.
    bool compact = at < content.size() || records > 2 * lengths.size() + 1000;
    if (MakeFolders(m_folder)) {
        if (compact) {
            std::string temporary = file + ".tmp";
            m_lengthLog = std::fopen(temporary.c_str(), "wbe");
            for (const auto& [path, length] : lengths) {
                AppendLength(path, length, false);
            }
            if (m_lengthLog) {
                bool written = std::fflush(m_lengthLog) == 0;
                written = std::fclose(m_lengthLog) == 0 && written;
                m_lengthLog = nullptr;
                if (!written || std::rename(temporary.c_str(), file.c_str()) != 0) {
                    std::remove(temporary.c_str());
                }
            }
        }
        m_lengthLog = std::fopen(file.c_str(), "abe");
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_lengths.empty()) {
        m_lengths.swap(lengths);  // at once: the GUI thread may be waiting for the lock
    } else {
        for (auto& [path, length] : lengths) {
            m_lengths.emplace(path, length);  // what this run already learnt stays
        }
    }
}

void TC_SoundInfo::AppendLength(const std::string& path, const Length& length, bool flush) {
    if (!m_lengthLog || path.size() > kLongestPath) {
        return;
    }
    std::string record;
    Put(record, static_cast<uint32_t>(path.size()));
    record += path;
    Put(record, length.Key.Size);
    Put(record, length.Key.Modified);
    Put(record, length.Seconds);
    Put(record, static_cast<uint32_t>(XXH32(record.data(), record.size(), 0)));
    std::fwrite(record.data(), 1, record.size(), m_lengthLog);
    if (flush) {
        std::fflush(m_lengthLog);
    }
}
