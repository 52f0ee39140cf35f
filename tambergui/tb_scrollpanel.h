#pragma once

#include "tb_nativecontainer.h"

class TB_ScrollBar;

// A window onto a taller column of controls: the column moves under it, with a vertical bar
// at the right while the column does not fit. The wheel over any control of the column
// scrolls it, as do Tab moves to a control out of view.
class TB_ScrollPanel : public TB_NativeContainer {
public:
    TB_ScrollPanel();

    // Adds a control to the column, in the column's coordinates.
    void AddContent(TB_NativeWidget* child);
    // The column's size; the panel keeps its own.
    void SetContentSize(float width, float height);
    float BarWidth() const;
    bool Scrolls() const;
    void OnResized() override;
    void RevealDescendant(TB_NativeWidget* widget) override;
    // The widget's properties, then "ScrollOffset" and "ContentHeight".
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    TB_NativeContainer* GetContent() const { return m_content; }
    TB_ScrollBar* GetScrollBar() const { return m_bar; }
    // A wheel notch moves this far, times three.
    float Step = 20;

private:
    void Layout();
    void ScrollTo(float offset);
    bool WindowProc(TB_WindowHandle window, tb_uint message, tb_uint64 wParam, tb_int64 lParam,
                    tb_int64& result) override;

    TB_NativeContainer* m_content;  // child
    TB_ScrollBar* m_bar;            // child
};
