#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "tb_canvas.h"
#include "tb_menu.h"
#include "tb_nativecontainer.h"
#include "tb_scrollbar.h"
#include "tb_uitimer.h"

class TB_Button;
class TB_Frame;

// How a contents box arranges its items; list (one row per item) is the only mode built.
namespace TB_ContentsViewMode {
enum : tb_int { None = 0, List = 1 };
}

// One entry of a contents box. The box lays it out, copies its own state into it before it
// paints it, and calls the paint, hit rectangle and drop data hooks, which subclasses override
// to draw richer rows and to offer their own data when the item is dragged out.
class TB_ContentsBoxItem : public TB_Object, public TB_IInspectable {
public:
    TB_ContentsBoxItem() = default;
    explicit TB_ContentsBoxItem(const TB_String& text) : Text(text) {}
    ~TB_ContentsBoxItem() override;

    // Draws the item into its row; the box has filled the row's background and clipped to it.
    // The base draws Text on one line, sliding left by TextOffset when it is too long.
    virtual void Paint(TB_Graphics& graphics, const TB_Rectangle<int>& rectangle);
    // The part of the row that answers the pointer: the base takes the text's width plus 5.
    virtual TB_Rectangle<int> HitRectangle(const TB_Rectangle<int>& rectangle);
    // Appends what a drag of this item carries, handing one count of each to the list. The base
    // adds nothing, so plain items cannot be dragged.
    virtual void GetDropData(TB_List<TB_DropData*>& list) { (void)list; }
    // What a typed letter is matched against: what the row shows first. The base takes Text.
    virtual const TB_String& TypeAheadText() { return Text; }
    // What the pointer resting on the row shows; the text by default.
    virtual TB_String ToolTipText() { return Text; }
    // A list item named by its text; rows that know more say it.
    virtual void DescribeAccessible(TB_AccessibleInfo& info) {
        info.Role = TB_AccessibleRole::ListItem;
        info.Name = Text;
        info.Selectable = true;
        info.Selected = Selected;
    }
    // "Text", "Tag", "Rect", "Hovered", "Selected", "ItemVisible", "HitRect", and "Object" when
    // the attached object is a string.
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    // Holds one count of the object (null detaches) and lets go of the previous one.
    void SetObject(TB_Object* object);

    TB_String Text;  // also the tooltip and the type-ahead key
    TB_String Tag;
    TB_Object* Object = nullptr;  // one count held
    // In the canvas's coordinates, with Hovered and Selected: written by the box whenever it
    // hands the item out (ItemAt, the current item, painting, hits, inspection).
    TB_Rectangle<int> Rect{0, 0, 0, 0};
    bool Hovered = false;
    bool Selected = false;
    // Copies of the box's state, made when the item is painted.
    bool Enabled = true;
    tb_int TextOffset = 0;
    // Set by Paint: the text is wider than the room it has, so hovering it slides it.
    bool TextOverflows = false;
    tb_int ViewMode = TB_ContentsViewMode::List;
    TB_Font* Font = nullptr;  // not counted; the box's item font
    // Whether the item passes the box's filter; only such items are laid out, drawn and hit.
    // After changing it directly, call the box's Relayout.
    bool ItemVisible = true;

protected:
    // The text's width in the item's font (or the default one), for the base paint and hit
    // rectangle.
    float TextWidth(TB_Graphics& graphics);

private:
    friend class TB_ContentsBox;
    tb_int m_index = -1;  // position in the box's list (the row it was last made for)
};

// A scrolling list of items: a canvas that shows them in rows and takes the pointer and the
// keys, a vertical scroll bar, and an optional strip above for the owner's controls. One item
// at most is current; pressing on an item selects it, the arrow keys move the selection among
// the shown items (with wrap-around), Home, End and the page keys jump, and a letter or digit
// jumps to the next shown item starting with it. Enter, or a double click whose two presses
// hit one row, raises ItemActivated. A press that moves more than 3 pixels drags the item out.
//
// The cost of painting, scrolling and pointer hits follows the visible rows only: rows are
// found by their position, never by walking the items. Only a filter walks them all.
//
// The rows come from the box's own items, or from the owner's data (SetRowCount): then no
// item is kept per row, and RowItem hands out one that stands for the row asked for.
class TB_ContentsBox : public TB_NativeContainer {
public:
    using ItemPredicate = std::function<bool(TB_ContentsBoxItem*)>;

    TB_ContentsBox();
    ~TB_ContentsBox() override;

    // Top area, canvas and scroll bar over the client area; then the rows and the scroll bar.
    void PerformLayout() override;
    void SetEnable(bool enable) override;
    // The widget's properties and children, then "ItemSize", "Scroll" and "Items".
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    // List mode shows the scroll bar and hides the drop-down button.
    void SetViewMode(tb_int mode);
    tb_int GetViewMode() const { return m_viewMode; }
    // Makes the strip above the rows once (button height high) as the first child.
    void CreateTopArea();

    // Takes over the caller's count.
    virtual void AddItem(TB_ContentsBoxItem* item);
    // Hands the box's count back to the caller; a current item is unselected first.
    virtual void RemoveItem(TB_ContentsBoxItem* item);
    // Unselects, then empties the list, releasing the items when asked (the caller takes over
    // their counts otherwise).
    virtual void ClearItems(bool release);
    // ItemVisible = predicate(item) for every item, laid out in the same pass; an empty
    // predicate shows all.
    virtual void Filter(const ItemPredicate& predicate);
    virtual void ShowAll() { Filter(ItemPredicate()); }
    virtual TB_ContentsBoxItem* Find(const ItemPredicate& predicate);
    virtual TB_ContentsBoxItem* ItemAt(tb_int index);
    virtual tb_int IndexOf(const TB_ContentsBoxItem* item);
    virtual tb_int IndexOfText(const TB_String& text);
    virtual TB_ContentsBoxItem* GetCurrent() { return ItemAt(m_current); }
    virtual tb_int Count() { return m_rowSource ? m_rowCount : Items.Count(); }
    virtual tb_int CurrentIndex() { return m_current; }
    // The list index of the shown item `steps` rows from the current one (negative: up),
    // wrapping among shown items; from a hidden or no current item, counted from its place
    // in list order. -1 when nothing is shown.
    tb_int StepShown(tb_int steps);
    // Below 0 unselects; at or past the count reports "out of bounds" and changes nothing.
    virtual void SelectIndex(tb_int index);
    // Null unselects; an item not in the list is ignored. A new current item is scrolled into
    // view and raises SelectionChanged.
    virtual void SelectItem(TB_ContentsBoxItem* item);
    // Scrolls so that the current row is wholly shown, half a row below the top.
    virtual void EnsureCurrentVisible();
    virtual void EnsureIndexVisible(tb_int index);
    // The item's rectangle after laying out; empty for an index out of range.
    virtual TB_Rectangle<int> ItemRectangle(tb_int index);
    // A list whose items are the rows the filter shows, described only when asked.
    void DescribeAccessible(TB_AccessibleInfo& info) override;
    tb_int AccessibleItemCount() override;
    void DescribeAccessibleItem(tb_int index, TB_AccessibleInfo& info) override;
    bool DoAccessibleAction(tb_int item) override;
    // Selects the row and raises ItemActivated.
    bool ActivateAccessibleItem(tb_int item) override;
    // The list indices of the shown rows in order, and the first row in view (its position
    // there).
    const std::vector<tb_int>& ShownIndices();
    tb_int FirstRowInView();
    // Scrolls so that the shown row is the first in view (as far as the list goes).
    void ScrollRowToTop(tb_int row);
    virtual void GetSelectedItems(TB_List<TB_ContentsBoxItem*>& list);
    virtual tb_int SelectedCount() { return m_current >= 0 ? 1 : 0; }
    virtual void OnSelectionChanged() {
        TB_EventArg arg;
        OnSelectionChanged(arg);
    }
    virtual void OnSelectionChanged(TB_EventArg& arg) { SelectionChanged.Fire(arg); }
    virtual void OnItemOrderChanged() {
        TB_EventArg arg;
        OnItemOrderChanged(arg);
    }
    virtual void OnItemOrderChanged(TB_EventArg& arg) { ItemOrderChanged.Fire(arg); }
    virtual void OnMultiSelectionChanged() {
        TB_EventArg arg;
        OnMultiSelectionChanged(arg);
    }
    virtual void OnMultiSelectionChanged(TB_EventArg& arg) { MultiSelectionChanged.Fire(arg); }

    // Lays every item out again now (after ItemVisible, RowHeight or BorderWidth changed),
    // updates the scroll bar and repaints.
    void Relayout();
    // The first visible item whose rectangle holds the canvas point (edges included), or null;
    // its index, or -1.
    TB_ContentsBoxItem* ItemAtPoint(float x, float y);
    tb_int IndexAtPoint(float x, float y);
    // Switches the sliding of hovered long texts on or off.
    void SetTextScrolling(bool on) { m_textScrolling = on; }
    bool IsTextScrolling() const { return m_textScrolling; }
    tb_int GetScrollTick() const { return m_scrollTick; }
    tb_int GetHoveredIndex() const { return m_hoveredIndex; }
    TB_ContentsBoxItem* GetPressedItem() { return ItemAt(m_pressed); }
    tb_int GetContentHeight() const { return m_contentHeight; }
    // The rows' canvas, scroll bar, hidden drop-down button and top strip (null until made).
    TB_Canvas* GetCanvas() const { return m_canvas; }
    TB_ScrollBar* GetScrollBar() const { return m_scroll; }
    TB_Button* GetDropDownButton() const { return m_dropDown; }
    TB_NativeContainer* GetTopArea() const { return m_topArea; }
    const TB_UiTimer* GetHoverTimer() const { return m_hoverTimer; }
    const TB_UiTimer* GetPressTimer() const { return m_pressTimer; }

    TB_List<TB_ContentsBoxItem*> Items;  // one count held on each
    float BorderWidth = 0;               // frame line width and row inset
    float RowHeight;
    TB_Font* ItemFont;  // owned
    TB_Color ItemColors[2];
    std::function<void()> BeforePaint;
    // Runs after the rows are painted, with the canvas's area (to draw over the rows, or in
    // place of them when none are shown).
    std::function<void(TB_Graphics&, const TB_Rectangle<float>&)> AfterPaint;
    TB_MenuItemList* ContextMenu;  // owned; the owner fills it

    TB_Event<TB_EventArg> SelectionChanged;
    TB_Event<TB_EventArg> ItemOrderChanged;
    TB_Event<TB_EventArg> MultiSelectionChanged;
    // The current item was asked for: Enter on the rows, or a double click on one row.
    TB_Event<TB_EventArg> ItemActivated;

    static constexpr tb_int kHoverInterval = 30;   // milliseconds per pixel of text sliding
    static constexpr tb_int kPressInterval = 100;  // milliseconds
    static constexpr float kDragDistance = 3;      // a drag starts beyond this many pixels

protected:
    // Rows drawn from the owner's data: count rows, all shown, none current, and no item kept
    // for any of them (the box's own items are released). Filter, ItemAt and the painting
    // then ask RowItem.
    void SetRowCount(tb_int count);
    // Shows the rows whose flag is set (one per row, in list order); laid out in one pass.
    void ShowRows(const std::vector<uint8_t>& shown);
    // The item standing for the row: the box's own, or, for rows from the owner's data, one
    // the owner fills for it (and may fill again for the next row asked for).
    virtual TB_ContentsBoxItem* RowItem(tb_int index) {
        return m_rowSource ? nullptr : Items[index];
    }

private:
    void OnPaintHandler(TB_PaintEventArg& arg);
    void OnDownHandler(TB_MouseEventArg& arg);
    void OnMoveHandler(TB_MouseEventArg& arg);
    void OnUpHandler(TB_MouseEventArg& arg);
    void OnClickHandler(TB_MouseEventArg& arg);
    void OnWheelHandler(TB_MouseEventArg& arg);
    void OnEnterHandler(TB_EventArg&);
    void OnLeaveHandler(TB_EventArg&);
    void OnKeyDownHandler(TB_KeyEventArg& arg);
    void OnDoubleClickHandler(TB_MouseEventArg& arg);
    tb_int RowsPerPage();
    // The shown row just after the current item (its own row + 1 when it is shown), and
    // whether it is shown; call after EnsureLayout.
    tb_int RowAfterCurrent(bool& onRow);
    // The shown row `steps` away from the current item, wrapping or stopping at the ends;
    // at least one row must be shown.
    tb_int ShownRow(tb_int steps, bool wrap);
    void OnScrollChanged(TB_EventArg&);
    void OnHoverTick(TB_EventArg&);
    void OnSelectAll(TB_EventArg&);

    // Gathers the shown rows again when something made them stale, and brings the content
    // height up to the row geometry.
    void EnsureLayout();
    // The one pass over the items, applying the predicate first when there is one.
    void LayoutPass(const ItemPredicate* predicate);
    void UpdateContentHeight();
    void UpdateScrollBar();
    // The rows [first, last) whose rectangles meet the canvas band [top, bottom] at value.
    void RowsMeeting(float top, float bottom, tb_int value, tb_int& first, tb_int& last) const;
    tb_int RowY(tb_int row) const;
    // The shown row of the list index, -1 when it is not shown.
    tb_int RowOf(tb_int index) const;
    // The rectangle of a shown row (-1: where hidden items lie, above the first).
    TB_Rectangle<int> RowRect(tb_int row) const;
    // The item for the index with its rectangle, hover and selection written; null outside.
    TB_ContentsBoxItem* Prepared(tb_int index);
    float CanvasWidth() const;
    float CanvasHeight() const;
    void ClearHovered();
    // Scrolls a visible item's row wholly into view, half a row below the top.
    void ScrollIntoView(tb_int index);
    void StartDrag();
    TB_Frame* OwningFrame();
    // Forgets the current, pressed and hovered rows at or past index (all with -1), after
    // rows went; the current one raises SelectionChanged.
    void ForgetRows(tb_int index, tb_int removed);

    tb_int m_viewMode = TB_ContentsViewMode::None;
    TB_Canvas* m_canvas;
    TB_ScrollBar* m_scroll;
    TB_Button* m_dropDown;
    TB_NativeContainer* m_topArea = nullptr;
    TB_UiTimer* m_hoverTimer;
    TB_UiTimer* m_pressTimer;
    TB_Action* m_selectAll;
    // Rows by list index; -1 for none.
    tb_int m_current = -1;
    tb_int m_pressed = -1;
    // The rows under the last two left presses: a double click counts on one row only.
    tb_int m_leftPresses[2] = {-1, -1};
    tb_int m_hovered[2] = {-1, -1};  // a shared edge holds two
    TB_Vector2 m_pressPoint{0, 0};
    tb_int m_hoveredIndex = -1;
    bool m_textScrolling = false;
    tb_int m_scrollTick = 0;
    tb_int m_contentHeight = 0;
    bool m_rowSource = false;  // rows from the owner's data
    tb_int m_rowCount = 0;

    // The list indices of the shown rows, ascending, and whether they need gathering again.
    std::vector<tb_int> m_shown;
    bool m_layoutStale = true;
};
