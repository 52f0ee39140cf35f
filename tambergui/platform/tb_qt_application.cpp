// The Qt application object stands where the graphics library is started and stopped.
#include <QApplication>
#include <QCoreApplication>

#include "tb_gui.h"

namespace {

int g_argc = 1;
char g_programName[] = "lumovox";
char* g_argv[] = {g_programName, nullptr};
QApplication* g_application = nullptr;

}  // namespace

void TB_GraphicsStartup() {
    if (g_application || QCoreApplication::instance()) {
        return;
    }
    // Sizes are device pixels and the program applies its own display size; Qt must not
    // scale them a second time.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Floor);
    g_application = new QApplication(g_argc, g_argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

void TB_GraphicsShutdown() {
    delete g_application;
    g_application = nullptr;
}

bool TB_GraphicsStarted() {
    return g_application != nullptr;
}
