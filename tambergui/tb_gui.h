#pragma once

#include "tb_string.h"

// Widget toolkit start-up and shutdown; only the first start and the last stop do work.
void TB_GuiStartup(const TB_String& name, const void* icon);
void TB_GuiShutdown();
tb_int TB_GuiStartCount();
// True on the thread that started the toolkit.
bool TB_IsGuiThread();

class TB_Graphics;
class TB_ActionList;
// A graphics on a 32 x 32 bitmap for measuring text outside painting; null before the
// toolkit started with a graphics platform.
TB_Graphics* TB_GetMeasureGraphics();
// The application-wide shortcut list.
TB_ActionList* TB_GetGlobalActions();
const void* TB_GetApplicationIcon();

// The graphics platform: creates and destroys the platform application object. The
// framework start-up calls these at the place of the graphics library start-up.
void TB_GraphicsStartup();
class TB_NativeBitmap;
// The icon every window of the program shows (title bar, task switcher); nothing without
// graphics.
void TB_SetApplicationIcon(TB_NativeBitmap* image);
void TB_GraphicsShutdown();
bool TB_GraphicsStarted();

// Prints the versions of the image libraries as the linked libraries report them.
void TB_PrintImageLibraryVersions();
