#pragma once

// Assistive tools (screen readers, through AT-SPI on Linux) see the toolkit's widgets through
// Qt's accessibility interfaces: each widget's window says what the widget describes of
// itself, and items drawn inside a widget (list rows) are children made only when a tool
// asks for them.

class TB_NativeWidget;
enum class TB_AccessibleChange;

// Installs the interface factory; once, after the application object exists.
void TB_QtInstallAccessibility();
// Reports a change to the tools listening, when any are.
void TB_QtNotifyAccessible(TB_NativeWidget* widget, TB_AccessibleChange change, int item);
