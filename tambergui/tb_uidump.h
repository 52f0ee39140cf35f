#pragma once

#include <string>

#include "tb_uri.h"

// The tree of the program's open windows as JSON, for tests and bug reports: per window and
// widget its class, Id, text, bounds on the screen, visible / enabled / focused flags, what
// its Inspect reports, and its children in order. GUI thread.
std::string TB_UiDumpText();
// Writes the dump to the file, replacing it in one step; false when it could not be written.
bool TB_WriteUiDump(const TB_Uri& file);
