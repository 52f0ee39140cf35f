#pragma once

// The program: start-up, the main window loop and shutdown in their fixed order. Returns
// the process exit status.
int LV_Main();
