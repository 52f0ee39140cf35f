#include "tb_menu.h"

#include "tb_actionlist.h"
#include "tb_gui.h"

namespace {

const TB_String& EmptyText() {
    static const TB_String empty;
    return empty;
}

}  // namespace

void TB_MenuItemList::Add(TB_MenuItem* item) {
    if (item) {
        Items.Add(item);
    }
}

const TB_String& TB_MenuItem::GetShortcutText() {
    return EmptyText();
}

bool TB_MenuItem::Inspect(TB_IPropertyVisitor& visitor) {
    visitor.WriteInt(u"Type", Type);
    visitor.WriteBool(u"Hovered", Hovered);
    visitor.WriteBool(u"Visible", Visible);
    visitor.WriteRectangle(u"ItemRect", ItemRect);
    visitor.WriteBool(u"Enable", IsEnabled());
    if (Type != TB_MenuItemType::Separator) {
        visitor.WriteString(u"Text", GetText());
    }
    return true;
}

TB_MenuButton::TB_MenuButton(TB_Action* action, bool registerGlobally)
    : TB_MenuItem(TB_MenuItemType::Button), Action(action) {
    if (registerGlobally && action && TB_GetGlobalActions()) {
        TB_GetGlobalActions()->Add(action);
    }
}

TB_MenuButton::TB_MenuButton(const TB_String& text)
    : TB_MenuItem(TB_MenuItemType::Button), Text(text) {}

void TB_MenuButton::Execute() {
    if (Action) {
        Action->Execute();
    } else {
        TB_EventArg arg;
        Clicked.Fire(arg);
    }
}

TB_MenuCheckBox::TB_MenuCheckBox(TB_Action* action)
    : TB_MenuButton(TB_MenuItemType::CheckItem, action) {}

void TB_MenuCheckBox::Execute() {
    Checked = !Checked;
    TB_MenuButton::Execute();
}

bool TB_MenuCheckBox::Inspect(TB_IPropertyVisitor& visitor) {
    TB_MenuItem::Inspect(visitor);
    visitor.WriteBool(u"Checked", Checked);
    return true;
}

TB_MenuSubMenuItem::TB_MenuSubMenuItem(const TB_String& text)
    : TB_MenuItem(TB_MenuItemType::SubMenu), Text(text), Items(new TB_MenuItemList()) {}

TB_MenuSubMenuItem::~TB_MenuSubMenuItem() {
    Items->Release();
}

const TB_String& TB_MenuSeparator::GetText() {
    return EmptyText();
}
