#pragma once

// The media platform: started once before the first clip is opened, shut down at exit.
// Startup returns once it has started (waiting for a start in the background); any thread.
void TB_MediaStartup();
// Starts it on a thread of its own, so that the window need not wait for it.
void TB_MediaStartInBackground();
void TB_MediaShutdown();
bool TB_MediaStarted();
