#include "tb_folderreader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

TB_FolderReader::TB_FolderReader(const std::string& nativePath)
    : m_folder(opendir(nativePath.c_str())) {}

TB_FolderReader::~TB_FolderReader() {
    if (m_folder) {
        closedir(static_cast<DIR*>(m_folder));
    }
}

bool TB_FolderReader::Next(std::string_view& name, TB_FolderEntry::Kind& kind) {
    auto* folder = static_cast<DIR*>(m_folder);
    if (!folder) {
        return false;
    }
    while (dirent* entry = readdir(folder)) {
        const char* text = entry->d_name;
        if (text[0] == '.' && (text[1] == 0 || (text[1] == '.' && text[2] == 0))) {
            continue;
        }
        switch (entry->d_type) {
            case DT_REG:
                kind = TB_FolderEntry::File;
                break;
            case DT_FIFO:
            case DT_SOCK:
            case DT_CHR:
            case DT_BLK:
                kind = TB_FolderEntry::Other;
                break;
            case DT_DIR:
                kind = TB_FolderEntry::Directory;
                break;
            default: {  // a link, or a file system that does not say
                struct stat info;
                if (fstatat(dirfd(folder), text, &info, 0) != 0) {
                    kind = TB_FolderEntry::Missing;
                } else {
                    kind = S_ISDIR(info.st_mode)   ? TB_FolderEntry::Directory
                           : S_ISREG(info.st_mode) ? TB_FolderEntry::File
                                                   : TB_FolderEntry::Other;
                }
                break;
            }
        }
        name = text;
        return true;
    }
    return false;
}

bool TB_ReadFolder(const std::string& nativePath, std::vector<TB_FolderEntry>& entries) {
    TB_FolderReader reader(nativePath);
    std::string_view name;
    TB_FolderEntry::Kind kind;
    while (reader.Next(name, kind)) {
        entries.push_back({std::string(name), kind});
    }
    return reader.IsOpen();
}
