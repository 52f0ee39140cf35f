#pragma once

#include "tb_action.h"
#include "tb_inspectable.h"
#include "tb_list.h"
#include "tb_rectangle.h"

namespace TB_MenuItemType {
enum : tb_int { Button = 0, CheckItem = 1, SubMenu = 2, Separator = 3 };
}

class TB_MenuItem;

class TB_IMenuItemList : public TB_IInspectable {
public:
    // Appends the item, taking over the caller's count.
    virtual void Add(TB_MenuItem* item) = 0;
};

// The items of a menu in insertion order; owns them.
class TB_MenuItemList : public TB_Object, public TB_IMenuItemList {
public:
    ~TB_MenuItemList() override { TB_ReleaseAll(Items); }
    void Add(TB_MenuItem* item) override;
    // Reports nothing.
    bool Inspect(TB_IPropertyVisitor&) override { return true; }

    TB_List<TB_MenuItem*> Items;
};

// One entry of a menu; the panel that shows it sets Hovered and ItemRect.
class TB_MenuItem : public TB_Object, public TB_IInspectable {
public:
    explicit TB_MenuItem(tb_int type) : Type(type) {}

    virtual const TB_String& GetText() = 0;
    virtual const TB_String& GetShortcutText();
    virtual void Execute() = 0;
    virtual bool IsEnabled() { return false; }
    virtual void SetEnabled(bool) {}
    // "Type", "Hovered", "Visible", "ItemRect", "Enable", then "Text" (and "Checked").
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    tb_int Type;
    bool Hovered = false;
    TB_Rectangle<float> ItemRect{0, 0, 0, 0};
    bool Visible = true;
};

// A command: runs its action (or fires Clicked without one).
class TB_MenuButton : public TB_MenuItem {
public:
    // With register set, the action joins the global action list, so its shortcut works
    // anywhere.
    explicit TB_MenuButton(TB_Action* action, bool registerGlobally = false);
    explicit TB_MenuButton(const TB_String& text);

    const TB_String& GetText() override { return Action ? Action->Caption : Text; }
    const TB_String& GetShortcutText() override {
        return Action ? Action->ShortcutText : ShortcutText;
    }
    void Execute() override;
    bool IsEnabled() override { return Action ? Action->IsEnabled() : Enabled; }
    void SetEnabled(bool enabled) override { Enabled = enabled; }

    TB_Action* Action = nullptr;  // not owned
    TB_Event<TB_EventArg> Clicked;
    TB_String Text;
    TB_String ShortcutText;
    bool Enabled = true;

protected:
    TB_MenuButton(tb_int type, TB_Action* action) : TB_MenuItem(type), Action(action) {}
};

// A command with a check mark that inverts before the command runs.
class TB_MenuCheckBox : public TB_MenuButton {
public:
    explicit TB_MenuCheckBox(TB_Action* action);
    void Execute() override;
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    bool Checked = false;
};

// An item that opens a further menu beside it.
class TB_MenuSubMenuItem : public TB_MenuItem, public TB_IMenuItemList {
public:
    explicit TB_MenuSubMenuItem(const TB_String& text);
    ~TB_MenuSubMenuItem() override;

    const TB_String& GetText() override { return Text; }
    void Execute() override {}
    bool IsEnabled() override { return Enabled; }
    void SetEnabled(bool enabled) override { Enabled = enabled; }
    void Add(TB_MenuItem* item) override { Items->Add(item); }
    bool Inspect(TB_IPropertyVisitor& visitor) override { return TB_MenuItem::Inspect(visitor); }

    TB_String Text;
    TB_MenuItemList* Items;  // owned
    bool Enabled = true;
};

class TB_MenuSeparator : public TB_MenuItem {
public:
    TB_MenuSeparator() : TB_MenuItem(TB_MenuItemType::Separator) {}
    const TB_String& GetText() override;
    void Execute() override {}
};
