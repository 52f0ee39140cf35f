#include "tb_filestream.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace {

constexpr size_t kBufferSize = 64 * 1024;

int OpenFlags(TB_FileMode mode) {
    switch (mode) {
        case TB_FileMode::Read:
            return O_RDONLY;
        case TB_FileMode::Create:
            return O_WRONLY | O_CREAT | O_TRUNC;
        case TB_FileMode::Append:
            // O_APPEND keeps lines whole when two processes append to one log.
            return O_WRONLY | O_CREAT | O_APPEND;
        case TB_FileMode::ReadWrite:
            return O_RDWR | O_CREAT;
    }
    return O_RDONLY;
}

ssize_t ReadFully(int fd, unsigned char* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd, buffer + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Writes until everything is written or the system refuses; returns the bytes written.
tb_int64 WriteFully(int fd, const void* data, tb_int64 count) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    tb_int64 done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, bytes + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += n;
    }
    return done;
}

}  // namespace

TB_FileStream::TB_FileStream(const TB_Uri& uri, TB_FileMode mode) {
    std::string path = uri.GetPath().ToStdString();
    if (path.empty()) {
        return;
    }
    // Without O_NONBLOCK a named pipe blocks the open until some other program opens its
    // other end: a pipe in place of a settings file would hang the start for good.
    int fd = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        return;
    }
    // Only a regular file is read (a pipe, a socket or a device is refused as a missing file
    // is); a write may go to a device such as /dev/null, never into a folder.
    struct stat info;
    bool refused = fstat(fd, &info) != 0 ||
                   (mode == TB_FileMode::Read ? !S_ISREG(info.st_mode) : S_ISDIR(info.st_mode));
    if (refused || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    off_t end = lseek(m_fd, 0, SEEK_END);
    m_length = end < 0 ? 0 : end;
    if (mode != TB_FileMode::Append) {
        lseek(m_fd, 0, SEEK_SET);
    }
}

TB_FileStream::~TB_FileStream() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool TB_FileStream::Flush() {
    return m_fd >= 0 && fsync(m_fd) == 0;
}

void TB_FileStream::DropBuffer() {
    if (m_buffered) {
        // Put the descriptor back where the caller believes the stream stands.
        lseek(m_fd, m_bufferStart + static_cast<tb_int64>(m_bufferPos), SEEK_SET);
        m_buffered = false;
        m_buffer.clear();
        m_bufferPos = 0;
    }
}

tb_int64 TB_FileStream::Read(void* buffer, tb_int64 count) {
    if (m_fd < 0 || count <= 0) {
        return 0;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    tb_int64 done = 0;
    while (done < count) {
        if (m_buffered && m_bufferPos < m_buffer.size()) {
            size_t take =
                std::min(m_buffer.size() - m_bufferPos, static_cast<size_t>(count - done));
            std::memcpy(out + done, m_buffer.data() + m_bufferPos, take);
            m_bufferPos += take;
            done += static_cast<tb_int64>(take);
            continue;
        }
        tb_int64 position = GetPosition();
        DropBuffer();
        if (count - done >= static_cast<tb_int64>(kBufferSize)) {
            ssize_t n = ReadFully(m_fd, out + done, static_cast<size_t>(count - done));
            done += n > 0 ? n : 0;
            break;
        }
        m_buffer.resize(kBufferSize);
        ssize_t n = ReadFully(m_fd, m_buffer.data(), kBufferSize);
        if (n <= 0) {
            m_buffer.clear();
            break;
        }
        m_buffer.resize(static_cast<size_t>(n));
        m_bufferStart = position;
        m_bufferPos = 0;
        m_buffered = true;
    }
    return done;
}

tb_int64 TB_FileStream::Write(const void* buffer, tb_int64 count) {
    if (m_fd < 0 || count <= 0) {
        return 0;
    }
    DropBuffer();
    return WriteFully(m_fd, buffer, count);
}

tb_int64 TB_FileStream::Seek(tb_int64 offset, TB_SeekOrigin origin) {
    if (m_fd < 0) {
        return -1;
    }
    if (m_buffered) {
        tb_int64 target = -1;
        if (origin == TB_SeekOrigin::Current) {
            target = GetPosition() + offset;
        } else if (origin == TB_SeekOrigin::Begin) {
            target = offset;
        }
        if (target >= m_bufferStart &&
            target <= m_bufferStart + static_cast<tb_int64>(m_buffer.size())) {
            m_bufferPos = static_cast<size_t>(target - m_bufferStart);
            return target;
        }
        DropBuffer();
    }
    int whence = origin == TB_SeekOrigin::Current ? SEEK_CUR
                 : origin == TB_SeekOrigin::Begin ? SEEK_SET
                                                  : SEEK_END;
    off_t result = lseek(m_fd, offset, whence);
    return result < 0 ? -1 : result;
}

tb_int64 TB_FileStream::GetPosition() {
    if (m_fd < 0) {
        return 0;
    }
    if (m_buffered) {
        return m_bufferStart + static_cast<tb_int64>(m_bufferPos);
    }
    off_t position = lseek(m_fd, 0, SEEK_CUR);
    return position < 0 ? 0 : position;
}

bool TB_FileStream::ReadText(std::string& text) {
    text.clear();
    if (!IsOpen()) {
        return false;
    }
    text.resize(static_cast<size_t>(m_length > 0 ? m_length : 0));
    tb_int64 n = text.empty() ? 0 : Read(text.data(), m_length);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    text.erase(0, static_cast<size_t>(SkipByteOrderMark(text.data(), n)));
    return true;
}

tb_int64 TB_FileStream::SkipByteOrderMark(const char* bytes, tb_int64 count) {
    static const unsigned char kMark[3] = {0xEF, 0xBB, 0xBF};
    tb_int64 offset = 0;
    for (unsigned char expected : kMark) {
        if (offset < count && static_cast<unsigned char>(bytes[offset]) == expected) {
            ++offset;
        }
    }
    return offset;
}

namespace {

// The file a write of path lands in: the final target of a chain of symbolic links (a
// dangling link included), so the link itself survives the rename.
std::string ResolveLinks(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return current;
        }
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 4096), '\0');
        ssize_t length = readlink(current.c_str(), target.data(), target.size());
        if (length <= 0) {
            return current;
        }
        target.resize(static_cast<size_t>(length));
        if (target[0] != '/') {
            size_t slash = current.rfind('/');
            target = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) +
                     target;
        }
        current = target;
    }
    return current;  // a loop of links: the rename will fail on it
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool TB_WriteFileAtomically(const TB_Uri& target, const void* data, tb_int64 count) {
    std::string path = target.GetPath().ToStdString();
    if (path.empty() || count < 0) {
        return false;
    }
    path = ResolveLinks(path);
    struct stat old {};
    bool hadFile = ::stat(path.c_str(), &old) == 0;
    std::string temporary = path + ".tmp-" + std::to_string(getpid());
    // A pipe planted under the temporary name must not hang the save.
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0644);
    struct stat made {};
    if (fd >= 0 && (fstat(fd, &made) != 0 || !S_ISREG(made.st_mode))) {
        ::close(fd);
        return false;
    }
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    if (hadFile) {
        // The replacement keeps who may read it: a private file stays private.
        ok = fchmod(fd, old.st_mode & 07777) == 0;
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only the owner's group may be out of reach; the bits above still hold.
        }
    }
    ok = ok && WriteFully(fd, data, count) == count && fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0) {
        // Make the rename itself durable.
        int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            ::close(dir);
        }
        return true;
    }
    ::unlink(temporary.c_str());
    return false;
}

tb_int TB_RemoveStaleTemporaries(const TB_Uri& target) {
    std::string path = target.GetPath().ToStdString();
    if (path.empty()) {
        return 0;
    }
    path = ResolveLinks(path);
    std::string folder = FolderOf(path);
    std::string prefix = path.substr(path.rfind('/') + 1) + ".tmp-";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return 0;
    }
    tb_int removed = 0;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        std::string digits = name.substr(prefix.size());
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
            continue;  // not of our naming
        }
        pid_t pid = static_cast<pid_t>(std::stol(digits));
        // A live process may be writing it right now (a second instance); leave it alone.
        if (pid == getpid() || (pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH))) {
            continue;
        }
        if (::unlink((folder + "/" + name).c_str()) == 0) {
            ++removed;
        }
    }
    ::closedir(dir);
    return removed;
}
