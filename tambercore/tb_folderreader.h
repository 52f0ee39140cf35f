#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tb_types.h"

// One entry of a folder as the file system names it.
struct TB_FolderEntry {
    enum Kind : tb_byte {
        File,       // a regular file, or a link to one
        Directory,  // a folder, or a link to one
        Missing,    // a link to nothing, or an entry gone before it could be asked
        Other       // a pipe, a socket or a device (or a link to one): nothing to read
    };
    std::string Name;  // the name's bytes, which need not be UTF-8
    Kind Type = File;
};

// Reads a folder entry by entry, in the order the file system gives them, skipping "."
// and "..". The kind comes from the directory entry; only links and entries of unknown kind
// are asked with stat (which follows links).
class TB_FolderReader {
public:
    explicit TB_FolderReader(const std::string& nativePath);
    TB_FolderReader(const TB_FolderReader&) = delete;
    TB_FolderReader& operator=(const TB_FolderReader&) = delete;
    ~TB_FolderReader();

    // False when the folder could not be opened.
    bool IsOpen() const { return m_folder != nullptr; }
    // The next entry; false at the end. The name stays valid until the next call.
    bool Next(std::string_view& name, TB_FolderEntry::Kind& kind);

private:
    void* m_folder;  // the DIR of the open folder
};

// Appends every entry of a folder as TB_FolderReader gives them; the folder is closed
// before this returns. False when the folder cannot be opened.
bool TB_ReadFolder(const std::string& nativePath, std::vector<TB_FolderEntry>& entries);
