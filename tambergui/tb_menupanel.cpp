#include "tb_menupanel.h"

#include <algorithm>
#include <cmath>

#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_message.h"
#include "tb_screen.h"

namespace {

float Ceil(float value) {
    return value > 0 ? std::ceil(value) : value;
}

bool IsCommand(TB_MenuItem* item) {
    return item->Type == TB_MenuItemType::Button || item->Type == TB_MenuItemType::CheckItem;
}

}  // namespace

// The style's text size, which the GUI size has scaled, as the rows' heights are.
TB_MenuPanel::TB_MenuPanel(TB_MenuItemList* items)
    : Font(new TB_Font(TB_GetGlobalStyle().FontSize)) {
    if (items) {
        for (TB_MenuItem* item : items->Items) {
            Items.Add(item);
            item->Hovered = false;
        }
    }
    BackgroundColor = TB_GetGlobalStyle().MenuBackground;
    Paint.Add(this, &TB_MenuPanel::OnPaintHandler);
    MouseMove.Add(this, &TB_MenuPanel::OnMouseMoveHandler);
    MouseUp.Add(this, &TB_MenuPanel::OnMouseUpHandler);
    MouseLeave.Add(this, &TB_MenuPanel::OnMouseLeaveHandler);
    LostFocus.Add(this, &TB_MenuPanel::OnLostFocusHandler);
    KeyDown.Add(this, &TB_MenuPanel::OnKeyDownHandler);
    Closing.Add(this, &TB_MenuPanel::OnClosingHandler);
    LayoutItems();
}

TB_MenuPanel::~TB_MenuPanel() {
    CloseSubMenu();
    Font->Release();
}

float TB_MenuPanel::ItemHeight(TB_MenuItem* item) const {
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    return item->Type == TB_MenuItemType::Separator ? 2 * style.MenuPaddingY : style.MenuItemHeight;
}

void TB_MenuPanel::LayoutItems() {
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    float h = style.MenuPaddingX, v = style.MenuPaddingY, itemHeight = style.MenuItemHeight;
    float left = style.MenuShortcutMargin;  // the column of check marks
    float tw = 0, sw = 0;
    if (TB_Graphics* g = TB_GetMeasureGraphics()) {
        TB_Font* before = g->Font;
        g->Font = Font;
        for (TB_MenuItem* item : Items) {
            if (!item->Visible || item->Type == TB_MenuItemType::Separator) {
                continue;
            }
            tw = std::max(tw, g->MeasureString(item->GetText()).x);
            if (!item->GetShortcutText().IsEmpty()) {
                sw = std::max(sw, g->MeasureString(item->GetShortcutText()).x);
            }
        }
        g->Font = before;
    }
    ShortcutColumnX = h + tw + 40;
    float e = tw + itemHeight * 0.6f + (sw > 0 ? sw + 40 * style.Scale : 0);
    float y = v;
    for (TB_MenuItem* item : Items) {
        if (!item->Visible) {
            continue;
        }
        float itemH = ItemHeight(item);
        item->ItemRect = TB_Rectangle<float>{2 * h + left, y, e, itemH};
        y += itemH;
    }
    SetSize(Ceil(left + h + e + 2 * h), Ceil(v + y));
}

void TB_MenuPanel::Create() {
    if (Window) {
        return;
    }
    // Kept inside the work area that holds its corner: moved left, then up, as needed.
    TB_Rectangle<int> area;
    if (TB_FindWorkArea(TB_Vector2{X, Y}, area)) {
        float right = static_cast<float>(area.x + area.width);
        float bottom = static_cast<float>(area.y + area.height);
        if (Width < area.width && X + Width > right) {
            X = std::max(X - (X + Width - right), static_cast<float>(area.x));
        }
        if (Height < area.height && Y + Height > bottom) {
            Y -= Y + Height - bottom;
        }
    }
    Visible = false;
    CreateNativeWindow(TB_Platform::WindowKind::Popup);
    if (!Window) {
        return;
    }
    SetEnable(Enable);
    IsCreated = true;
    Visible = true;
    TB_GetPlatform().ShowWindow(Window, 1);
    TB_GetPlatform().UpdateWindow(Window);
}

bool TB_MenuPanel::IsActive() {
    if (ContainsFocus() || (Window && TB_GetPlatform().GetActiveWindow() == Window)) {
        return true;
    }
    return SubMenuPanel && SubMenuPanel->IsActive();
}

bool TB_MenuPanel::Inspect(TB_IPropertyVisitor& visitor) {
    TB_Canvas::Inspect(visitor);
    visitor.WriteReal(u"FontSize", Font->Points());
    TB_IPropertyVisitor& list = visitor.BeginList(u"Items");
    for (TB_MenuItem* item : Items) {
        item->Inspect(list.AddItem());
    }
    return true;
}

TB_Frame* TB_MenuPanel::OwningFrame() {
    for (TB_Widget* w = Parent; w; w = w->Parent) {
        if (auto* frame = dynamic_cast<TB_Frame*>(w)) {
            return frame;
        }
    }
    return nullptr;
}

void TB_MenuPanel::OnPaintHandler(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    TB_Rectangle<float> client = GetClientRectangle();
    float h = style.MenuPaddingX, itemHeight = style.MenuItemHeight;
    float left = style.MenuShortcutMargin;
    g.Clear(BackgroundColor);
    g.Font = Font;
    TB_SolidBrush hover(style.MenuHighlight);
    TB_SolidBrush enabledText(style.MenuFontColor);
    // The border's colour is too faint for text on the menu's ground; the style's colour
    // for disabled button text is chosen to be read.
    TB_SolidBrush disabledText(style.ButtonDisabledFontColor);
    TB_Pen frame(style.MenuBorderColor, 1);
    for (TB_MenuItem* item : Items) {
        if (!item->Visible) {
            continue;
        }
        const TB_Rectangle<float>& r = item->ItemRect;
        if (item->Type == TB_MenuItemType::Separator) {
            float m = r.y + r.height * 0.5f;
            g.Pen = &frame;
            g.DrawLine(TB_Vector2{std::min(r.x, 1e6f), m},
                       TB_Vector2{std::min(r.x + r.width, 1e6f), m});
            g.Pen = nullptr;
            continue;
        }
        if (item->Hovered) {
            g.Brush = &hover;
            g.Pen = nullptr;
            g.DrawRectangle(TB_Rectangle<float>{h, r.y, client.width - 2 * h, r.height});
        }
        TB_SolidBrush* text = item->IsEnabled() ? &enabledText : &disabledText;
        g.Brush = text;
        g.Pen = nullptr;  // marks and triangles are filled only, with no outline
        float textHeight = g.MeasureString(item->GetText()).y;
        float ty = r.y + (r.height - textHeight) * 0.5f;
        g.DrawString(item->GetText(), TB_Vector2{r.x, ty});
        if (!item->GetShortcutText().IsEmpty()) {
            g.DrawString(item->GetShortcutText(), TB_Vector2{ShortcutColumnX, ty});
        }
        if (item->Type == TB_MenuItemType::CheckItem &&
            static_cast<TB_MenuCheckBox*>(item)->Checked) {
            static const float kMark[5][2] = {
                {0.3f, 0.25f}, {0.4f, 0.6f}, {1.0f, 0.0f}, {0.4f, 1.0f}, {0.05f, 0.5f}};
            float bx = h + 4, by = r.y + 4, bw = left - 8, bh = r.height - 8;
            g.BeginPath(TB_Vector2{bx + kMark[0][0] * bw, by + kMark[0][1] * bh});
            for (int i = 1; i < 5; ++i) {
                g.LineTo(TB_Vector2{bx + kMark[i][0] * bw, by + kMark[i][1] * bh});
            }
            g.ClosePath();
            g.FillAndStroke();
        }
        if (item->Type == TB_MenuItemType::SubMenu) {
            float right = r.x + r.width, m = r.y + r.height * 0.5f;
            g.BeginPath(TB_Vector2{right - itemHeight * 0.3f, m});
            g.LineTo(TB_Vector2{right - itemHeight * 0.5f, m - itemHeight * 0.15f});
            g.LineTo(TB_Vector2{right - itemHeight * 0.5f, m + itemHeight * 0.15f});
            g.ClosePath();
            g.FillAndStroke();
        }
        g.Brush = nullptr;
    }
    g.Brush = nullptr;
    g.Pen = &frame;
    g.DrawRectangle(TB_Rectangle<float>{client.x, client.y, client.width - 1, client.height - 1});
    g.Pen = nullptr;
}

bool TB_MenuPanel::Selectable(TB_MenuItem* item) {
    return item->Visible && item->Type != TB_MenuItemType::Separator && item->IsEnabled();
}

void TB_MenuPanel::OnMouseMoveHandler(TB_MouseEventArg& arg) {
    TB_Rectangle<float> client = GetClientRectangle();
    TB_MenuItem* hovered = nullptr;
    for (TB_MenuItem* item : Items) {
        item->Hovered = false;
    }
    for (TB_MenuItem* item : Items) {
        const TB_Rectangle<float>& r = item->ItemRect;
        if (Selectable(item) && arg.X >= 0 && arg.X <= client.width && arg.Y >= r.y &&
            arg.Y <= r.y + r.height) {
            hovered = item;
            break;
        }
    }
    if (hovered) {
        hovered->Hovered = true;
    }
    if (hovered && hovered->Type == TB_MenuItemType::SubMenu) {
        OpenSubMenu(hovered);
    } else {
        CloseSubMenu();
    }
    Invalidate();
}

void TB_MenuPanel::OnMouseLeaveHandler(TB_EventArg&) {
    for (TB_MenuItem* item : Items) {
        item->Hovered = false;
    }
    Invalidate();
}

void TB_MenuPanel::OpenSubMenu(TB_MenuItem* item) {
    if (item == SubMenuItem) {
        return;
    }
    CloseSubMenu();
    SubMenuItem = item;
    auto* panel = new TB_MenuPanel(static_cast<TB_MenuSubMenuItem*>(item)->Items);
    const TB_Rectangle<float>& r = item->ItemRect;
    TB_Vector2 position = ClientToScreen(TB_Vector2{r.x + r.width, r.y});
    TB_Rectangle<int> area;
    if (TB_FindWorkArea(position, area) && position.x + panel->Width > area.x + area.width) {
        position = ClientToScreen(TB_Vector2{r.x - panel->Width, r.y});
    }
    panel->SetPosition(position);
    panel->Parent = this;  // not a child: a top-level window of its own
    SubMenuPanel = panel;
    panel->Create();
}

void TB_MenuPanel::CloseSubMenu() {
    if (!SubMenuPanel) {
        SubMenuItem = nullptr;
        return;
    }
    TB_MenuPanel* panel = SubMenuPanel;
    SubMenuPanel = nullptr;
    SubMenuItem = nullptr;
    panel->CloseSubMenu();
    panel->Close();
    panel->Parent = nullptr;
    panel->Release();
}

void TB_MenuPanel::CloseSelf() {
    if (auto* parent = dynamic_cast<TB_MenuPanel*>(Parent);
        parent && parent->SubMenuPanel == this) {
        parent->CloseSubMenu();
        return;
    }
    TB_Frame* frame = OwningFrame();
    if (frame && frame->Popup == this) {
        frame->ClosePopup();
    } else {
        Close();
    }
}

TB_MenuItem* TB_MenuPanel::AccessibleItem(tb_int index) {
    for (TB_MenuItem* item : Items) {
        if (item->Visible && item->Type != TB_MenuItemType::Separator && index-- == 0) {
            return item;
        }
    }
    return nullptr;
}

void TB_MenuPanel::DescribeAccessible(TB_AccessibleInfo& info) {
    TB_Canvas::DescribeAccessible(info);
    info.Role = TB_AccessibleRole::Menu;
}

tb_int TB_MenuPanel::AccessibleItemCount() {
    tb_int count = 0;
    while (AccessibleItem(count)) {
        ++count;
    }
    return count;
}

void TB_MenuPanel::DescribeAccessibleItem(tb_int index, TB_AccessibleInfo& info) {
    TB_MenuItem* item = AccessibleItem(index);
    if (!item) {
        return;
    }
    info.Role = TB_AccessibleRole::MenuItem;
    info.Name = item->GetText();
    info.Shortcut = item->GetShortcutText();
    info.Selectable = true;
    info.Selected = item->Hovered;
    info.Unavailable = !item->IsEnabled() && item->Type != TB_MenuItemType::SubMenu;
    if (auto* check = dynamic_cast<TB_MenuCheckBox*>(item)) {
        info.Checkable = true;
        info.Checked = check->Checked;
    }
    TB_Vector2 corner = ClientToScreen(TB_Vector2{item->ItemRect.x, item->ItemRect.y});
    info.Bounds = {corner.x, corner.y, item->ItemRect.width, item->ItemRect.height};
}

bool TB_MenuPanel::DoAccessibleAction(tb_int index) {
    TB_MenuItem* item = AccessibleItem(index);
    if (!item) {
        return false;
    }
    if (item->Type == TB_MenuItemType::SubMenu) {
        OpenSubMenu(item);
    } else if (item->IsEnabled()) {
        ExecuteItem(item);
    }
    return true;
}

void TB_MenuPanel::ExecuteItem(TB_MenuItem* item) {
    TB_Ref<TB_MenuPanel> keep(this);  // the command may release the menu
    TB_Ref<TB_MenuItem> keepItem(item);
    // The whole chain closes first, as the click ends the menu; the command then runs with
    // the main window active again.
    TB_MenuPanel* root = this;
    while (auto* parent = dynamic_cast<TB_MenuPanel*>(root->Parent)) {
        root = parent;
    }
    TB_Ref<TB_MenuPanel> keepRoot(root);
    item->Execute();
    TB_Frame* frame = root->OwningFrame();
    if (frame && frame->Popup == root && root->IsCreated) {
        frame->ClosePopup();
    }
}

void TB_MenuPanel::OnMouseUpHandler(TB_MouseEventArg&) {
    for (TB_MenuItem* item : Items) {
        if (item->Visible && IsCommand(item) && item->IsEnabled() && item->Hovered) {
            ExecuteItem(item);
            return;  // (the panel may now be closed)
        }
    }
}

void TB_MenuPanel::OnLostFocusHandler(TB_EventArg&) {
    TB_Frame* frame = OwningFrame();
    if (!frame || !frame->Popup) {
        return;
    }
    auto* root = dynamic_cast<TB_MenuPanel*>(frame->Popup);
    if (!root || !root->IsActive()) {
        frame->ClosePopup();
    }
}

// The platform closes a popup on a press outside it: the frame's bookkeeping must see that.
void TB_MenuPanel::OnClosingHandler(TB_ClosingEventArg& arg) {
    arg.Cancel = true;
    CloseSelf();
}

void TB_MenuPanel::MoveHover(int step) {
    int count = Items.Count();
    int current = -1;
    for (int i = 0; i < count; ++i) {
        if (Items[i]->Hovered) {
            current = i;
        }
        Items[i]->Hovered = false;
    }
    for (int n = 1; n <= count; ++n) {
        int base = current >= 0 ? current : (step > 0 ? -1 : count);
        int index = ((base + step * n) % count + count) % count;
        if (Selectable(Items[index])) {
            Items[index]->Hovered = true;
            // A reader follows the keys through the menu.
            tb_int shown = 0;
            for (int i = 0; i < index; ++i) {
                shown += Items[i]->Visible && Items[i]->Type != TB_MenuItemType::Separator;
            }
            AccessibleChanged(TB_AccessibleChange::Focus, shown);
            break;
        }
    }
    Invalidate();
}

void TB_MenuPanel::OnKeyDownHandler(TB_KeyEventArg& arg) {
    TB_MenuItem* hovered = nullptr;
    for (TB_MenuItem* item : Items) {
        if (item->Hovered && Selectable(item)) {
            hovered = item;
        }
    }
    switch (arg.KeyCode) {
        case TB_VK_ESCAPE:
            arg.Handled = true;
            CloseSelf();  // the innermost menu first
            return;
        case TB_VK_DOWN:
        case TB_VK_UP:
            arg.Handled = true;
            MoveHover(arg.KeyCode == TB_VK_DOWN ? 1 : -1);
            return;
        case TB_VK_RIGHT:
            if (hovered && hovered->Type == TB_MenuItemType::SubMenu) {
                arg.Handled = true;
                OpenSubMenu(hovered);
                if (SubMenuPanel) {
                    SubMenuPanel->MoveHover(1);
                }
            }
            return;
        case TB_VK_LEFT:
            if (dynamic_cast<TB_MenuPanel*>(Parent)) {
                arg.Handled = true;
                CloseSelf();
            }
            return;
        case TB_VK_RETURN:
            arg.Handled = true;
            if (hovered && IsCommand(hovered)) {
                ExecuteItem(hovered);
            } else if (hovered && hovered->Type == TB_MenuItemType::SubMenu) {
                OpenSubMenu(hovered);
                if (SubMenuPanel) {
                    SubMenuPanel->MoveHover(1);
                }
            }
            return;
        default:
            return;
    }
}
