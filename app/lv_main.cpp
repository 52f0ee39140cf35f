#include "lv_main.h"

#include <dlfcn.h>
#include <openssl/crypto.h>
#include <openssl/ssl.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "lv_frame.h"
#include "lv_licenses.h"
#include "lv_signals.h"
#include "lv_style.h"
#include "lv_version.h"
#include "tb_audioplayer.h"
#include "tb_brush.h"
#include "tb_consolewriter.h"
#include "tb_error.h"
#include "tb_framework.h"
#include "tb_graphics.h"
#include "tb_gui.h"
#include "tb_media.h"
#include "tb_messageloop.h"
#include "tb_nativebitmap.h"
#include "tb_svg.h"
#include "tc_app.h"

namespace {

// Nothing before the first window needs TLS: the library is opened (linked, it would be mapped
// before main) and builds its tables on a thread of its own once the window is on the screen,
// and says its version, or why it could not be opened, when it has.
void StartTls() {
    void* library = ::dlopen("libssl.so.3", RTLD_NOW | RTLD_GLOBAL);
    auto init =
        library
            ? reinterpret_cast<decltype(&OPENSSL_init_ssl)>(::dlsym(library, "OPENSSL_init_ssl"))
            : nullptr;
    auto text =
        library ? reinterpret_cast<decltype(&OpenSSL_version)>(::dlsym(library, "OpenSSL_version"))
                : nullptr;
    if (!init || !text) {
        const char* why = ::dlerror();
        TB_DebugPrint(u"OpenSSL\t: not available (%s)", why ? why : "libssl.so.3");
        return;
    }
    init(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
    init(0, nullptr);
    TB_DebugPrint(u"OpenSSL\t: %s", text(OPENSSL_VERSION));
}

// Our own icon, drawn by our renderer, on every window; a missing file only costs the icon.
void SetWindowIcon() {
    if (!TB_GraphicsStarted()) {
        return;
    }
    auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
    if (!renderer->LoadFile(LV_AppIconFile())) {
        return;
    }
    // As large as panels and docks show it; a bigger one costs the start milliseconds.
    constexpr tb_int kSide = 128;
    auto bitmap = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(kSide, kSide));
    {
        TB_Graphics graphics(bitmap.Get());
        graphics.Clear(TB_Color{0, 0, 0, 0});
        TB_SolidBrush brush(TB_Color{0, 0, 0, 1});
        graphics.Brush = &brush;
        graphics.Pen = nullptr;
        renderer->Render(graphics, TB_Rectangle<float>{0, 0, kSide, kSide}, true);
        graphics.Brush = nullptr;
    }
    TB_SetApplicationIcon(bitmap.Get());
}

// Runs main windows until one closes without asking for a restart (a close asked for by a
// signal never restarts).
void RunMainWindowLoop(TC_App& app, LV_Signals& requests, std::thread& tls) {
    (void)app;
    if (!TB_GraphicsStarted()) {
        return;
    }
    bool restart = true;
    bool iconSet = false;
    while (restart) {
        auto frame = TB_Ref<LV_Frame>::Adopt(new LV_Frame());
        // Drawn and started once the first window is on the screen, which needs neither.
        frame->Shown.Add([&iconSet, &tls](TB_EventArg&) {
            if (!iconSet) {
                iconSet = true;
                tls = std::thread(StartTls);
                SetWindowIcon();
            }
        });
        requests.Watch(frame.Get());
        TB_RunMessageLoop(frame.Get());
        requests.Watch(nullptr);  // before the frame goes: no post may reach it afterwards
        restart = frame->Restart && !requests.Requested();
    }
}

constexpr const char* kUsage =
    "Usage: lumovox [OPTION] [FOLDER]...\n"
    "Browse and audition libraries of recorded voice clips. Each FOLDER is added as a\n"
    "library (a folder already added is just shown), and the last one is shown.\n"
    "\n"
    "  --version   print the version and exit\n"
    "  --licenses  print the licences of the program and the libraries it contains, and exit\n"
    "  --help      print this help and exit\n";

// Writes the whole text to standard output; false when it could not (a closed pipe, a full
// disk), so the caller reports the failure instead of exiting with success.
bool Print(const char* text, size_t size) {
    return std::fwrite(text, 1, size, stdout) == size && std::fflush(stdout) == 0;
}

// The exit status when the arguments asked for information only (printed here), or -1 when
// the program should start.
int AnswerInformationalOptions(int argc, char** argv) {
    if (argc < 2) {
        return -1;
    }
    const char* option = argv[1];
    bool written;
    if (std::strcmp(option, "--version") == 0) {
        std::string line = std::string("lumovox ") + LV_kVersion + "\n";
        written = Print(line.data(), line.size());
    } else if (std::strcmp(option, "--licenses") == 0) {
        written = Print(LV_LicenseText(), LV_LicenseTextSize());
    } else if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
        written = Print(kUsage, std::strlen(kUsage));
    } else if (option[0] == '-') {
        std::fprintf(stderr, "lumovox: unknown option '%s'\nTry 'lumovox --help'.\n", option);
        return 2;
    } else {
        return -1;  // folders: the program starts with them
    }
    if (!written) {
        std::fprintf(stderr, "lumovox: could not write to standard output\n");
        return 1;
    }
    return 0;
}

}  // namespace

int LV_Main(int argc, char** argv) {
    if (int status = AnswerInformationalOptions(argc, argv); status >= 0) {
        return status;
    }
    LV_Signals::BlockSignals();
    // A file-size limit makes a write fail like a full disk instead of killing the process
    // in the middle of a save.
    std::signal(SIGXFSZ, SIG_IGN);
    LV_Signals requests;
    TB_AppDescriptor descriptor;
    descriptor.Name = u"LumoVox";
    if (!TB_ParseVersion(LV_kVersion, descriptor)) {
        std::abort();
    }
    TB_FrameworkHooks hooks;
    hooks.GraphicsStartup = TB_GraphicsStartup;
    hooks.GraphicsShutdown = TB_GraphicsShutdown;
    hooks.PrintLibraryVersions = TB_PrintImageLibraryVersions;
    TB_FrameworkStartup(descriptor, hooks);
    if (!TB_GraphicsStarted()) {
        TB_DebugPrint(u"No display could be opened; the program starts and ends without a window.");
    }
    TB_ConsoleWriter::SetShared(new TB_ConsoleWriter());
    // Winsock start-up: sockets need no start on Linux.
    TB_GuiStartup(TB_String(), nullptr);
    // The media platform starts once the window has been painted (LV_Frame), or with the
    // first clip opened.
    // Silence chosen on purpose (a machine without sound, a test session): clips play into
    // the silent output at once, and nobody is told that no device was found.
    if (const char* output = std::getenv("LUMOVOX_AUDIO_OUTPUT");
        output && std::strcmp(output, "silent") == 0) {
        TB_SetAudioOutput(TB_AudioOutput::Silent);
    }
    TC_App* app = TC_LibraryStartup();
    app->CreateIcons();
    // The window comes first; the libraries' clips are read beside it.
    app->LoadIndex(true);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") != 0) {
            LV_Frame::StartFolders.push_back(argv[i]);
        }
    }
    LV_Frame::GuideFolder = LV_GuideFolder();
    std::thread tls;
    RunMainWindowLoop(*app, requests, tls);
    if (tls.joinable()) {
        tls.join();
    } else {
        StartTls();  // no window was shown
    }

    TC_LibraryShutdown();
    TB_MediaShutdown();
    TB_GuiShutdown();
    // Winsock shutdown: nothing to stop.
    TB_ConsoleWriter* console = TB_ConsoleWriter::Shared();
    TB_ConsoleWriter::SetShared(nullptr);
    console->Release();
    TB_FrameworkShutdown();
    return 0;
}
