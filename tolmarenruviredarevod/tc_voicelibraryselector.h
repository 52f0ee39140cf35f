#pragma once

#include "tb_canvas.h"
#include "tb_popuppanel.h"
#include "tb_scrollbar.h"
#include "tb_svg.h"
#include "tc_thumbnailcache.h"
#include "tc_voicelibrary.h"

class TC_VoiceLibrarySelectorPopup;

// The drop-down field that shows the current library; a click opens the list of all libraries
// (TC_VoiceLibrarySelectorPopup) and the row chosen there becomes current.
class TC_VoiceLibrarySelector : public TB_Canvas {
public:
    TC_VoiceLibrarySelector();
    ~TC_VoiceLibrarySelector() override;

    // Keeps the list (not owned; it must outlive its use here or be replaced). A current
    // library is first dropped with an event carrying none; then the list's first library,
    // if any, becomes current with its own event.
    void SetLibraries(TB_List<TC_VoiceLibrary*>* libs);
    // The list kept was changed in place (a library added): it is drawn again and the current
    // library stays, without an event.
    void LibrariesChanged();
    TC_VoiceLibrary* GetLibrary() const { return Library; }
    // A combo box whose value is the current library's name; its items are the libraries,
    // the current one selected, and choosing one makes it current as the drop-down would.
    void DescribeAccessible(TB_AccessibleInfo& info) override;
    tb_int AccessibleItemCount() override { return Libs ? Libs->Count() : 0; }
    void DescribeAccessibleItem(tb_int index, TB_AccessibleInfo& info) override;
    bool DoAccessibleAction(tb_int item) override;
    // Raises LibraryChanged when the library differs from the current one.
    void SetLibrary(TC_VoiceLibrary* library);
    // What a click does: shows the popup below the selector and returns when it has closed.
    // Nothing happens without a list or when the list is empty.
    void OpenPopup();
    // The open popup, null while none is shown.
    TC_VoiceLibrarySelectorPopup* GetPopup() const { return m_popup; }
    // Scaled thumbnails shared by the popups of this selector.
    TC_ThumbnailCache& Thumbnails() { return m_thumbnails; }
    // The library's thumbnail scaled to the size (null without one); the built-in picture,
    // dark on white, is inverted on a dark ground so that it does not glare.
    TB_NativeBitmap* Thumbnail(TC_VoiceLibrary* library, tb_int width, tb_int height);

    virtual void OnLibraryChanged(TC_VoiceLibraryEventArg& arg) { LibraryChanged.Fire(arg); }
    // The widget's properties, then "Libs" (each library's properties) and "Library" (the
    // current library's name, or null).
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    TB_List<TC_VoiceLibrary*>* Libs = nullptr;  // not owned
    TC_VoiceLibrary* Library = nullptr;         // not counted
    TB_Font* Font;                              // owned
    TB_SvgRenderer CaretIcon;
    tb_int BorderWidth = 0;
    TB_Event<TC_VoiceLibraryEventArg> LibraryChanged;
    // Raised once the popup is on the screen (tests and tools drive it from here).
    TB_Event<TB_EventArg> PopupShown;

private:
    // Says when the current library's folder is missing.
    void UpdateToolTip();
    void RaiseChanged(tb_int kind = 0);
    void OnPaintHandler(TB_PaintEventArg& arg);
    void OnClickHandler(TB_MouseEventArg&) { OpenPopup(); }
    void OnResizedHandler(TB_EventArg&) { Invalidate(); }

    TC_VoiceLibrarySelectorPopup* m_popup = nullptr;
    TC_ThumbnailCache m_thumbnails;
};

// The modal list of the selector: every library followed by its sub-libraries, indented by
// depth, each with its thumbnail. It writes its row data (index, depth, hovered and chosen
// flags, rectangle) into the library objects; they are read only while it is open.
class TC_VoiceLibrarySelectorPopup : public TB_PopupPanel {
public:
    // Lays the rows out for the selector's width; the selector's current library is chosen.
    TC_VoiceLibrarySelectorPopup(TC_VoiceLibrarySelector* owner, TB_List<TC_VoiceLibrary*>* libs);
    ~TC_VoiceLibrarySelectorPopup() override;

    TC_VoiceLibrary* GetChosen() const { return m_chosen; }
    TB_Canvas* GetCanvas() const { return m_canvas; }
    TB_ScrollBar* GetScrollBar() const { return m_scroll; }
    bool IsScrolling() const { return m_scrolling; }
    tb_int GetRowHeight() const { return m_rowHeight; }
    const TB_List<TC_VoiceLibrary*>& GetRows() const { return m_rows; }
    // The row under a point of the canvas, or null.
    TC_VoiceLibrary* RowAt(float x, float y);

    // The widget's properties, then "Scroll" (the scroll value) and "Items", each with
    // "Selected", "Text", "Tag" (the row index), "Hovered", "ItemVisible" and "HitRect" (the
    // row as the canvas shows it now).
    bool Inspect(TB_IPropertyVisitor& visitor) override;
    void FitInto(float maxHeight) override;

    // The popup's height never passes this, times the GUI scale.
    static constexpr float kMaxHeight = 420;
    static constexpr float kRowHeight = 28;
    // Between the thumbnail square and the name.
    static constexpr float kTextGap = 8;

private:
    void AddRows(TC_VoiceLibrary* library, tb_int depth);
    float ScrollOffset() const;
    void OnResizedHandler(TB_EventArg&);
    void OnCanvasPaint(TB_PaintEventArg& arg);
    void OnCanvasMove(TB_MouseEventArg& arg);
    void OnCanvasLeave(TB_EventArg&);
    void OnCanvasClick(TB_MouseEventArg& arg);
    void OnCanvasWheel(TB_MouseEventArg& arg) {
        if (m_scrolling) {
            m_scroll->OnMouseWheel(arg);
        }
    }
    float HeightFor(float room) const;
    void OnScrollChanged(TB_EventArg&) { m_canvas->Invalidate(); }

    TC_VoiceLibrarySelector* m_owner;  // not counted; outlives the popup
    TB_List<TC_VoiceLibrary*>* m_libs;
    TC_VoiceLibrary* m_chosen;
    TB_List<TC_VoiceLibrary*> m_rows;
    TB_Canvas* m_canvas;     // child
    TB_ScrollBar* m_scroll;  // child
    tb_int m_rowHeight;
    bool m_scrolling = false;  // more rows than the popup shows
};
