#pragma once

#include "tb_canvas.h"
#include "tb_menu.h"

class TB_Frame;

// Shows a menu: a borderless top-level window of one column of items that follows the
// pointer, opens submenus beside their items (to the left at the screen's right edge) and
// runs the clicked item. It is shown as its frame's popup and closes when the pointer is
// pressed outside it, on Escape, or when its frame loses activation. The keyboard moves
// through it too: Up and Down, Right and Left into and out of submenus, Enter runs.
class TB_MenuPanel : public TB_Canvas {
public:
    // The item list must outlive the panel; the panel copies the pointers.
    explicit TB_MenuPanel(TB_MenuItemList* items);
    ~TB_MenuPanel() override;

    void Create() override;
    // Lays the items out in one column and sizes the panel to them.
    virtual void LayoutItems();
    // The panel or one of its open submenus has the pointer's and keyboard's attention.
    virtual bool IsActive();
    virtual void Dismiss() { OnClosed(); }
    virtual void OnClosed() {
        TB_EventArg arg;
        OnClosed(arg);
    }
    virtual void OnClosed(TB_EventArg& arg) { Closed.Fire(arg); }
    // The widget's properties, then "FontSize" (points) and "Items".
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    // A menu whose items are its commands and submenus; an item's action runs it or opens it.
    void DescribeAccessible(TB_AccessibleInfo& info) override;
    tb_int AccessibleItemCount() override;
    void DescribeAccessibleItem(tb_int index, TB_AccessibleInfo& info) override;
    bool DoAccessibleAction(tb_int item) override;

    // Closes the open submenu, if there is one.
    void CloseSubMenu();
    // The first frame up the Parent chain.
    TB_Frame* OwningFrame();

    float ShortcutColumnX = 0;
    TB_Font* Font;  // owned
    TB_List<TB_MenuItem*> Items;
    TB_MenuPanel* SubMenuPanel = nullptr;  // one count held
    TB_MenuItem* SubMenuItem = nullptr;
    TB_Event<TB_EventArg> Closed;

private:
    // The index-th item that is shown and is no separator.
    TB_MenuItem* AccessibleItem(tb_int index);

    void OnPaintHandler(TB_PaintEventArg& arg);
    void OnMouseMoveHandler(TB_MouseEventArg& arg);
    void OnMouseUpHandler(TB_MouseEventArg& arg);
    void OnMouseLeaveHandler(TB_EventArg&);
    void OnLostFocusHandler(TB_EventArg&);
    void OnKeyDownHandler(TB_KeyEventArg& arg);
    void OnClosingHandler(TB_ClosingEventArg& arg);
    void OpenSubMenu(TB_MenuItem* item);
    // Runs the item and closes the menu it belongs to.
    void ExecuteItem(TB_MenuItem* item);
    // Closes this panel: the frame's popup for the first panel, the parent's submenu else.
    void CloseSelf();
    bool Selectable(TB_MenuItem* item);
    void MoveHover(int step);
    float ItemHeight(TB_MenuItem* item) const;
};
