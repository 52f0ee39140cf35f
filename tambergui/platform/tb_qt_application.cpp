// The Qt application object stands where the graphics library is started and stopped.
#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QLibraryInfo>
#include <QPixmap>
#include <QTranslator>
#include <thread>

#include "platform/tb_qt_accessible.h"
#include "platform/tb_qt_platform.h"
#include "platform/tb_qt_sessionbus.h"
#include "tb_gui.h"
#include "tb_nativebitmap.h"

namespace {

int g_argc = 1;
char g_programName[] = "lumovox";
char* g_argv[] = {g_programName, nullptr};
QApplication* g_application = nullptr;
QTranslator* g_translator = nullptr;

}  // namespace

void TB_GraphicsStartup() {
    if (g_application || QCoreApplication::instance()) {
        return;
    }
    // Without a display Qt would end the process; the program then runs without windows.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return;
    }
    // Sizes are device pixels and the program applies its own display size; Qt must not
    // scale them a second time.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Floor);
    // The font configuration is read and its caches loaded while Qt connects to the display;
    // the first text drawn would otherwise wait for them.
    std::thread fontsReady([] { FcInit(); });
    TB_SessionBusLookup bus;
    bus.Begin();
    g_application = new QApplication(g_argc, g_argv);
    fontsReady.join();
    // It writes the environment: fontconfig's thread is done, and Qt's only reads events.
    bus.Finish();
    bus.ForgoUnreachableBus();
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt's dialogs take the style's colours as a palette; Fusion draws from the palette
    // alone, where a desktop theme would keep its own colours.
    QApplication::setStyle(QStringLiteral("Fusion"));
    // The program speaks Japanese; Qt's own dialogs (the folder picker, the message boxes'
    // buttons) do too where Qt's translations are installed.
    g_translator = new QTranslator();
    if (g_translator->load(QStringLiteral("qtbase_ja"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(g_translator);
    }
    // Lets desktops match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.lumovox.LumoVox"));
    // Qt's own controls (the line edits, tooltips) take the program's family too: left with
    // the desktop's, the first of them would load a second face while the window is built.
    QFont font = QApplication::font();
    font.setFamily(TB_QtUiFontFamily());
    QApplication::setFont(font);
    TB_QtInstallAccessibility();
    TB_SetPlatform(&TB_GetQtPlatform());
}

void TB_GraphicsShutdown() {
    TB_SetPlatform(nullptr);
    delete g_application;
    g_application = nullptr;
    delete g_translator;
    g_translator = nullptr;
}

void TB_SetApplicationIcon(TB_NativeBitmap* image) {
    if (g_application && image && image->PlatformImage()) {
        QApplication::setWindowIcon(
            QIcon(QPixmap::fromImage(*static_cast<QImage*>(image->PlatformImage()))));
    }
}

bool TB_GraphicsStarted() {
    return g_application != nullptr;
}
