#pragma once

// The program: start-up, the main window loop and shutdown in their fixed order. Returns
// the process exit status. The informational options (--version, --licenses, --help) are
// answered on standard output before anything starts, so they need no display.
int LV_Main(int argc, char** argv);
