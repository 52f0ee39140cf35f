#include "tb_platform.h"

#include "tb_framework.h"

namespace {

TB_NullPlatform g_nullPlatform;
TB_Platform* g_platform = &g_nullPlatform;

}  // namespace

tb_uint64 TB_NullPlatform::Milliseconds() {
    return TB_GetTickCount() - TB_GetStartTick();
}

TB_Platform& TB_GetPlatform() {
    return *g_platform;
}

void TB_SetPlatform(TB_Platform* platform) {
    g_platform = platform ? platform : &g_nullPlatform;
}
