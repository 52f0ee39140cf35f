#include "platform/tb_qt_popupshadow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "tb_globalstyle.h"

TB_PopupShadow::TB_PopupShadow()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QMargins TB_PopupShadow::Spread() {
    float scale = TB_GetGlobalStyle().Scale;
    int blur = std::max(3, static_cast<int>(std::lround(8 * scale)));
    int drop = static_cast<int>(std::lround(3 * scale));  // light falls from above
    return QMargins(blur, blur - drop, blur, blur + drop);
}

bool TB_PopupShadow::Wanted() {
    return QGuiApplication::platformName() == QStringLiteral("xcb");
}

void TB_PopupShadow::Follow(const QRect& popup, const QWidget* owner) {
    QRect area = popup.marginsAdded(Spread());
    m_popup = popup.translated(-area.topLeft());
    if (!isVisible() || area != geometry()) {
        m_behind = Behind(area, owner);
    }
    setGeometry(area);
    show();
    update();
}

QPixmap TB_PopupShadow::Behind(const QRect& area, const QWidget* owner) const {
    // The screen, for what other programs show there; where the program's own windows lie
    // they are drawn afresh, as a window just uncovered reads back black until it repaints.
    QScreen* screen = QGuiApplication::screenAt(area.center());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    QPixmap behind(area.size());
    behind.fill(Qt::black);
    QPainter painter(&behind);
    if (screen) {
        QPoint origin = area.topLeft() - screen->geometry().topLeft();
        painter.drawPixmap(
            0, 0, screen->grabWindow(0, origin.x(), origin.y(), area.width(), area.height()));
    }
    // Frames below, popups (a submenu's parent menu) above them.
    for (bool popups : {false, true}) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window == this || window == owner || !window->isVisible() ||
                dynamic_cast<TB_PopupShadow*>(window) ||
                (window->windowType() == Qt::Popup) != popups) {
                continue;
            }
            QRect part = window->geometry() & area;
            if (!part.isEmpty()) {
                painter.drawPixmap(part.topLeft() - area.topLeft(),
                                   window->grab(part.translated(-window->geometry().topLeft())));
            }
        }
    }
    return behind;
}

void TB_PopupShadow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_behind.isNull()) {
        painter.drawPixmap(0, 0, m_behind);
    }
    // Nested rectangles of faint black, each a pixel smaller: they add up to a soft edge,
    // darker on a dark ground so that it still shows.
    const TB_Color& ground = TB_GetGlobalStyle().MenuBackground;
    float light = 0.2126f * ground.r + 0.7152f * ground.g + 0.0722f * ground.b;
    double strongest = light < 0.5f ? 0.7 : 0.35;
    QMargins spread = Spread();
    int steps = std::max(spread.left(), 1);
    painter.setPen(Qt::NoPen);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < steps; ++i) {
        int grow = steps - i;
        int drop = (spread.bottom() - spread.top()) / 2;
        QRectF layer = QRectF(m_popup).adjusted(-grow, -grow + drop, grow, grow + drop);
        painter.setBrush(QColor::fromRgbF(0, 0, 0, strongest / steps * 1.6 * (i + 1) / steps));
        painter.drawRoundedRect(layer, grow, grow);
    }
}
