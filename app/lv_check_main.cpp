#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "lv_check.h"
#include "lv_check_icon.h"
#include "lv_check_style.h"
#include "tb_color.h"
#include "tb_error.h"
#include "tb_media.h"

int main(int argc, char** argv) {
    // The JSON document owns standard output: anything else the libraries print (debug
    // lines, pipeline warnings) goes to standard error.
    int jsonFd = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    std::FILE* out = fdopen(jsonFd, "w");
    if (!out) {
        return 2;
    }
    TB_Color::InitPredefined();
    TB_Error::Init();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string command = arguments.empty() ? std::string() : arguments[0];
    int status = command == "--render-icon" ? LV_RunRenderIcon(arguments, stderr)
                 : command == "--style"     ? LV_RunStyleCheck(arguments, out)
                                            : LV_RunCheck(arguments, out);
    // A report that did not reach its reader (a full disk, a closed pipe) is a failure.
    bool written = std::ferror(out) == 0;
    written = std::fclose(out) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "lumovox-check: could not write to standard output: %s\n",
                     std::strerror(errno));
        status = 2;
    }
    TB_MediaShutdown();
    TB_Error::Shutdown();
    return status;
}
