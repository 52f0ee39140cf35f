#include "tb_framework.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "tb_color.h"
#include "tb_error.h"
#include "tb_shiftjis.h"
#include "tb_string.h"

namespace {

tb_char g_appName[128] = u"Tamber Application";
tb_char g_versionText[64] = u"0.0.0.0";
tb_uint64 g_startTick = 0;
tb_int g_startCount = 0;
TB_FrameworkHooks g_hooks;

void CopyInto(tb_char* buffer, size_t capacity, const tb_char* text) {
    size_t n = 0;
    for (; text && text[n] != 0 && n + 1 < capacity; ++n) {
        buffer[n] = text[n];
    }
    buffer[n] = 0;
}

}  // namespace

bool TB_ParseVersion(const char* text, TB_AppDescriptor& descriptor) {
    if (!text) {
        return false;
    }
    TB_Ref<TB_Array<TB_String*>> fields =
        TB_Ref<TB_Array<TB_String*>>::Adopt(TB_String(text).Split(u'.'));
    bool ok = fields->Length() == 4;
    tb_uint values[4] = {0, 0, 0, 0};
    for (tb_int64 i = 0; i < fields->Length(); ++i) {
        if (ok) {
            values[i] =
                static_cast<tb_uint>(std::strtol((*fields)[i]->ToStdString().c_str(), nullptr, 10));
        }
        (*fields)[i]->Release();
    }
    if (!ok) {
        return false;
    }
    descriptor.Major = static_cast<tb_byte>(values[0]);
    descriptor.Minor = static_cast<tb_byte>(values[1]);
    descriptor.Build = static_cast<tb_byte>(values[2]);
    descriptor.Revision = values[3] & 0xFF;
    return true;
}

void TB_FrameworkStartup(const TB_AppDescriptor& descriptor, const TB_FrameworkHooks& hooks) {
    if (g_startCount++ > 0) {
        return;
    }
    CopyInto(g_appName, 128, descriptor.Name ? descriptor.Name : u"Tamber Application");
    TB_String version;
    version.Format(u"%d.%d.%d.%d", descriptor.Major, descriptor.Minor, descriptor.Build,
                   static_cast<tb_int>(descriptor.Revision));
    CopyInto(g_versionText, 64, version.Chars());
    std::setlocale(LC_ALL, "");
    // Numbers in logs and files stay in one form whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    // OLE and the 1 ms timer resolution need no work here; the clock starts now.
    g_startTick = TB_GetTickCount();
    TB_Color::InitPredefined();
    TB_Error::Init();
    TB_DebugPrint(u"TamberCore : %s", "0.5");
    g_hooks = hooks;
    if (g_hooks.PrintLibraryVersions) {
        g_hooks.PrintLibraryVersions();
    }
    if (g_hooks.GraphicsStartup) {
        g_hooks.GraphicsStartup();
    }
}

void TB_FrameworkShutdown() {
    if (g_startCount <= 0 || --g_startCount > 0) {
        return;
    }
    if (g_hooks.GraphicsShutdown) {
        g_hooks.GraphicsShutdown();
    }
    g_hooks = {};
    TB_Error::Shutdown();
    TB_FreeShiftJisTable();
}

tb_int TB_FrameworkStartCount() {
    return g_startCount;
}

const tb_char* TB_GetAppName() {
    return g_appName;
}

const tb_char* TB_GetVersionText() {
    return g_versionText;
}

tb_uint64 TB_GetTickCount() {
    using namespace std::chrono;
    return static_cast<tb_uint64>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

tb_uint64 TB_GetStartTick() {
    return g_startTick;
}
