#include "tb_folderreader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

bool TB_ReadFolder(const std::string& nativePath, std::vector<TB_FolderEntry>& entries) {
    DIR* dir = opendir(nativePath.c_str());
    if (!dir) {
        return false;
    }
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) {
            continue;
        }
        TB_FolderEntry::Kind kind;
        switch (entry->d_type) {
            case DT_REG:
            case DT_FIFO:
            case DT_SOCK:
            case DT_CHR:
            case DT_BLK:
                kind = TB_FolderEntry::File;
                break;
            case DT_DIR:
                kind = TB_FolderEntry::Directory;
                break;
            default: {  // a link, or a file system that does not say
                struct stat info;
                if (fstatat(dirfd(dir), name, &info, 0) != 0) {
                    kind = TB_FolderEntry::Missing;
                } else {
                    kind = S_ISDIR(info.st_mode) ? TB_FolderEntry::Directory : TB_FolderEntry::File;
                }
                break;
            }
        }
        entries.push_back({name, kind});
    }
    closedir(dir);
    return true;
}
