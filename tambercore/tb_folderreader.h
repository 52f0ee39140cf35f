#pragma once

#include <string>
#include <vector>

#include "tb_types.h"

// One entry of a folder as the file system names it.
struct TB_FolderEntry {
    enum Kind : tb_byte {
        File,       // anything that is not a folder
        Directory,  // a folder, or a link to one
        Missing     // a link to nothing, or an entry gone before it could be asked
    };
    std::string Name;  // the name's bytes, which need not be UTF-8
    Kind Type = File;
};

// Appends the entries of a folder except "." and "..", in the order the file system gives
// them. The kind comes from the directory entry; only links and entries of unknown kind are
// asked with stat (which follows links). The folder is closed before this returns. False
// when the folder cannot be opened.
bool TB_ReadFolder(const std::string& nativePath, std::vector<TB_FolderEntry>& entries);
