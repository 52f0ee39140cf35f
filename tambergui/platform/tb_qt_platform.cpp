#include "tb_qt_platform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace {

// The room a desktop panel takes where the window system does not say (Wayland).
constexpr int kUnknownPanelHeight = 48;

}  // namespace

TB_QtPlatform& TB_GetQtPlatform() {
    static TB_QtPlatform platform;
    return platform;
}

std::vector<TB_Rectangle<int>> TB_QtPlatform::WorkAreas() {
    std::vector<TB_Rectangle<int>> areas;
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) {
        screens.removeAll(primary);
        screens.prepend(primary);
    }
    for (QScreen* screen : screens) {
        QRect r = screen->availableGeometry();
        if (!KnowsWindowPlaces() && r == screen->geometry()) {
            // Wayland does not tell panels' room: leave a panel's height, wherever it is.
            r.setHeight(std::max(1, r.height() - kUnknownPanelHeight));
        }
        areas.push_back(TB_Rectangle<int>{r.x(), r.y(), r.width(), r.height()});
    }
    return areas;
}

bool TB_QtPlatform::KnowsWindowPlaces() {
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

float TB_QtPlatform::WindowSystemScale() {
    // Qt's own scaling is off, so this is the compositor's buffer scale alone.
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? std::max(1.0f, static_cast<float>(screen->devicePixelRatio())) : 1.0f;
}

TB_Vector2 TB_QtPlatform::CursorPosition() {
    QPoint p = QCursor::pos();
    return TB_Vector2{static_cast<float>(p.x()), static_cast<float>(p.y())};
}
