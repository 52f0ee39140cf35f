#include "tb_textbox.h"

#include <string>

#include "tb_action.h"
#include "tb_actionlist.h"
#include "tb_globalstyle.h"
#include "tb_message.h"

TB_TextBox::TB_TextBox() : TB_TextBox(false, false) {}

TB_TextBox::TB_TextBox(bool password, bool readOnly) {
    Options.Password = password;
    Options.ReadOnly = readOnly;
    Height = static_cast<float>(TB_GetGlobalStyle().TextFieldHeight);
    TabStop = true;
    AcceptsTextInput = true;
}

TB_TextBox::~TB_TextBox() {
    for (TB_Action*& action : m_actions) {
        if (action) {
            if (Actions) {
                Actions->Remove(action);
            }
            action->Release();
            action = nullptr;
        }
    }
    if (Font) {
        Font->Release();
    }
}

void TB_TextBox::Create() {
    if (Window) {
        TB_NativeWidget::Create();
        return;
    }
    // Typed keys become text here, and focusing the box leaves the input method open.
    AcceptsTextInput = true;
    TB_Platform& platform = TB_GetPlatform();
    TB_NativeWidget* parent = NativeParent();
    TB_Rectangle<int> bounds{static_cast<int>(X), static_cast<int>(Y), static_cast<int>(Width),
                             static_cast<int>(Height)};
    platform.CreateLineEdit(this, parent ? parent->Window : nullptr, bounds, Text, Options.Password,
                            Options.ReadOnly, Visible);
    if (!Window) {
        return;  // no control: the widget stays without a window
    }
    ImeWindow = Window;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    BackgroundColor = Options.ReadOnly ? style.StaticBackground : style.EditBackground;
    TextColor = Options.ReadOnly ? style.StaticTextColor : style.EditTextColor;
    platform.SetLineEditColors(Window, BackgroundColor, TextColor);
    if (!Font) {
        Font = new TB_Font(style.FontSize);
    }
    platform.SetLineEditFont(Window, Font->GetHandle(nullptr));

    if (!m_actions[0]) {
        struct Entry {
            const char16_t* Id;
            const char16_t* Shortcut;
            TB_Platform::EditCommand Command;
        };
        const Entry entries[4] = {
            {u"Copy", u"Ctrl+C", TB_Platform::EditCommand::Copy},
            {u"Paste", u"Ctrl+V", TB_Platform::EditCommand::Paste},
            {u"Cut", u"Ctrl+X", TB_Platform::EditCommand::Cut},
            {u"All Select", u"Ctrl+A", TB_Platform::EditCommand::SelectAll},
        };
        for (int i = 0; i < 4; ++i) {
            TB_Platform::EditCommand command = entries[i].Command;
            m_actions[i] = new TB_Action(
                entries[i].Id, entries[i].Id, [this, command](TB_EventArg&) { Command(command); },
                entries[i].Shortcut);
        }
    }
    if (!Actions) {
        Actions = new TB_ActionList();
    }
    for (TB_Action* action : m_actions) {
        Actions->Add(action);
    }

    SetEnable(Enable);
    IsCreated = true;
    if (Visible) {
        platform.ShowWindow(Window, 1);
    }
    platform.UpdateWindow(Window);
}

void TB_TextBox::Command(TB_Platform::EditCommand command) {
    if (Window) {
        TB_GetPlatform().LineEditCommand(Window, command);
    }
}

void TB_TextBox::Cut() {
    Command(TB_Platform::EditCommand::Cut);
}
void TB_TextBox::Copy() {
    Command(TB_Platform::EditCommand::Copy);
}
void TB_TextBox::Paste() {
    Command(TB_Platform::EditCommand::Paste);
}
void TB_TextBox::SelectAll() {
    Command(TB_Platform::EditCommand::SelectAll);
}

void TB_TextBox::OnTabFocus() {
    SelectAll();
}

void TB_TextBox::ApplyText() {
    if (Window) {
        TB_GetPlatform().SetLineEditText(Window, Text);
    }
}

bool TB_TextBox::WindowProc(TB_WindowHandle window, tb_uint message, tb_uint64 wParam,
                            tb_int64 lParam, tb_int64& result) {
    switch (message) {
        // The control's own business: characters, key releases, composition, the pointer.
        // The text box fires no pointer events.
        case TB_WM_KEYUP:
        case TB_WM_SYSKEYUP:
        case TB_WM_CHAR:
        case TB_WM_IME_STARTCOMPOSITION:
        case TB_WM_IME_SETCONTEXT:
        case TB_WM_MOUSEMOVE:
        case TB_WM_LBUTTONDOWN:
        case TB_WM_LBUTTONUP:
        case TB_WM_RBUTTONDOWN:
        case TB_WM_RBUTTONUP:
        case TB_WM_MBUTTONDOWN:
        case TB_WM_MBUTTONUP:
        case TB_WM_XBUTTONDOWN:
        case TB_WM_XBUTTONUP:
        case TB_WM_MOUSEWHEEL:
        case TB_WM_MOUSELEAVE:
            return false;
        case TB_WM_COMMAND: {
            tb_int id = static_cast<tb_int>(TB_LowWord(wParam));
            if (id == (ControlId & 0xFFFF) &&
                OnCommand(window, message, wParam, lParam, result, id)) {
                result = 0;
                return true;
            }
            return false;
        }
        default:
            return TB_NativeWidget::WindowProc(window, message, wParam, lParam, result);
    }
}

bool TB_TextBox::OnCommand(TB_WindowHandle, tb_uint, tb_uint64 wParam, tb_int64, tb_int64&,
                           tb_int) {
    if (TB_HighWord(wParam) != TB_EN_UPDATE) {
        return false;
    }
    TB_Ref<TB_TextBox> keep(this);  // a handler may release the box
    Text = TB_GetPlatform().GetLineEditText(Window);
    OnTextChanged();
    return true;
}

TB_String TB_TextBox::DisplayText() const {
    if (!Options.Password) {
        return Text;
    }
    std::u16string bullets;
    for (tb_int i = 0; i < Text.Length(); ++i) {
        char16_t c = Text[i];
        if (c < 0xDC00 || c > 0xDFFF) {  // the second half of a pair is no character of its own
            bullets += u'\u25CF';
        }
    }
    return TB_String(bullets.c_str(), static_cast<tb_int>(bullets.size()));
}

bool TB_TextBox::Inspect(TB_IPropertyVisitor& visitor) {
    visitor.WriteString(TB_String(u"ID"), Id);
    visitor.WriteString(TB_String(u"Text"), DisplayText());
    visitor.WriteColor(TB_String(u"BackgroundColor"), GetBackgroundColor());
    visitor.WriteRectangle(TB_String(u"Bounds"), GetBounds());
    visitor.WriteBool(TB_String(u"Focus"), IsFocused());
    visitor.WriteBool(TB_String(u"Visible"), IsVisible());
    visitor.WriteBool(TB_String(u"Enable"), IsEnable());
    visitor.WriteBool(TB_String(u"Password"), Options.Password);
    visitor.WriteBool(TB_String(u"ReadOnly"), Options.ReadOnly);
    visitor.WriteColor(TB_String(u"TextColor"), TextColor);
    return true;
}
