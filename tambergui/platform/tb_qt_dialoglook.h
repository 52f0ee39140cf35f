#pragma once

class QWidget;

// Qt's own dialogs (message boxes, the folder picker) dressed in the current style: its
// colours as a palette and its text size scaled by the GUI size. The application runs Qt's
// Fusion style, which draws from the palette whatever the desktop's theme.
void TB_DressDialog(QWidget* dialog);
// The pixel size for a dialog's icons at the current GUI size.
int TB_DialogIconSize();
