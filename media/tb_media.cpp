#include "tb_media.h"

#include <gst/gst.h>

namespace {

bool g_started = false;
bool g_finished = false;

}  // namespace

void TB_MediaStartup() {
    // GStreamer cannot be started again once it was shut down.
    if (g_started || g_finished) {
        return;
    }
    gst_init(nullptr, nullptr);
    g_started = true;
}

void TB_MediaShutdown() {
    if (!g_started) {
        return;
    }
    gst_deinit();
    g_started = false;
    g_finished = true;
}

bool TB_MediaStarted() {
    return g_started;
}
