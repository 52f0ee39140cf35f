#include "tb_gui.h"

#include <png.h>
#include <zlib.h>

#include <thread>

#include "tb_actionlist.h"
#include "tb_error.h"
#include "tb_globalstyle.h"
#include "tb_graphics.h"

namespace {

tb_int g_guiStarts = 0;
std::thread::id g_guiThread;
const void* g_icon = nullptr;
TB_NativeBitmap* g_measureBitmap = nullptr;
TB_Graphics* g_measureGraphics = nullptr;
TB_ActionList* g_globalActions = nullptr;
// The system cursors by kind; the platform maps each kind to its own cursor of that shape.
tb_int g_cursors[14];

}  // namespace

void TB_GuiStartup(const TB_String& name, const void* icon) {
    (void)name;
    if (g_guiStarts++ > 0) {
        return;
    }
    g_icon = icon;
    TB_GetGlobalStyle().ResetToBuiltIn();
    for (tb_int i = 0; i < 14; ++i) {
        g_cursors[i] = i;
    }
    if (TB_GraphicsStarted()) {
        g_measureBitmap = new TB_NativeBitmap(32, 32);
        g_measureGraphics = new TB_Graphics(g_measureBitmap);
    }
    g_globalActions = new TB_ActionList();
    g_guiThread = std::this_thread::get_id();
}

void TB_GuiShutdown() {
    if (g_guiStarts <= 0 || --g_guiStarts > 0) {
        return;
    }
    if (g_measureGraphics) {
        g_measureGraphics->Release();
        g_measureGraphics = nullptr;
    }
    if (g_measureBitmap) {
        g_measureBitmap->Release();
        g_measureBitmap = nullptr;
    }
    if (g_globalActions) {
        g_globalActions->Release();
        g_globalActions = nullptr;
    }
    g_guiThread = std::thread::id();
}

tb_int TB_GuiStartCount() {
    return g_guiStarts;
}

bool TB_IsGuiThread() {
    return g_guiStarts > 0 && std::this_thread::get_id() == g_guiThread;
}

TB_Graphics* TB_GetMeasureGraphics() {
    return g_measureGraphics;
}

TB_ActionList* TB_GetGlobalActions() {
    return g_globalActions;
}

const void* TB_GetApplicationIcon() {
    return g_icon;
}

void TB_PrintImageLibraryVersions() {
    TB_DebugPrint(u"zlib       : %s", zlibVersion());
    TB_DebugPrint(u"libpng     : %s", png_get_libpng_ver(nullptr));
}
