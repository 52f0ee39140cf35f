#include "tc_voicelibraryselector.h"

#include <algorithm>
#include <cmath>

#include "tb_globalstyle.h"
#include "tb_messageloop.h"
#include "tc_builtinicons.h"

namespace {

// The rectangle of the given height inside a row, vertically centred.
TB_Rectangle<float> CentredText(float x, float rowTop, float width, float rowHeight,
                                float textHeight) {
    return {x, rowTop + (rowHeight - textHeight) * 0.5f, width, textHeight};
}

// Names stay on one line and are cut at the area's edge: a layout as wide as the area would
// wrap a long name at a word and hide the rest below the row.
void DrawOneLine(TB_Graphics& g, const TB_String& text, const TB_Rectangle<float>& area) {
    TB_Vector2 size = g.MeasureString(text);
    TB_Rectangle<float> line = CentredText(area.x, area.y, area.width, area.height, size.y);
    g.PushClip(area);
    g.DrawString(text, TB_Rectangle<float>{line.x, line.y, 1e6f, size.y});
    g.PopClip();
}

constexpr const char16_t* kMissingTip = u"フォルダが見つかりません";

// The mark of a library whose folder is missing: an amber warning triangle with a "!", in a
// square of the given side.
void DrawMissingMark(TB_Graphics& g, float x, float y, float side) {
    TB_Brush* brushBefore = g.Brush;
    TB_Pen* penBefore = g.Pen;
    TB_SolidBrush amber(TB_GlobalStyle::Hex(0xE0A000));
    g.Brush = &amber;
    g.Pen = nullptr;
    g.BeginPath(TB_Vector2{x + side / 2, y + side * 0.08f});
    g.LineTo(TB_Vector2{x + side, y + side * 0.92f});
    g.LineTo(TB_Vector2{x, y + side * 0.92f});
    g.ClosePath();
    g.FillAndStroke();
    TB_SolidBrush ink(TB_GlobalStyle::Hex(0x202020));
    g.Brush = &ink;
    float bar = std::max(1.0f, side * 0.12f);
    g.DrawRectangle(TB_Rectangle<float>{x + (side - bar) / 2, y + side * 0.36f, bar, side * 0.3f});
    g.DrawRectangle(TB_Rectangle<float>{x + (side - bar) / 2, y + side * 0.72f, bar, bar});
    g.Brush = brushBefore;
    g.Pen = penBefore;
}

// Where a library's name starts after its mark, when it has one.
float NameAfterMark(TB_Graphics& g, const TC_VoiceLibrary* library, float x, float rowTop,
                    float rowHeight) {
    if (library->Available) {
        return x;
    }
    float side = std::floor(rowHeight * 0.55f);
    DrawMissingMark(g, x, rowTop + (rowHeight - side) / 2, side);
    return x + side + 6;
}

}  // namespace

// ---- TC_VoiceLibrarySelector ----

TC_VoiceLibrarySelector::TC_VoiceLibrarySelector()
    : Font(new TB_Font(TB_GetGlobalStyle().FontSize)) {
    Cursor = TB_CursorKind::Hand;
    CaretIcon.LoadText(TC_BuiltinIconText(TC_BuiltinIcon::CaretDown));
    Paint.Add(this, &TC_VoiceLibrarySelector::OnPaintHandler);
    Click.Add(this, &TC_VoiceLibrarySelector::OnClickHandler);
    // A drop-down of the keyboard too: Tab reaches it, Space, Enter, Down or F4 opens it.
    TabStop = true;
    FocusOnPress = true;
    PressedByKeys = true;
    KeyDown.Add([this](TB_KeyEventArg& arg) {
        tb_int key = arg.KeyCode;
        bool opens = key == TB_VK_SPACE || key == TB_VK_RETURN || key == TB_VK_F1 + 3 ||
                     (key == TB_VK_DOWN && !arg.Control);
        if (opens && IsEnable()) {
            arg.Handled = true;
            OpenPopup();
        }
    });
    Resized.Add(this, &TC_VoiceLibrarySelector::OnResizedHandler);
}

TC_VoiceLibrarySelector::~TC_VoiceLibrarySelector() {
    Font->Release();
}

void TC_VoiceLibrarySelector::RaiseChanged(tb_int kind) {
    UpdateToolTip();
    TC_VoiceLibraryEventArg arg;
    arg.Kind = kind;
    arg.Library = Library;
    // A handler may drop the last count on the selector (the panel rebuilding itself).
    TB_Ref<TC_VoiceLibrarySelector> keep(this);
    OnLibraryChanged(arg);
}

void TC_VoiceLibrarySelector::SetLibraries(TB_List<TC_VoiceLibrary*>* libs) {
    TB_Ref<TC_VoiceLibrarySelector> keep(this);
    if (Library) {
        Library = nullptr;
        RaiseChanged();
        Invalidate();
    }
    Libs = libs;
    // The old list's bitmaps may be gone from every library by now.
    m_thumbnails.Clear();
    if (Libs && Libs->Count() > 0) {
        Library = (*Libs)[0];
        RaiseChanged();
        Invalidate();
    }
}

void TC_VoiceLibrarySelector::UpdateToolTip() {
    SetToolTip(Library && !Library->Available ? TB_String(kMissingTip) : TB_String());
}

void TC_VoiceLibrarySelector::LibrariesChanged() {
    UpdateToolTip();
    m_thumbnails.Clear();
    Invalidate();
    AccessibleChanged(TB_AccessibleChange::Value);
}

void TC_VoiceLibrarySelector::SetLibrary(TC_VoiceLibrary* library) {
    if (library == Library) {
        return;
    }
    Library = library;
    RaiseChanged();
    Invalidate();
    AccessibleChanged(TB_AccessibleChange::Value);
}

void TC_VoiceLibrarySelector::DescribeAccessible(TB_AccessibleInfo& info) {
    TB_Canvas::DescribeAccessible(info);
    info.Role = TB_AccessibleRole::ComboBox;
    info.Name = u"ライブラリ";
    info.Focusable = true;
    info.Value = Library ? Library->Name : TB_String();
}

void TC_VoiceLibrarySelector::DescribeAccessibleItem(tb_int index, TB_AccessibleInfo& info) {
    if (!Libs || index < 0 || index >= Libs->Count()) {
        return;
    }
    TC_VoiceLibrary* library = (*Libs)[index];
    info.Role = TB_AccessibleRole::ListItem;
    info.Name = library->Name;
    info.Selectable = true;
    info.Selected = library == Library;
    info.Unavailable = !library->Available;
    TB_Vector2 corner = ClientToScreen(TB_Vector2{});
    info.Bounds = {corner.x, corner.y, Width, Height};
}

bool TC_VoiceLibrarySelector::DoAccessibleAction(tb_int item) {
    if (item < 0) {
        OpenPopup();
        return true;
    }
    if (!Libs || item >= Libs->Count()) {
        return false;
    }
    TC_VoiceLibrary* chosen = (*Libs)[item];
    if (chosen != Library) {
        TB_Ref<TC_VoiceLibrarySelector> keep(this);
        Library = chosen;
        RaiseChanged(TC_VoiceLibraryEventArg::kChosen);
        Invalidate();
        AccessibleChanged(TB_AccessibleChange::Value);
        AccessibleChanged(TB_AccessibleChange::Selection, item);
    }
    return true;
}

void TC_VoiceLibrarySelector::OpenPopup() {
    // An empty popup would be a window of no height that still holds the application modal
    // until the next click somewhere: there is nothing to choose, so show none.
    if (!Libs || Libs->Count() == 0 || m_popup) {
        return;
    }
    TB_Ref<TC_VoiceLibrarySelector> keep(this);
    auto popup =
        TB_Ref<TC_VoiceLibrarySelectorPopup>::Adopt(new TC_VoiceLibrarySelectorPopup(this, Libs));
    m_popup = popup.Get();
    popup->Shown.Add([this](TB_EventArg& arg) { PopupShown.Fire(arg); });
    popup->ShowModal(this, TB_Vector2{0, Height});
    m_popup = nullptr;
    TC_VoiceLibrary* chosen = popup->GetChosen();
    popup.Reset();
    if (chosen != Library) {
        Library = chosen;
        RaiseChanged(TC_VoiceLibraryEventArg::kChosen);
        AccessibleChanged(TB_AccessibleChange::Value);
    }
    Invalidate();
}

TB_NativeBitmap* TC_VoiceLibrarySelector::Thumbnail(TC_VoiceLibrary* library, tb_int width,
                                                    tb_int height) {
    if (!library || !library->Thumbnail) {
        return nullptr;
    }
    const TB_Color& ground = TB_GetGlobalStyle().WidgetBackground;
    bool dark = 0.2126f * ground.r + 0.7152f * ground.g + 0.0722f * ground.b < 0.5f;
    return library->ThumbnailIsBuiltIn && dark
               ? m_thumbnails.GetInverted(library->Thumbnail, width, height)
               : m_thumbnails.Get(library->Thumbnail, width, height);
}

void TC_VoiceLibrarySelector::OnPaintHandler(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    bool enabled = IsEnable();
    float w = Width, h = Height;
    g.Clear(BackgroundColor);
    TB_SolidBrush box(enabled ? style.ContentsBackground : TB_GlobalStyle::Hex(0x101010));
    TB_Brush* brushBefore = g.Brush;
    TB_Pen* penBefore = g.Pen;
    TB_Font* fontBefore = g.Font;
    g.Pen = nullptr;
    g.Brush = &box;
    g.DrawRectangle(TB_Rectangle<float>{0, 0, w - 1, h - 1});
    if (Library) {
        // A library whose folder is missing is greyed, after its mark.
        TB_SolidBrush text(!enabled             ? TB_GlobalStyle::Hex(0x404040)
                           : Library->Available ? style.ContentsForeColor
                                                : style.ContentsDisabledItemForeColor);
        g.Font = Font;
        float x = NameAfterMark(g, Library, 8, 0, h);
        g.Brush = &text;
        DrawOneLine(g, Library->Name, TB_Rectangle<float>{x, 0, std::max(0.0f, w - x), h});
        TB_Rectangle<float> box2 = CaretIcon.GetViewBox();
        if (box2.width > 0 && box2.height > 0) {
            float side = 0.8f * h;
            float left = w - 0.9f * h, top = 0.1f * h;
            auto ratio = static_cast<float>(static_cast<double>(box2.width) / box2.height);
            TB_Rectangle<float> target{left, top, side, side};
            if (ratio > 1) {
                target = {left, top + (side - side / ratio) * 0.5f, side, side / ratio};
            } else {
                target = {left + (side - side * ratio) * 0.5f, top, side * ratio, side};
            }
            TB_SolidBrush caret(style.ScrollFore);
            g.Brush = &caret;
            CaretIcon.Render(g, target, false);
        }
    }
    if (BorderWidth > 0) {
        TB_Pen frame(enabled ? TB_GlobalStyle::Hex(0x808080) : style.ButtonDisabledFontColor,
                     static_cast<float>(BorderWidth));
        g.Brush = nullptr;
        g.Pen = &frame;
        g.DrawRectangle(TB_Rectangle<float>{0, 0, w - 1, h - 1});
    }
    if (ShowsFocusRing()) {
        DrawFocusRing(g, TB_Rectangle<float>{0, 0, w, h});
    }
    g.Brush = brushBefore;
    g.Pen = penBefore;
    g.Font = fontBefore;
}

bool TC_VoiceLibrarySelector::Inspect(TB_IPropertyVisitor& visitor) {
    TB_Canvas::Inspect(visitor);
    TB_IPropertyVisitor& libs = visitor.BeginList(TB_String(u"Libs"));
    if (Libs) {
        for (TC_VoiceLibrary* library : *Libs) {
            library->Inspect(libs.AddItem());
        }
    }
    if (Library) {
        visitor.WriteString(TB_String(u"Library"), Library->Name);
    } else {
        visitor.WriteNull(TB_String(u"Library"));
    }
    return true;
}

// ---- TC_VoiceLibrarySelectorPopup ----

TC_VoiceLibrarySelectorPopup::TC_VoiceLibrarySelectorPopup(TC_VoiceLibrarySelector* owner,
                                                           TB_List<TC_VoiceLibrary*>* libs)
    : m_owner(owner),
      m_libs(libs),
      m_chosen(owner->Library),
      m_canvas(new TB_Canvas()),
      m_scroll(new TB_ScrollBar(TB_Orientation::Vertical)) {
    Id = TB_String(u"VoiceLibrarySelectorPopup");
    const float s = TB_GetGlobalStyle().Scale;
    m_rowHeight = static_cast<tb_int>(kRowHeight * s);
    if (m_libs) {
        for (TC_VoiceLibrary* library : *m_libs) {
            AddRows(library, 0);
        }
    }
    Width = owner->Width;
    Height = HeightFor(kMaxHeight * s);

    m_canvas->BackgroundColor = TB_GetGlobalStyle().ContentsBackground;
    m_canvas->Paint.Add(this, &TC_VoiceLibrarySelectorPopup::OnCanvasPaint);
    m_canvas->MouseMove.Add(this, &TC_VoiceLibrarySelectorPopup::OnCanvasMove);
    m_canvas->MouseLeave.Add(this, &TC_VoiceLibrarySelectorPopup::OnCanvasLeave);
    m_canvas->Click.Add(this, &TC_VoiceLibrarySelectorPopup::OnCanvasClick);
    m_canvas->MouseWheel.Add(this, &TC_VoiceLibrarySelectorPopup::OnCanvasWheel);
    m_scroll->Id = TB_String(u"scroll");
    m_scroll->Max = static_cast<tb_int>(static_cast<tb_int64>(m_rowHeight) * m_rows.Count());
    m_scroll->SmallChange = m_rowHeight;
    m_scroll->ValueChanged.Add(this, &TC_VoiceLibrarySelectorPopup::OnScrollChanged);
    AddChild(m_canvas);
    AddChild(m_scroll);
    for (tb_int i = 0; i < m_rows.Count(); ++i) {
        TC_VoiceLibrary* row = m_rows[i];
        row->FlatIndex = i;
        row->ViewFlag = false;
        row->Selected = row == m_chosen;
        row->DisplayRect = TB_Rectangle<float>{0, static_cast<float>(i * m_rowHeight), 0,
                                               static_cast<float>(m_rowHeight)};
    }
    TB_EventArg none;
    OnResizedHandler(none);
    Resized.Add(this, &TC_VoiceLibrarySelectorPopup::OnResizedHandler);
}

// Whole rows only, inside the 1 px border.
float TC_VoiceLibrarySelectorPopup::HeightFor(float room) const {
    tb_int64 fit =
        m_rowHeight > 0 ? static_cast<tb_int64>(std::max(0.0f, room - 2)) / m_rowHeight : 0;
    tb_int64 rows = std::max<tb_int64>(1, std::min<tb_int64>(fit, m_rows.Count()));
    return static_cast<float>(rows * m_rowHeight + 2);
}

void TC_VoiceLibrarySelectorPopup::FitInto(float maxHeight) {
    SetSize(Width, HeightFor(maxHeight));
}

TC_VoiceLibrarySelectorPopup::~TC_VoiceLibrarySelectorPopup() = default;

void TC_VoiceLibrarySelectorPopup::AddRows(TC_VoiceLibrary* library, tb_int depth) {
    library->Depth = depth;
    m_rows.Add(library);
    for (TC_VoiceLibrary* sub : library->SubLibs) {
        AddRows(sub, depth + 1);
    }
}

float TC_VoiceLibrarySelectorPopup::ScrollOffset() const {
    return m_scrolling ? static_cast<float>(m_scroll->Value) : 0.0f;
}

void TC_VoiceLibrarySelectorPopup::OnResizedHandler(TB_EventArg&) {
    float inner = std::max(0.0f, Height - 2);
    m_scrolling = m_scroll->Max > inner;
    float barWidth = m_scrolling ? m_scroll->Width : 0;
    float canvasWidth = std::max(0.0f, Width - 2 - barWidth);
    m_canvas->SetBounds(1, 1, canvasWidth, inner);
    m_scroll->SetBounds(1 + canvasWidth, 1, barWidth, inner);
    if (m_scroll->Visible != m_scrolling) {
        m_scroll->SetVisible(m_scrolling);
    }
    m_scroll->SetEnable(m_scrolling);
    m_scroll->LargeChange = static_cast<tb_int>(inner);
    m_scroll->Refresh();
    for (TC_VoiceLibrary* row : m_rows) {
        row->DisplayRect.width = canvasWidth;
    }
    if (m_chosen && m_scrolling) {
        auto top = static_cast<tb_int>(m_chosen->DisplayRect.y);
        m_scroll->SetValue(std::min(top, m_scroll->Max - m_scroll->LargeChange));
    }
}

TC_VoiceLibrary* TC_VoiceLibrarySelectorPopup::RowAt(float x, float y) {
    float v = ScrollOffset();
    if (m_rowHeight <= 0) {
        return nullptr;
    }
    // Rows are laid out in order, so the candidate is found by division; both edges of a
    // rectangle count as inside, so the row above may claim a point on the boundary.
    for (tb_int i = std::max<tb_int>(0, static_cast<tb_int>((y + v) / m_rowHeight) - 1);
         i < m_rows.Count(); ++i) {
        const TB_Rectangle<float>& r = m_rows[i]->DisplayRect;
        if (r.y - v > y) {
            break;
        }
        if (r.Contains(x, y + v)) {
            return m_rows[i];
        }
    }
    return nullptr;
}

void TC_VoiceLibrarySelectorPopup::OnCanvasPaint(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    float v = ScrollOffset();
    float r = static_cast<float>(m_rowHeight);
    g.Clear(m_canvas->BackgroundColor);
    TB_Brush* brushBefore = g.Brush;
    TB_Pen* penBefore = g.Pen;
    TB_Font* fontBefore = g.Font;
    TB_SolidBrush chosen(style.ContentsSelectedBackground);
    TB_SolidBrush chosenHover(style.ContentsSelectedHoverBackground);
    TB_SolidBrush hover(style.ContentsHoverBackground);
    TB_SolidBrush text(style.ContentsForeColor);
    TB_SolidBrush missing(style.ContentsDisabledItemForeColor);
    g.Pen = nullptr;
    g.Font = m_owner->Font;
    g.SetInterpolationMode(TB_InterpolationHighQualityBicubic);
    float bottom = m_canvas->Height;
    // Only the rows in view: a list of a thousand libraries must open at once.
    tb_int first = r > 0 ? std::max<tb_int>(0, static_cast<tb_int>(v / r) - 1) : 0;
    for (tb_int i = first; i < m_rows.Count(); ++i) {
        TC_VoiceLibrary* row = m_rows[i];
        TB_Rectangle<float> rect = row->DisplayRect;
        rect.y -= v;
        if (rect.y > bottom) {
            break;
        }
        if (rect.Bottom() < 0) {
            continue;
        }
        TB_Brush* fill = row->Selected ? (row->ViewFlag ? &chosenHover : &chosen)
                                       : (row->ViewFlag ? &hover : nullptr);
        if (fill) {
            g.Brush = fill;
            g.DrawRectangle(rect);
        }
        float indent = static_cast<float>(row->Depth) * r;
        if (TB_Bitmap32* thumbnail = row->Thumbnail) {
            TB_Rectangle<float> fit = TC_ThumbnailCache::FitSquare(
                rect.x + indent, rect.y, r, thumbnail->Width, thumbnail->Height);
            TB_NativeBitmap* scaled = m_owner->Thumbnail(row, static_cast<tb_int>(fit.width),
                                                         static_cast<tb_int>(fit.height));
            if (scaled) {
                g.DrawImage(scaled, fit, TB_Rectangle<float>{0, 0, fit.width, fit.height});
            }
        }
        float textX = NameAfterMark(g, row, rect.x + indent + r + kTextGap, rect.y, rect.height);
        g.Brush = row->Available ? &text : &missing;
        DrawOneLine(
            g, row->Name,
            TB_Rectangle<float>{textX, rect.y, std::max(0.0f, rect.Right() - textX), rect.height});
    }
    g.Brush = brushBefore;
    g.Pen = penBefore;
    g.Font = fontBefore;
}

void TC_VoiceLibrarySelectorPopup::OnCanvasMove(TB_MouseEventArg& arg) {
    TC_VoiceLibrary* under = RowAt(arg.X, arg.Y);
    bool changed = false;
    for (TC_VoiceLibrary* row : m_rows) {
        bool hovered = row == under;
        changed |= row->ViewFlag != hovered;
        row->ViewFlag = hovered;
    }
    if (changed) {
        m_canvas->SetToolTip(under && !under->Available ? TB_String(kMissingTip) : TB_String());
        m_canvas->Invalidate();
    }
}

void TC_VoiceLibrarySelectorPopup::OnCanvasLeave(TB_EventArg&) {
    for (TC_VoiceLibrary* row : m_rows) {
        row->ViewFlag = false;
    }
    m_canvas->Invalidate();
}

void TC_VoiceLibrarySelectorPopup::OnCanvasClick(TB_MouseEventArg& arg) {
    if (TC_VoiceLibrary* row = RowAt(arg.X, arg.Y)) {
        m_chosen = row;
        for (TC_VoiceLibrary* other : m_rows) {
            other->Selected = other == row;
        }
    }
    if (Window) {
        TB_WindowHandle window = Window;
        TB_PostAction(this, new TB_Action([this, window](TB_EventArg&) {
                          if (Window == window) {
                              TB_GetPlatform().RequestClose(window);
                          }
                      }));
    }
}

bool TC_VoiceLibrarySelectorPopup::Inspect(TB_IPropertyVisitor& visitor) {
    TB_PopupPanel::Inspect(visitor);
    visitor.WriteInt(TB_String(u"Scroll"), m_scroll->Value);
    TB_IPropertyVisitor& items = visitor.BeginList(TB_String(u"Items"));
    float v = ScrollOffset();
    float bottom = m_canvas->Height;
    for (TC_VoiceLibrary* row : m_rows) {
        TB_Rectangle<float> rect = row->DisplayRect;
        rect.y -= v;
        TB_IPropertyVisitor& item = items.AddItem();
        item.WriteBool(TB_String(u"Selected"), row->Selected);
        item.WriteString(TB_String(u"Text"), row->Name);
        item.WriteBool(TB_String(u"Available"), row->Available);
        item.WriteInt(TB_String(u"Tag"), row->FlatIndex);
        item.WriteBool(TB_String(u"Hovered"), row->ViewFlag);
        item.WriteBool(TB_String(u"ItemVisible"), rect.Bottom() > 0 && rect.y < bottom);
        item.WriteRectangle(TB_String(u"HitRect"), rect);
    }
    return true;
}
