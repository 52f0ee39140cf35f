#pragma once

#include <QWidget>

#include <memory>

#include "tb_types.h"

class TB_NativeWidget;
class TB_PopupShadow;

// The Qt window behind one toolkit widget (TB_WindowHandle points at it). It turns every
// Qt event into a message record for the widget's WindowProc, and lets Qt's own handling
// run only when the widget did not handle the message.
class TB_NativeWindow : public QWidget {
public:
    TB_NativeWindow(TB_NativeWidget* widget, QWidget* parent, Qt::WindowFlags flags);
    ~TB_NativeWindow() override;

    TB_NativeWidget* Widget() const { return m_widget; }
    // Stops all messages to the widget (it is being destroyed).
    void Detach() { m_widget = nullptr; }
    // Sends one message record; true when the widget handled it.
    bool Send(unsigned message, unsigned long long wParam, long long lParam,
              long long* result = nullptr);
    // For a platform control inside this window (the text box's line edit), the toolkit's
    // part of a key press aimed at it: the shortcut walk (not while composing), then the
    // key-down message. True when the toolkit took the key and the control must not see it.
    bool PreviewControlKey(QKeyEvent* event);
    // Such a control's input-method state: keys typed into a composition are no shortcuts.
    static void SetComposing(bool composing);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The mouse buttons and modifier keys held, as the TB_MK_ bits of mouse messages.
    static unsigned KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void SendButton(QMouseEvent* event, bool down);
    TB_NativeWindow* MouseTarget(const QPointF& global, QPoint& local);
    // Delivers one drop-target notification to the widget; the effect it chose.
    tb_uint SendDrop(int kind, QDropEvent* event);

    // A popup's shadow follows it on the screen.
    void FollowWithShadow();

    TB_NativeWidget* m_widget;
    std::unique_ptr<TB_PopupShadow> m_shadow;
};
