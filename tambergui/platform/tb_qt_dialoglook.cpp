#include "platform/tb_qt_dialoglook.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QWidget>

#include <cmath>

#include "tb_font.h"
#include "tb_globalstyle.h"

namespace {

QColor ToQColor(const TB_Color& c) {
    return QColor::fromRgbF(c.r, c.g, c.b, c.a);
}

QPalette StylePalette() {
    const TB_GlobalStyle& s = TB_GetGlobalStyle();
    // Button faces are the text-field colour: white on the light ground, a raised grey on the
    // dark one, as the program's own fields stand off its background.
    QPalette palette(ToQColor(s.TextBoxBackground), ToQColor(s.WidgetBackground));
    auto both = [&](QPalette::ColorRole role, const TB_Color& colour) {
        palette.setColor(QPalette::Active, role, ToQColor(colour));
        palette.setColor(QPalette::Inactive, role, ToQColor(colour));
    };
    both(QPalette::WindowText, s.ForeColor);
    both(QPalette::Base, s.TextBoxBackground);
    both(QPalette::AlternateBase, s.ContentsItemColor2);
    both(QPalette::Text, s.TextBoxForeColor);
    both(QPalette::ButtonText, s.ForeColor);
    both(QPalette::Highlight, s.ContentsSelectedBackground);
    both(QPalette::HighlightedText, s.ContentsSelectedItemForeColor);
    both(QPalette::ToolTipBase, s.TextBoxBackground);
    both(QPalette::ToolTipText, s.TextBoxForeColor);
    both(QPalette::PlaceholderText, s.ContentsDisabledItemForeColor);
    both(QPalette::Link, s.FocusFrame);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, ToQColor(s.ButtonDisabledFontColor));
    }
    palette.setColor(QPalette::Disabled, QPalette::Button, ToQColor(s.ButtonDisabledColor));
    palette.setColor(QPalette::Disabled, QPalette::Base, ToQColor(s.WidgetBackground));
    return palette;
}

}  // namespace

int TB_DialogIconSize() {
    return static_cast<int>(std::lround(32.0f * TB_GetGlobalStyle().Scale));
}

void TB_DressDialog(QWidget* dialog) {
    dialog->setPalette(StylePalette());
    TB_Font font(TB_GetGlobalStyle().FontSize);
    dialog->setFont(*static_cast<QFont*>(font.PlatformFont()));
}
