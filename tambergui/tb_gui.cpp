#include "tb_gui.h"

#include <thread>

namespace {

tb_int g_guiStarts = 0;
std::thread::id g_guiThread;

}  // namespace

void TB_GuiStartup(const TB_String& name, const void* icon) {
    (void)name;
    (void)icon;
    if (g_guiStarts++ > 0) {
        return;
    }
    g_guiThread = std::this_thread::get_id();
}

void TB_GuiShutdown() {
    if (g_guiStarts <= 0 || --g_guiStarts > 0) {
        return;
    }
    g_guiThread = std::thread::id();
}

tb_int TB_GuiStartCount() {
    return g_guiStarts;
}

bool TB_IsGuiThread() {
    return g_guiStarts > 0 && std::this_thread::get_id() == g_guiThread;
}
