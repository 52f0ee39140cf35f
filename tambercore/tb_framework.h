#pragma once

#include "tb_types.h"

// What the program tells the framework about itself.
struct TB_AppDescriptor {
    const tb_char* Name = nullptr;
    tb_byte Major = 0;
    tb_byte Minor = 0;
    tb_byte Build = 0;
    tb_uint Revision = 0;
};

// Parses "a.b.c.d" into the descriptor's version; false unless there are exactly four fields.
bool TB_ParseVersion(const char* text, TB_AppDescriptor& descriptor);

// Services the core cannot reach itself (the graphics platform), handed in by the entry.
struct TB_FrameworkHooks {
    void (*GraphicsStartup)() = nullptr;
    void (*GraphicsShutdown)() = nullptr;
    // Prints the versions of the libraries the program links, asked from them at run time;
    // the core links none of them itself.
    void (*PrintLibraryVersions)() = nullptr;
};

// Only the first start and the last stop do work; the others count.
void TB_FrameworkStartup(const TB_AppDescriptor& descriptor, const TB_FrameworkHooks& hooks = {});
void TB_FrameworkShutdown();
tb_int TB_FrameworkStartCount();

// "Tamber Application" when no name was given; at most 127 units.
const tb_char* TB_GetAppName();
// The version as "%d.%d.%d.%d"; every log line carries it.
const tb_char* TB_GetVersionText();
// Milliseconds of a monotonic clock; TB_GetStartTick is its value at framework start.
tb_uint64 TB_GetTickCount();
tb_uint64 TB_GetStartTick();
