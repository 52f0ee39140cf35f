#include "tc_json.h"

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "tb_error.h"
#include "tb_filestream.h"

void TC_KeepBrokenFile(const TB_Uri& path) {
    std::string from = path.GetPath().ToStdString();
    std::string to;
    bool moved = false;
    for (int number = 0; number < 1000 && !moved; ++number) {
        to = from + ".broken" + (number == 0 ? std::string() : "." + std::to_string(number));
        // RENAME_NOREPLACE: an earlier broken copy is never overwritten, not even by a race.
        moved = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
        if (!moved && errno != EEXIST) {
            break;
        }
    }
    TB_String message;
    if (moved) {
        message.Format(u"Kept the unreadable file as %s", to.c_str());
    } else {
        message.Format(u"Could not keep the unreadable file %s", from.c_str());
    }
    TB_Error::Report(2, 6, message.Chars(), TB_SOURCE_NAME, __LINE__);
}

bool TC_SaveJsonText(const TB_Uri& path, const std::string& text) {
    if (TB_WriteFileAtomically(path, text.data(), static_cast<tb_int64>(text.size()))) {
        return true;
    }
    TB_String message;
    message.Format(u"Failed to write %s; the previous file was kept",
                   path.GetPath().ToStdString().c_str());
    TB_Error::Report(2, 7, message.Chars(), TB_SOURCE_NAME, __LINE__);
    return false;
}
