// File-system operations of TB_Uri over POSIX.
#include <dirent.h>
#include <sys/stat.h>

#include <string>

#include "tb_uri.h"

namespace {

std::string NativePath(const TB_String& path) {
    return path.ToStdString();
}

bool StatPath(const TB_String& path, struct stat& info) {
    if (path.IsEmpty()) {
        return false;
    }
    return stat(NativePath(path).c_str(), &info) == 0;
}

// Entries of a folder except "." and ".."; a folder that cannot be read yields nothing.
template <class F>
void ForEachEntry(const TB_String& folder, F&& visit) {
    std::string base = NativePath(folder);
    DIR* dir = opendir(base.c_str());
    if (!dir) {
        return;
    }
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        std::string full = base;
        if (full.empty() || full.back() != '/') {
            full.push_back('/');
        }
        full += name;
        struct stat info;
        bool isDirectory = stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        visit(full, isDirectory);
    }
    closedir(dir);
}

void ListFilesInto(const TB_String& folder, TB_List<TB_Uri*>& list, bool recursive, int depth) {
    // A link cycle would otherwise recurse without end.
    if (depth > 64) {
        return;
    }
    ForEachEntry(folder, [&](const std::string& full, bool isDirectory) {
        if (!isDirectory) {
            list.Add(new TB_Uri(TB_String(full.c_str())));
        } else if (recursive) {
            ListFilesInto(TB_String(full.c_str()), list, true, depth + 1);
        }
    });
}

}  // namespace

bool TB_Uri::IsFile() const {
    struct stat info;
    return !m_uri.IsEmpty() && StatPath(m_path, info) && !S_ISDIR(info.st_mode);
}

bool TB_Uri::IsDirectory() const {
    struct stat info;
    return !m_uri.IsEmpty() && StatPath(m_path, info) && S_ISDIR(info.st_mode);
}

void TB_Uri::ListFiles(TB_List<TB_Uri*>& list, bool recursive) const {
    ListFilesInto(m_path, list, recursive, 0);
}

void TB_Uri::ListDirectories(TB_List<TB_Uri*>& list) const {
    ForEachEntry(m_path, [&](const std::string& full, bool isDirectory) {
        if (isDirectory) {
            list.Add(new TB_Uri(TB_String(full.c_str())));
        }
    });
}

bool TB_Uri::CreateDirectories() const {
    std::string path = NativePath(m_path);
    // Each growing prefix, from "/" downwards for an absolute path.
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string prefix = path.substr(0, i);
            struct stat info;
            if (stat(prefix.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                mkdir(prefix.c_str(), 0777);
            }
        }
    }
    return true;
}
