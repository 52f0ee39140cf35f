#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tb_uri.h"

// What every fuzz target shares: a scratch folder of its own process, so that inputs can be
// read from files as the program reads them and nothing reaches the user's data folder.
namespace LV_Fuzz {

// Made on first use under $TMPDIR (or /tmp) and removed at exit. The first call also points
// XDG_DATA_HOME (to "data" inside it) and HOME into it and starts the error record list
// without a log folder, so nothing is written to the user's files.
const std::string& ScratchFolder();
std::string ScratchPath(const std::string& name);
// The program's data folder, $XDG_DATA_HOME/LumoVox inside the scratch folder; made here.
std::string DataFolder();
TB_Uri ToUri(const std::string& path);

void WriteFile(const std::string& path, const void* data, size_t size);
// Deletes everything in the folder: loaders move unreadable files aside, and those copies
// must not pile up over millions of runs.
void EmptyFolder(const std::string& folder);
// Copies samples/<name> to the folder; audio clips become empty files of the same names
// (only their existence is looked at), everything else is copied byte for byte.
void CopySample(const std::string& name, const std::string& to);

// Drops the error records of a run. The list keeps them until exit, and libFuzzer, seeing
// more allocations than frees in a run, would take a full leak check after each input.
void ForgetErrors();

// A finding that no sanitizer sees: prints the reason and aborts, so libFuzzer keeps the input.
[[noreturn]] void Fail(const char* reason);

}  // namespace LV_Fuzz
