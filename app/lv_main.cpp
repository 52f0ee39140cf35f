#include "lv_main.h"

#include <openssl/crypto.h>
#include <openssl/ssl.h>

#include <csignal>
#include <cstdlib>

#include "lv_frame.h"
#include "lv_signals.h"
#include "tb_consolewriter.h"
#include "tb_error.h"
#include "tb_framework.h"
#include "tb_gui.h"
#include "tb_media.h"
#include "tb_messageloop.h"
#include "tc_app.h"

namespace {

constexpr const char* kVersion = "1.0.0.0";

void StartTls() {
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
    OPENSSL_init_ssl(0, nullptr);
    TB_DebugPrint(u"OpenSSL\t: %s", OpenSSL_version(OPENSSL_VERSION));
}

// Runs main windows until one closes without asking for a restart (a close asked for by a
// signal never restarts).
void RunMainWindowLoop(TC_App& app, LV_Signals& requests) {
    (void)app;
    if (!TB_GraphicsStarted()) {
        return;
    }
    bool restart = true;
    while (restart) {
        auto frame = TB_Ref<LV_Frame>::Adopt(new LV_Frame());
        requests.Watch(frame.Get());
        TB_RunMessageLoop(frame.Get());
        requests.Watch(nullptr);  // before the frame goes: no post may reach it afterwards
        restart = frame->Restart && !requests.Requested();
    }
}

}  // namespace

int LV_Main() {
    LV_Signals::BlockSignals();
    // A file-size limit makes a write fail like a full disk instead of killing the process
    // in the middle of a save.
    std::signal(SIGXFSZ, SIG_IGN);
    LV_Signals requests;
    TB_AppDescriptor descriptor;
    descriptor.Name = u"LumoVox";
    if (!TB_ParseVersion(kVersion, descriptor)) {
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
    StartTls();
    TB_GuiStartup(TB_String(), nullptr);
    TB_MediaStartup();
    TC_App* app = TC_LibraryStartup();
    app->CreateIcons();
    RunMainWindowLoop(*app, requests);

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
