#pragma once

// The media platform: started once before any player exists, shut down at exit.
void TB_MediaStartup();
void TB_MediaShutdown();
bool TB_MediaStarted();
