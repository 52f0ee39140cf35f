// File-system operations of TB_Uri over POSIX.
#include <sys/stat.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tb_folderreader.h"
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

// The folder as the base of its entries' locations: appending a name to a normalised
// folder gives a normalised location without splitting it again.
TB_Uri ListingBase(const TB_Uri& folder) {
    TB_Uri base(folder);
    if (!base.IsNormalized()) {
        base.Normalize();
    }
    return base;
}

// The entry's own location. The name is appended as its bytes decode (escaped where they
// are not UTF-8), never parsed as a location text that could name another file.
TB_Uri* EntryUri(const TB_Uri& base, const std::string& name) {
    auto* uri = new TB_Uri(base);
    uri->Append(TB_TextFromNative(name.c_str(), static_cast<tb_int64>(name.size())));
    return uri;
}

using FolderIds = std::set<std::pair<dev_t, ino_t>>;

// Depth first, each folder entered at the place where it is listed. A folder already
// entered (a link back up the tree, a bind mount) is not entered again.
void ListFilesInto(const TB_Uri& base, TB_List<TB_Uri*>& list, bool recursive, FolderIds& seen) {
    std::vector<TB_FolderEntry> entries;
    if (!TB_ReadFolder(NativePath(base.GetPath()), entries)) {
        return;
    }
    for (const TB_FolderEntry& entry : entries) {
        if (entry.Type != TB_FolderEntry::Directory) {
            list.Add(EntryUri(base, entry.Name));
            continue;
        }
        if (!recursive) {
            continue;
        }
        TB_Ref<TB_Uri> folder = TB_Ref<TB_Uri>::Adopt(EntryUri(base, entry.Name));
        struct stat info;
        if (StatPath(folder->GetPath(), info) && seen.insert({info.st_dev, info.st_ino}).second) {
            ListFilesInto(*folder, list, true, seen);
        }
    }
}

}  // namespace

bool TB_Uri::IsFile() const {
    struct stat info;
    return !m_uri.IsEmpty() && StatPath(m_path, info) && S_ISREG(info.st_mode);
}

bool TB_Uri::IsDirectory() const {
    struct stat info;
    return !m_uri.IsEmpty() && StatPath(m_path, info) && S_ISDIR(info.st_mode);
}

void TB_Uri::ListFiles(TB_List<TB_Uri*>& list, bool recursive) const {
    TB_Uri base = ListingBase(*this);
    FolderIds seen;
    struct stat info;
    if (recursive && StatPath(base.GetPath(), info)) {
        seen.insert({info.st_dev, info.st_ino});
    }
    ListFilesInto(base, list, recursive, seen);
}

void TB_Uri::ListDirectories(TB_List<TB_Uri*>& list) const {
    TB_Uri base = ListingBase(*this);
    std::vector<TB_FolderEntry> entries;
    if (!TB_ReadFolder(NativePath(base.GetPath()), entries)) {
        return;
    }
    for (const TB_FolderEntry& entry : entries) {
        if (entry.Type == TB_FolderEntry::Directory) {
            list.Add(EntryUri(base, entry.Name));
        }
    }
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
