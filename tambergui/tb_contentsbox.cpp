#include "tb_contentsbox.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tb_button.h"
#include "tb_error.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_menupanel.h"

namespace {

TB_Rectangle<float> ToFloat(const TB_Rectangle<int>& r) {
    return TB_Rectangle<float>{static_cast<float>(r.x), static_cast<float>(r.y),
                               static_cast<float>(r.width), static_cast<float>(r.height)};
}

bool Holds(const TB_Rectangle<int>& r, float x, float y) {
    return static_cast<float>(r.x) <= x && x <= static_cast<float>(r.x + r.width) &&
           static_cast<float>(r.y) <= y && y <= static_cast<float>(r.y + r.height);
}

// Folds A to Z only: type-ahead compares key letters, not the whole of Unicode.
tb_char FoldAscii(tb_char c) {
    return c >= u'A' && c <= u'Z' ? static_cast<tb_char>(c - u'A' + u'a') : c;
}

}  // namespace

// ---- item -------------------------------------------------------------------------------

TB_ContentsBoxItem::~TB_ContentsBoxItem() {
    if (Object) {
        Object->Release();
    }
}

void TB_ContentsBoxItem::SetObject(TB_Object* object) {
    if (object) {
        object->AddRef();
    }
    if (Object) {
        Object->Release();
    }
    Object = object;
}

float TB_ContentsBoxItem::TextWidth(TB_Graphics& graphics) {
    TB_Font* before = graphics.Font;
    graphics.Font = Font ? Font : graphics.DefaultFont;
    float width = graphics.MeasureString(Text).x;
    graphics.Font = before;
    return width;
}

void TB_ContentsBoxItem::Paint(TB_Graphics& graphics, const TB_Rectangle<int>& rectangle) {
    TB_SolidBrush brush(Enabled ? TB_GetGlobalStyle().ContentsForeColor
                                : TB_GlobalStyle::Hex(0x404040));
    TB_Font* before = graphics.Font;
    graphics.Font = Font ? Font : graphics.DefaultFont;
    TB_Vector2 size = graphics.MeasureString(Text);
    // A text too long for its row slides left with the offset until its end shows.
    float overflow = size.x + 5 - static_cast<float>(rectangle.width);
    TextOverflows = overflow > 0;
    float shift = overflow <= 0 ? 0 : std::min(overflow, static_cast<float>(TextOffset));
    TB_Brush* brushBefore = graphics.Brush;
    graphics.Brush = &brush;
    graphics.DrawString(Text, TB_Vector2{static_cast<float>(rectangle.x) + 5 - shift,
                                         static_cast<float>(rectangle.y) +
                                             (static_cast<float>(rectangle.height) - size.y) / 2});
    graphics.Brush = brushBefore;
    graphics.Font = before;
}

TB_Rectangle<int> TB_ContentsBoxItem::HitRectangle(const TB_Rectangle<int>& rectangle) {
    TB_Graphics* graphics = TB_GetMeasureGraphics();
    float width = graphics ? TextWidth(*graphics) : 0;
    return TB_Rectangle<int>{rectangle.x, rectangle.y, static_cast<int>(width + 5),
                             rectangle.height};
}

bool TB_ContentsBoxItem::Inspect(TB_IPropertyVisitor& visitor) {
    visitor.WriteString(u"Text", Text);
    visitor.WriteString(u"Tag", Tag);
    visitor.WriteRectangle(u"Rect", ToFloat(Rect));
    visitor.WriteBool(u"Hovered", Hovered);
    visitor.WriteBool(u"Selected", Selected);
    visitor.WriteBool(u"ItemVisible", ItemVisible);
    visitor.WriteRectangle(u"HitRect", ToFloat(HitRectangle(Rect)));
    if (auto* text = dynamic_cast<TB_String*>(Object)) {
        visitor.WriteString(u"Object", *text);
    }
    return true;
}

// ---- box: construction ----------------------------------------------------------------------

TB_ContentsBox::TB_ContentsBox()
    : RowHeight(TB_GetGlobalStyle().ContentsItemHeight),
      ItemFont(new TB_Font(TB_GetGlobalStyle().FontSize)),
      ItemColors{TB_GetGlobalStyle().ContentsBackground, TB_GetGlobalStyle().ContentsBackground},
      ContextMenu(new TB_MenuItemList()),
      m_canvas(new TB_Canvas()),
      m_scroll(new TB_ScrollBar(TB_Orientation::Vertical)),
      m_dropDown(new TB_Button(u"v")) {
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    BackgroundColor = style.ContentsBackground;

    m_canvas->Id = u"ContentsBoxArea";
    m_canvas->BackgroundColor = style.ContentsBackground;
    m_canvas->FocusOnPress = true;  // the keys work on the rows once they were clicked
    m_canvas->TabStop = true;
    m_canvas->Paint.Add(this, &TB_ContentsBox::OnPaintHandler);
    m_canvas->MouseDown.Add(this, &TB_ContentsBox::OnDownHandler);
    m_canvas->MouseMove.Add(this, &TB_ContentsBox::OnMoveHandler);
    m_canvas->MouseUp.Add(this, &TB_ContentsBox::OnUpHandler);
    m_canvas->Click.Add(this, &TB_ContentsBox::OnClickHandler);
    m_canvas->MouseWheel.Add(this, &TB_ContentsBox::OnWheelHandler);
    m_canvas->MouseEnter.Add(this, &TB_ContentsBox::OnEnterHandler);
    m_canvas->MouseLeave.Add(this, &TB_ContentsBox::OnLeaveHandler);
    m_canvas->KeyDown.Add(this, &TB_ContentsBox::OnKeyDownHandler);
    m_canvas->DoubleClick.Add(this, &TB_ContentsBox::OnDoubleClickHandler);

    m_scroll->Id = u"ContentsScroll";
    m_scroll->ValueChanged.Add(this, &TB_ContentsBox::OnScrollChanged);
    m_dropDown->Id = u"ContentsDropDownButton";
    m_dropDown->SetVisible(false);

    AddChild(m_canvas);
    AddChild(m_scroll);
    AddChild(m_dropDown);

    m_hoverTimer = new TB_UiTimer(m_canvas);
    m_hoverTimer->SetInterval(kHoverInterval);
    m_hoverTimer->Tick.Add(this, &TB_ContentsBox::OnHoverTick);
    m_pressTimer = new TB_UiTimer(m_canvas);
    m_pressTimer->SetInterval(kPressInterval);

    m_selectAll = new TB_Action(
        u"All Select", u"All Select",
        std::function<void(TB_EventArg&)>([this](TB_EventArg& arg) { OnSelectAll(arg); }),
        u"Ctrl+A");
    if (!Actions) {
        Actions = new TB_ActionList();
    }
    Actions->Add(m_selectAll);
}

TB_ContentsBox::~TB_ContentsBox() {
    m_hoverTimer->Stop();
    m_hoverTimer->Release();
    m_pressTimer->Stop();
    m_pressTimer->Release();
    Actions->Remove(m_selectAll);
    m_selectAll->Release();
    TB_ReleaseAll(Items);
    ContextMenu->Release();
    ItemFont->Release();
}

void TB_ContentsBox::SetViewMode(tb_int mode) {
    m_viewMode = mode;
    if (mode == TB_ContentsViewMode::List) {
        m_scroll->SetVisible(true);
        m_dropDown->SetVisible(false);
    }
    PerformLayout();
}

void TB_ContentsBox::CreateTopArea() {
    if (m_topArea) {
        return;
    }
    m_topArea = new TB_NativeContainer();
    m_topArea->Id = u"ContentsBoxTopArea";
    m_topArea->Height = TB_GetGlobalStyle().ButtonHeight;
    m_topArea->Width = Width;
    AddChild(m_topArea);
    Children.Remove(m_topArea);  // first, so that it is made and painted before the rows
    Children.Insert(0, m_topArea);
    PerformLayout();
}

// ---- layout ---------------------------------------------------------------------------------

float TB_ContentsBox::CanvasWidth() const {
    return m_canvas->Width;
}

float TB_ContentsBox::CanvasHeight() const {
    return m_canvas->Height;
}

void TB_ContentsBox::PerformLayout() {
    TB_Vector2 client = GetClientSize();
    float t = m_topArea ? m_topArea->Height : 0;
    float b = m_scroll->Width;
    if (m_topArea) {
        m_topArea->SetBounds(0, 0, client.x, t);
    }
    m_canvas->SetBounds(0, t, client.x - b, client.y - t);
    m_scroll->SetBounds(client.x - b, t, b, client.y - t);
    m_dropDown->SetBounds(client.x - b, t, b, client.y - t);
    EnsureLayout();
    UpdateScrollBar();
    m_canvas->Invalidate();
}

tb_int TB_ContentsBox::RowY(tb_int row) const {
    return static_cast<tb_int>(static_cast<double>(BorderWidth) +
                               static_cast<double>(row) * RowHeight);
}

tb_int TB_ContentsBox::RowOf(tb_int index) const {
    auto found = std::lower_bound(m_shown.begin(), m_shown.end(), index);
    return found != m_shown.end() && *found == index ? static_cast<tb_int>(found - m_shown.begin())
                                                     : -1;
}

TB_Rectangle<int> TB_ContentsBox::RowRect(tb_int row) const {
    float e = BorderWidth;
    float r = RowHeight;
    tb_int value = m_scroll->Value;
    tb_int y = row >= 0 ? RowY(row) - value : static_cast<tb_int>(e - r) - value;
    return TB_Rectangle<int>{static_cast<int>(e), y, static_cast<int>(CanvasWidth() - 2 * e),
                             static_cast<int>(r)};
}

TB_ContentsBoxItem* TB_ContentsBox::Prepared(tb_int index) {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    TB_ContentsBoxItem* item = RowItem(index);
    if (!item) {
        return nullptr;
    }
    EnsureLayout();
    item->m_index = index;
    tb_int row = RowOf(index);
    if (m_rowSource) {
        item->ItemVisible = row >= 0;
    }
    item->Rect = RowRect(row);
    item->Selected = index == m_current;
    item->Hovered = index == m_hovered[0] || index == m_hovered[1];
    return item;
}

void TB_ContentsBox::LayoutPass(const ItemPredicate* predicate) {
    bool filtering = predicate && *predicate;
    bool showAll = predicate && !*predicate;
    tb_int count = Count();
    if (!m_rowSource || predicate) {
        m_shown.clear();
        m_shown.reserve(static_cast<size_t>(count));  // one block for the whole list
    }
    if (!m_rowSource) {
        TB_ContentsBoxItem** items = Items.Items();
        for (tb_int i = 0; i < count; ++i) {
            TB_ContentsBoxItem* item = items[i];
            item->m_index = i;
            if (filtering) {
                item->ItemVisible = (*predicate)(item);
            } else if (showAll) {
                item->ItemVisible = true;
            }
            if (item->ItemVisible) {
                m_shown.push_back(i);
            }
        }
    } else if (predicate) {
        for (tb_int i = 0; i < count; ++i) {
            if (!filtering || (*predicate)(RowItem(i))) {
                m_shown.push_back(i);
            }
        }
    }
    m_layoutStale = false;
    UpdateContentHeight();
}

void TB_ContentsBox::UpdateContentHeight() {
    auto rows = static_cast<tb_int>(m_shown.size());
    m_contentHeight = rows > 0 ? RowY(rows - 1) + static_cast<tb_int>(RowHeight) : 0;
}

void TB_ContentsBox::RowsMeeting(float top, float bottom, tb_int value, tb_int& first,
                                 tb_int& last) const {
    auto count = static_cast<tb_int>(m_shown.size());
    first = last = 0;
    auto h = static_cast<tb_int>(RowHeight);
    if (count == 0 || RowHeight <= 0) {
        return;
    }
    // Rows are evenly spaced up to truncation, so arithmetic finds the neighbourhood and the
    // true rectangles settle the ends.
    double guess = (static_cast<double>(value) + top - BorderWidth) / RowHeight;
    auto start = static_cast<tb_int>(std::clamp(std::floor(guess) - 1, 0.0, double(count)));
    while (start > 0 && static_cast<float>(RowY(start - 1) - value + h) >= top) {
        --start;
    }
    while (start < count && static_cast<float>(RowY(start) - value + h) < top) {
        ++start;
    }
    double endGuess = (static_cast<double>(value) + bottom - BorderWidth) / RowHeight;
    auto end =
        static_cast<tb_int>(std::clamp(std::floor(endGuess) + 2, double(start), double(count)));
    while (end > start && static_cast<float>(RowY(end - 1) - value) > bottom) {
        --end;
    }
    while (end < count && static_cast<float>(RowY(end) - value) <= bottom) {
        ++end;
    }
    first = start;
    last = end;
}

void TB_ContentsBox::EnsureLayout() {
    if (m_layoutStale) {
        LayoutPass(nullptr);
        UpdateScrollBar();
    } else {
        tb_int height = m_contentHeight;
        UpdateContentHeight();  // the row height or border may have changed
        if (height != m_contentHeight) {
            UpdateScrollBar();
        }
    }
}

void TB_ContentsBox::Relayout() {
    m_layoutStale = true;
    EnsureLayout();
    UpdateScrollBar();
    m_canvas->Invalidate();
}

void TB_ContentsBox::UpdateScrollBar() {
    if (!IsEnable()) {
        m_scroll->SetEnable(false);
        return;
    }
    auto page = static_cast<tb_int>(CanvasHeight());
    if (static_cast<float>(m_contentHeight) > CanvasHeight()) {
        m_scroll->SetEnable(true);
        bool changed = m_scroll->Max != m_contentHeight || m_scroll->LargeChange != page;
        m_scroll->Max = m_contentHeight;
        m_scroll->LargeChange = page;
        if (m_scroll->Value > m_scroll->Max - m_scroll->LargeChange) {
            m_scroll->SetValue(m_scroll->Max - m_scroll->LargeChange);
        }
        if (changed) {
            m_scroll->Refresh();
        }
    } else {
        m_scroll->SetValue(0);
        bool changed = m_scroll->Max != 0;
        m_scroll->Max = 0;
        m_scroll->SetEnable(false);
        if (changed) {
            m_scroll->Refresh();
        }
    }
}

void TB_ContentsBox::OnScrollChanged(TB_EventArg&) {
    m_canvas->Invalidate();
}

void TB_ContentsBox::SetEnable(bool enable) {
    TB_NativeContainer::SetEnable(enable);
    UpdateScrollBar();
    m_canvas->Invalidate();
}

// ---- items ----------------------------------------------------------------------------------

void TB_ContentsBox::AddItem(TB_ContentsBoxItem* item) {
    // Items in a list always carry an index, so a fresh one needs no search of the list.
    if (!item || m_rowSource || (item->m_index >= 0 && IndexOf(item) >= 0)) {
        return;
    }
    Items.Add(item);
    item->m_index = Items.Count() - 1;
    if (m_layoutStale) {
        EnsureLayout();
    } else if (item->ItemVisible) {
        // Appending adds only the new row, so filling a box costs one pass in all.
        m_shown.push_back(item->m_index);
        UpdateContentHeight();
    }
    UpdateScrollBar();
    m_canvas->Invalidate();
}

void TB_ContentsBox::ClearHovered() {
    m_hovered[0] = m_hovered[1] = -1;
}

void TB_ContentsBox::ForgetRows(tb_int index, tb_int removed) {
    auto shift = [index, removed](tb_int& row) {
        if (row >= index) {
            row = removed < 0 || row < index + removed ? -1 : row - removed;
        }
    };
    tb_int current = m_current;
    shift(m_current);
    shift(m_pressed);
    for (tb_int& press : m_leftPresses) {
        press = -1;
    }
    for (tb_int& hovered : m_hovered) {
        shift(hovered);
    }
    if (current >= 0 && m_current < 0) {
        OnSelectionChanged();
    }
}

void TB_ContentsBox::RemoveItem(TB_ContentsBoxItem* item) {
    tb_int index = m_rowSource ? -1 : IndexOf(item);
    if (index < 0) {
        return;
    }
    TB_Ref<TB_ContentsBox> keep(this);
    Items.RemoveAt(index);
    item->Hovered = false;
    item->Selected = false;
    item->m_index = -1;
    bool wasCurrent = index == m_current;
    if (wasCurrent) {
        m_current = -1;  // raised below, once the list is whole again
    }
    ForgetRows(index, 1);
    Relayout();
    if (wasCurrent) {
        OnSelectionChanged();
    }
}

void TB_ContentsBox::ClearItems(bool release) {
    TB_Ref<TB_ContentsBox> keep(this);
    ForgetRows(0, -1);
    for (TB_ContentsBoxItem* item : Items) {
        item->Selected = false;
        item->Hovered = false;
        item->m_index = -1;
        if (release) {
            item->Release();
        }
    }
    Items.Clear();
    m_rowSource = false;
    m_rowCount = 0;
    m_shown.clear();
    Relayout();
    AccessibleChanged(TB_AccessibleChange::Items);
}

void TB_ContentsBox::SetRowCount(tb_int count) {
    ClearItems(true);
    m_rowSource = true;
    m_rowCount = std::max<tb_int>(0, count);
    m_shown.resize(static_cast<size_t>(m_rowCount));
    for (tb_int i = 0; i < m_rowCount; ++i) {
        m_shown[static_cast<size_t>(i)] = i;
    }
    m_layoutStale = false;
    UpdateContentHeight();
    UpdateScrollBar();
    m_canvas->Invalidate();
    AccessibleChanged(TB_AccessibleChange::Items);
}

void TB_ContentsBox::ShowRows(const std::vector<uint8_t>& shown) {
    tb_int count = Count();
    m_shown.clear();
    for (tb_int i = 0; i < count; ++i) {
        if (static_cast<size_t>(i) < shown.size() && shown[static_cast<size_t>(i)]) {
            m_shown.push_back(i);
        }
    }
    if (!m_rowSource) {
        for (tb_int i = 0; i < count; ++i) {
            Items[i]->ItemVisible = static_cast<size_t>(i) < shown.size() && shown[i] != 0;
        }
    }
    m_layoutStale = false;
    UpdateContentHeight();
    AccessibleChanged(TB_AccessibleChange::Items);
    UpdateScrollBar();
    m_canvas->Invalidate();
}

void TB_ContentsBox::Filter(const ItemPredicate& predicate) {
    LayoutPass(&predicate);
    AccessibleChanged(TB_AccessibleChange::Items);
    UpdateScrollBar();
    m_canvas->Invalidate();
}

TB_ContentsBoxItem* TB_ContentsBox::Find(const ItemPredicate& predicate) {
    if (!predicate) {
        return nullptr;
    }
    for (tb_int i = 0; i < Count(); ++i) {
        if (predicate(RowItem(i))) {
            return Prepared(i);
        }
    }
    return nullptr;
}

TB_ContentsBoxItem* TB_ContentsBox::ItemAt(tb_int index) {
    return Prepared(index);
}

tb_int TB_ContentsBox::IndexOf(const TB_ContentsBoxItem* item) {
    if (!item) {
        return -1;
    }
    // The position it was last handed out or laid out at, when nothing has moved it since.
    tb_int known = item->m_index;
    if (m_rowSource) {
        return known >= 0 && known < m_rowCount && RowItem(known) == item ? known : -1;
    }
    if (known >= 0 && known < Items.Count() && Items[known] == item) {
        return known;
    }
    return Items.IndexOf(const_cast<TB_ContentsBoxItem*>(item));
}

tb_int TB_ContentsBox::IndexOfText(const TB_String& text) {
    for (tb_int i = 0; i < Count(); ++i) {
        if (RowItem(i)->Text.Equals(text)) {
            return i;
        }
    }
    return -1;
}

// ---- selection ------------------------------------------------------------------------------

void TB_ContentsBox::SelectIndex(tb_int index) {
    if (index >= Count()) {
        TB_Error::Report(2, 1, u"out of bounds", TB_SOURCE_NAME, __LINE__);
        return;
    }
    index = std::max<tb_int>(index, -1);
    if (index == m_current) {
        return;
    }
    TB_Ref<TB_ContentsBox> keep(this);  // a handler may release the box
    if (!m_rowSource && m_current >= 0) {
        Items[m_current]->Selected = false;
    }
    m_current = index;
    if (!m_rowSource && m_current >= 0) {
        Items[m_current]->Selected = true;
    }
    EnsureCurrentVisible();
    OnSelectionChanged();
    m_canvas->Invalidate();
    tb_int row = m_current >= 0 ? RowOf(m_current) : -1;
    AccessibleChanged(TB_AccessibleChange::Selection, row);
    if (m_canvas->Focused) {
        AccessibleChanged(TB_AccessibleChange::Focus, row);  // the row a reader reads out
    }
}

void TB_ContentsBox::SelectItem(TB_ContentsBoxItem* item) {
    tb_int index = IndexOf(item);
    if (item && index < 0) {
        return;
    }
    SelectIndex(index);
}

void TB_ContentsBox::EnsureCurrentVisible() {
    ScrollIntoView(m_current);
}

void TB_ContentsBox::EnsureIndexVisible(tb_int index) {
    ScrollIntoView(index);
}

void TB_ContentsBox::ScrollIntoView(tb_int index) {
    if (index < 0 || index >= Count()) {
        return;
    }
    EnsureLayout();
    // A filtered-out item has no row to show; scrolling for it would only jump to the top.
    tb_int row = RowOf(index);
    if (row < 0) {
        return;
    }
    TB_Rectangle<int> rect = RowRect(row);
    TB_Rectangle<int> inner{rect.x + 2, rect.y + 2, rect.width - 5, rect.height - 5};
    if (inner.x >= 0 && inner.y >= 0 &&
        static_cast<float>(inner.x + inner.width) <= CanvasWidth() &&
        static_cast<float>(inner.y + inner.height) <= CanvasHeight()) {
        return;
    }
    tb_int64 target =
        static_cast<tb_int64>(m_scroll->Value) + rect.y - static_cast<tb_int>(RowHeight / 2);
    target =
        std::min<tb_int64>(target, static_cast<tb_int64>(m_scroll->Max) - m_scroll->LargeChange);
    m_scroll->SetValue(
        static_cast<int>(std::max<tb_int64>(target, std::numeric_limits<int>::min())));
}

void TB_ContentsBox::DescribeAccessible(TB_AccessibleInfo& info) {
    TB_NativeContainer::DescribeAccessible(info);
    info.Role = TB_AccessibleRole::List;
    info.Focusable = true;
    info.Focused = m_canvas->Focused;
}

tb_int TB_ContentsBox::AccessibleItemCount() {
    return static_cast<tb_int>(ShownIndices().size());
}

void TB_ContentsBox::DescribeAccessibleItem(tb_int index, TB_AccessibleInfo& info) {
    const std::vector<tb_int>& shown = ShownIndices();
    if (index < 0 || index >= static_cast<tb_int>(shown.size())) {
        return;
    }
    TB_ContentsBoxItem* item = Prepared(shown[static_cast<size_t>(index)]);
    item->DescribeAccessible(info);
    info.Focused = item->m_index == m_current && m_canvas->Focused;
    const TB_Rectangle<int>& r = item->Rect;
    TB_Vector2 corner =
        m_canvas->ClientToScreen(TB_Vector2{static_cast<float>(r.x), static_cast<float>(r.y)});
    info.Bounds = {corner.x, corner.y, static_cast<float>(r.width), static_cast<float>(r.height)};
}

bool TB_ContentsBox::DoAccessibleAction(tb_int item) {
    const std::vector<tb_int>& shown = ShownIndices();
    if (item < 0 || item >= static_cast<tb_int>(shown.size())) {
        return false;
    }
    SelectIndex(shown[static_cast<size_t>(item)]);
    return true;
}

bool TB_ContentsBox::ActivateAccessibleItem(tb_int item) {
    if (!DoAccessibleAction(item)) {
        return false;
    }
    TB_Ref<TB_ContentsBox> keep(this);  // a handler may release the box
    TB_EventArg activated;
    ItemActivated.Fire(activated);
    return true;
}

TB_Rectangle<int> TB_ContentsBox::ItemRectangle(tb_int index) {
    if (index < 0 || index >= Count()) {
        return TB_Rectangle<int>{};
    }
    EnsureLayout();
    return RowRect(RowOf(index));
}

void TB_ContentsBox::GetSelectedItems(TB_List<TB_ContentsBoxItem*>& list) {
    if (TB_ContentsBoxItem* current = GetCurrent()) {
        list.Add(current);
    }
}

void TB_ContentsBox::OnSelectAll(TB_EventArg&) {
    m_canvas->Invalidate();  // one item at most is ever selected
}

// ---- pointer --------------------------------------------------------------------------------

tb_int TB_ContentsBox::IndexAtPoint(float x, float y) {
    EnsureLayout();
    tb_int first = 0, last = 0;
    RowsMeeting(y, y, m_scroll->Value, first, last);
    for (tb_int row = first; row < last; ++row) {
        if (Holds(RowRect(row), x, y)) {
            return m_shown[static_cast<size_t>(row)];
        }
    }
    return -1;
}

TB_ContentsBoxItem* TB_ContentsBox::ItemAtPoint(float x, float y) {
    return Prepared(IndexAtPoint(x, y));
}

void TB_ContentsBox::OnDownHandler(TB_MouseEventArg& arg) {
    TB_Ref<TB_ContentsBox> keep(this);
    m_pressed = -1;
    tb_int index = IndexAtPoint(arg.X, arg.Y);
    if (arg.Left) {
        m_leftPresses[0] = m_leftPresses[1];
        m_leftPresses[1] = index;
    }
    if (index >= 0) {
        SelectIndex(index);
        // A handler of the selection may have changed the rows.
        if (arg.Left && index < Count()) {
            m_pressed = index;
        }
    }
    m_pressPoint = TB_Vector2{arg.X, arg.Y};
    m_pressTimer->Start();
}

void TB_ContentsBox::OnMoveHandler(TB_MouseEventArg& arg) {
    TB_Ref<TB_ContentsBox> keep(this);
    if (m_pressed < 0) {
        EnsureLayout();
        ClearHovered();
        tb_int first = 0, last = 0;
        RowsMeeting(arg.Y, arg.Y, m_scroll->Value, first, last);
        size_t hovered = 0;
        for (tb_int row = first; row < last && hovered < 2; ++row) {
            if (!Holds(RowRect(row), arg.X, arg.Y)) {
                continue;
            }
            tb_int index = m_shown[static_cast<size_t>(row)];
            m_hovered[hovered++] = index;
            if (index != m_hoveredIndex && m_textScrolling) {
                m_scrollTick = 0;  // a newly hovered text starts sliding from its start
            }
            m_hoveredIndex = index;
            m_canvas->SetToolTip(Prepared(index)->ToolTipText());
        }
        if (hovered == 0) {
            m_canvas->SetToolTip(TB_String());
        }
    } else {
        float dx = arg.X - m_pressPoint.x;
        float dy = arg.Y - m_pressPoint.y;
        if (std::sqrt(dx * dx + dy * dy) > kDragDistance) {
            StartDrag();
        }
    }
    m_canvas->Invalidate();
}

void TB_ContentsBox::StartDrag() {
    TB_Ref<TB_ContentsBoxItem> item(Prepared(m_pressed));
    m_pressed = -1;  // whatever the outcome, this press has had its drag
    if (!item) {
        return;
    }
    TB_List<TB_DropData*> data;
    item->GetDropData(data);
    if (data.Count() > 0) {
        auto width = static_cast<tb_int>(Width);
        auto height = static_cast<tb_int>(RowHeight);
        if (width > 0 && height > 0) {
            auto* image = new TB_NativeBitmap(width, height);
            {
                auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(image));
                item->Paint(*graphics, TB_Rectangle<int>{0, 0, width, height});
            }
            if (data[0]->DragImage) {
                data[0]->DragImage->Release();
            }
            data[0]->DragImage = image;  // the drop data takes the count
        }
        TB_Ref<TB_ContentsBox> keep(this);  // the drag runs a loop of its own
        tb_uint effect = 0;
        m_canvas->StartDrag(&data, 1, &effect);
    }
    TB_ReleaseAll(data);
}

void TB_ContentsBox::OnUpHandler(TB_MouseEventArg&) {
    m_pressed = -1;
    m_pressTimer->Stop();
    m_canvas->Invalidate();
}

TB_Frame* TB_ContentsBox::OwningFrame() {
    for (TB_Widget* w = Parent; w; w = w->Parent) {
        if (auto* frame = dynamic_cast<TB_Frame*>(w)) {
            return frame;
        }
    }
    return nullptr;
}

void TB_ContentsBox::OnClickHandler(TB_MouseEventArg& arg) {
    if (!arg.Right || ContextMenu->Items.IsEmpty()) {
        return;
    }
    if (TB_Frame* frame = OwningFrame()) {
        frame->ShowPopup(new TB_MenuPanel(ContextMenu), m_canvas, TB_Vector2{arg.X, arg.Y}, 0);
    }
}

void TB_ContentsBox::OnWheelHandler(TB_MouseEventArg& arg) {
    m_scroll->OnMouseWheel(arg);
}

void TB_ContentsBox::OnEnterHandler(TB_EventArg&) {
    m_scrollTick = 0;  // the painting starts the slide when a hovered text needs it
}

void TB_ContentsBox::OnLeaveHandler(TB_EventArg&) {
    m_hoverTimer->Stop();
    m_scrollTick = 0;
    ClearHovered();
    m_canvas->Invalidate();
}

void TB_ContentsBox::OnHoverTick(TB_EventArg&) {
    ++m_scrollTick;
    m_canvas->Invalidate();
}

// ---- keys ---------------------------------------------------------------------------------

tb_int TB_ContentsBox::RowAfterCurrent(bool& onRow) {
    // A hidden current item keeps its place in list order: the rows around it count.
    auto after = std::lower_bound(m_shown.begin(), m_shown.end(), m_current);
    onRow = m_current >= 0 && after != m_shown.end() && *after == m_current;
    return static_cast<tb_int>(after - m_shown.begin()) + (onRow ? 1 : 0);
}

tb_int TB_ContentsBox::ShownRow(tb_int steps, bool wrap) {
    tb_int shown = static_cast<tb_int>(m_shown.size());
    bool onRow = false;
    tb_int after = RowAfterCurrent(onRow);
    // From a row, one step down is the row after it; from a hidden item it is that row itself.
    tb_int row = after - 1 + steps + (!onRow && steps < 0 ? 1 : 0);
    if (wrap) {
        row %= shown;
        return row < 0 ? row + shown : row;
    }
    return std::clamp(row, 0, shown - 1);
}

tb_int TB_ContentsBox::StepShown(tb_int steps) {
    EnsureLayout();
    if (m_shown.empty()) {
        return -1;
    }
    return m_shown[static_cast<size_t>(ShownRow(steps, true))];
}

tb_int TB_ContentsBox::RowsPerPage() {
    return std::max(1, static_cast<int>(CanvasHeight() / std::max(1.0f, RowHeight)) - 1);
}

void TB_ContentsBox::OnKeyDownHandler(TB_KeyEventArg& arg) {
    EnsureLayout();
    tb_int shown = static_cast<tb_int>(m_shown.size());
    // Keys with Ctrl or Alt belong to the owner's shortcuts.
    if (m_current < 0 || shown == 0 || arg.Alt || arg.Control) {
        return;
    }
    tb_int key = arg.KeyCode;
    if (key == TB_VK_RETURN) {
        arg.Handled = true;
        TB_EventArg activated;
        ItemActivated.Fire(activated);
        return;
    }
    tb_int row = -1;
    if (key == TB_VK_DOWN || key == TB_VK_RIGHT) {
        row = ShownRow(1, true);
    } else if (key == TB_VK_UP || key == TB_VK_LEFT) {
        row = ShownRow(-1, true);
    } else if (key == TB_VK_HOME) {
        row = 0;
    } else if (key == TB_VK_END) {
        row = shown - 1;
    } else if (key == TB_VK_NEXT) {
        row = ShownRow(RowsPerPage(), false);
    } else if (key == TB_VK_PRIOR) {
        row = ShownRow(-RowsPerPage(), false);
    } else if ((key >= TB_VK_A && key <= TB_VK_A + 25) || (key >= TB_VK_0 && key <= TB_VK_0 + 9)) {
        tb_char wanted = FoldAscii(static_cast<tb_char>(key));
        bool onRow = false;
        tb_int start = RowAfterCurrent(onRow);
        for (tb_int step = 0; step < shown; ++step) {
            tb_int at = (start + step) % shown;
            const TB_String& text = RowItem(m_shown[static_cast<size_t>(at)])->TypeAheadText();
            if (text.Length() > 0 && FoldAscii(text[0]) == wanted) {
                row = at;
                break;
            }
        }
    } else {
        return;
    }
    arg.Handled = true;
    if (row >= 0) {
        SelectIndex(m_shown[static_cast<size_t>(row)]);
    }
}

void TB_ContentsBox::OnDoubleClickHandler(TB_MouseEventArg& arg) {
    if (arg.Left && m_current >= 0 && m_leftPresses[0] == m_current &&
        m_leftPresses[1] == m_current) {
        TB_EventArg activated;
        ItemActivated.Fire(activated);
    }
}

const std::vector<tb_int>& TB_ContentsBox::ShownIndices() {
    EnsureLayout();
    return m_shown;
}

tb_int TB_ContentsBox::FirstRowInView() {
    EnsureLayout();
    tb_int first = 0, last = 0;
    // From the first pixel row: a row that only touches the top edge is not in view.
    RowsMeeting(1, CanvasHeight(), m_scroll->Value, first, last);
    return first;
}

void TB_ContentsBox::ScrollRowToTop(tb_int row) {
    EnsureLayout();
    if (row < 0 || row >= static_cast<tb_int>(m_shown.size())) {
        return;
    }
    // No further than the last page, as the bar's own input goes.
    m_scroll->SetValue(
        std::max(m_scroll->Min,
                 std::min(RowY(row), static_cast<tb_int>(m_scroll->Max - m_scroll->LargeChange))));
}

// ---- painting -------------------------------------------------------------------------------

void TB_ContentsBox::OnPaintHandler(TB_PaintEventArg& arg) {
    TB_Ref<TB_ContentsBox> keep(this);
    if (BeforePaint) {
        BeforePaint();
    }
    TB_Graphics& g = *arg.Graphics;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    bool enabled = IsEnable();
    g.Clear(enabled ? style.ContentsBackground : TB_GlobalStyle::Hex(0x101010));
    EnsureLayout();
    float height = CanvasHeight();
    tb_int first = 0, last = 0;
    RowsMeeting(0, height, m_scroll->Value, first, last);
    TB_Brush* brushBefore = g.Brush;
    TB_Pen* penBefore = g.Pen;
    tb_int painted = 0;
    // The slide's timer runs only while a hovered text is too long for its row: resting
    // the pointer over the list costs nothing otherwise.
    bool slides = false;
    for (tb_int row = first; row < last; ++row) {
        TB_ContentsBoxItem* item = Prepared(m_shown[static_cast<size_t>(row)]);
        const TB_Rectangle<int>& rect = item->Rect;
        if (static_cast<float>(rect.y) >= height || rect.y + rect.height <= 0) {
            continue;  // touches the canvas's edge only
        }
        item->Enabled = enabled;
        item->ViewMode = m_viewMode;
        item->Font = ItemFont;
        TB_Rectangle<float> area = ToFloat(rect);
        g.PushClip(area);
        const TB_Color& fill = item->Selected && item->Hovered
                                   ? style.ContentsSelectedHoverBackground
                               : item->Selected ? style.ContentsSelectedBackground
                               : item->Hovered  ? style.ContentsHoverBackground
                                                : ItemColors[painted % 2];
        TB_SolidBrush brush(fill);
        g.Brush = &brush;
        g.Pen = nullptr;
        g.DrawRectangle(area);
        g.Brush = brushBefore;
        g.Pen = penBefore;
        if (m_textScrolling) {
            item->TextOffset = item->Hovered ? m_scrollTick : 0;
        }
        item->Paint(g, rect);
        slides = slides || (item->Hovered && item->TextOverflows);
        g.PopClip();
        ++painted;
    }
    if (AfterPaint) {
        AfterPaint(g, TB_Rectangle<float>{0, 0, CanvasWidth(), height});
    }
    if (!(m_textScrolling && slides)) {
        m_hoverTimer->Stop();
    } else if (!m_hoverTimer->Running) {
        m_hoverTimer->Start();
    }
    if (BorderWidth > 0) {
        TB_Pen pen(enabled ? style.ContentsBorder : style.ContentsDisabledBorder, BorderWidth);
        g.Pen = &pen;
        g.Brush = nullptr;
        g.DrawRectangle(TB_Rectangle<float>{0, 0, CanvasWidth() - 1, height - 1});
    }
    if (m_canvas->ShowsFocusRing()) {
        TB_NativeWidget::DrawFocusRing(g, TB_Rectangle<float>{0, 0, CanvasWidth(), height});
    }
    g.Brush = brushBefore;
    g.Pen = penBefore;
}

// ---- inspection -----------------------------------------------------------------------------

bool TB_ContentsBox::Inspect(TB_IPropertyVisitor& visitor) {
    TB_NativeContainer::Inspect(visitor);
    EnsureLayout();
    visitor.WriteInt2(u"ItemSize", static_cast<tb_int>(CanvasWidth() - 2 * BorderWidth),
                      static_cast<tb_int>(RowHeight));
    m_scroll->Inspect(visitor.BeginList(u"Scroll").AddItem());
    // A report shows every rectangle as of now, the far rows too.
    TB_IPropertyVisitor& list = visitor.BeginList(u"Items");
    for (tb_int i = 0; i < Count(); ++i) {
        Prepared(i)->Inspect(list.AddItem());
    }
    return true;
}
