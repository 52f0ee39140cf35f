#pragma once

#include <QPixmap>
#include <QWidget>

// The soft shadow under a popup on X11: a window of its own just below the popup, a few
// pixels larger, that never takes input. It shows the screen as it was beneath it with the
// shadow painted over, so it needs no compositor (and looks the same under one).
class TB_PopupShadow : public QWidget {
public:
    TB_PopupShadow();

    // Shows the shadow for the owner, a popup about to appear at the rectangle (screen
    // coordinates), or moves it after the popup.
    void Follow(const QRect& popup, const QWidget* owner);
    // The room the shadow takes beyond the popup on each side, at the current GUI size.
    static QMargins Spread();
    // Whether popups get a shadow here: X11 only, where a window's place is its own.
    static bool Wanted();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap Behind(const QRect& area, const QWidget* owner) const;

    QRect m_popup;     // in this window's coordinates
    QPixmap m_behind;  // the screen beneath this window when it appeared
};
