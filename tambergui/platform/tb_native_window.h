#pragma once

#include <QWidget>

// The Qt window behind one toolkit widget. TB_WindowHandle points at it.
class TB_NativeWindow : public QWidget {
public:
    using QWidget::QWidget;
};
