#include <unistd.h>

#include <cstdio>

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
    std::fclose(out);
    TB_MediaShutdown();
    TB_Error::Shutdown();
    return status;
}
