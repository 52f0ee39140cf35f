#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <QApplication>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/tb_qt_platform.h"
#include "tb_contentsbox.h"
#include "tb_error.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_menupanel.h"
#include "tb_message.h"
#include "tb_uidump.h"

namespace {

tb_uint Argb(const TB_Color& c) {
    auto byte = [](float v) { return static_cast<tb_uint>(v * 255.0f) & 0xFF; };
    return (byte(c.a) << 24) | (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
}

// Real windows; timers that tick only when a test dispatches them; drags that end at once.
class RecordingPlatform : public TB_QtPlatform {
public:
    tb_uint64 StartTimer(TB_WindowHandle, tb_uint64 identifier, tb_int) override {
        return identifier;
    }
    void StopTimer(tb_uint64) override {}
    tb_uint StartDrag(TB_WindowHandle, TB_DataObject* data, TB_Bitmap32* image, tb_int, tb_int,
                      tb_uint allowed) override {
        Drags.push_back(
            {data->Count(), image ? image->Width : 0, image ? image->Height : 0, allowed});
        return 1;
    }
    void SetToolTip(TB_WindowHandle, const TB_String& text) override {
        ToolTip = text.ToStdString();
    }
    struct Drag {
        int entries, imageWidth, imageHeight;
        tb_uint allowed;
    };
    std::vector<Drag> Drags;
    std::string ToolTip = "(none)";
};

int g_liveDropData = 0;

class CountedDropData : public TB_DropData {
public:
    CountedDropData() { ++g_liveDropData; }
    ~CountedDropData() override { --g_liveDropData; }
};

// An item that can be dragged and counts its paints, as the clip list's items will.
class ClipItem : public TB_ContentsBoxItem {
public:
    explicit ClipItem(const TB_String& text) : TB_ContentsBoxItem(text) {}
    void Paint(TB_Graphics& graphics, const TB_Rectangle<int>& rectangle) override {
        ++Paints;
        TB_ContentsBoxItem::Paint(graphics, rectangle);
    }
    void GetDropData(TB_List<TB_DropData*>& list) override {
        auto* data = new CountedDropData();
        data->Format = TB_CF_UNICODETEXT;
        data->Data = {'a', 0};
        list.Add(data);
    }
    int Paints = 0;
};

class ContentsBox : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override {
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_SetPlatform(&platform);
    }
    void TearDown() override {
        if (frame) {
            frame->Release();
            QApplication::processEvents();
        }
        TB_SetPlatform(&TB_GetQtPlatform());
    }
    // A box in a window whose canvas is 200 x canvasHeight, rows inset by 2, events counted.
    TB_ContentsBox* Make(std::initializer_list<const char16_t*> texts, float canvasHeight = 100) {
        frame = new TB_Frame();
        frame->SetBounds(0, 0, 400, 400);
        box = new TB_ContentsBox();
        box->Id = u"list";
        box->BorderWidth = 2;
        box->SetViewMode(TB_ContentsViewMode::List);
        box->SetBounds(10, 10, 200 + TB_GetGlobalStyle().ScrollBarWidth, canvasHeight);
        frame->AddChild(box);
        frame->Create();
        for (const char16_t* text : texts) {
            box->AddItem(new ClipItem(text));
        }
        box->SelectionChanged.Add([this](TB_EventArg&) {
            TB_ContentsBoxItem* current = box->GetCurrent();
            changes.push_back(current ? current->Text.ToStdString() : "none");
        });
        return box;
    }
    TB_Canvas* Canvas() { return box->GetCanvas(); }
    void Send(tb_uint message, float x, float y, tb_uint64 keys = 0) {
        tb_int64 result = 0;
        Canvas()->WindowProc(Canvas()->Window, message, keys,
                             TB_MakePointLParam(static_cast<int>(x), static_cast<int>(y)), result);
    }
    void Key(tb_int vk) {
        tb_int64 result = 0;
        Canvas()->WindowProc(Canvas()->Window, TB_WM_KEYDOWN, static_cast<tb_uint64>(vk), 0,
                             result);
    }
    std::string Current() {
        return box->GetCurrent() ? box->GetCurrent()->Text.ToStdString() : "none";
    }
    TB_Ref<TB_NativeBitmap> Paint() {
        auto bitmap = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(
            static_cast<tb_int>(Canvas()->Width), static_cast<tb_int>(Canvas()->Height)));
        auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(bitmap.Get()));
        TB_PaintEventArg arg;
        arg.Graphics = graphics.Get();
        Canvas()->OnPaint(arg);
        return bitmap;
    }
    void Tick(int times) {
        for (int i = 0; i < times; ++i) {
            TB_UiTimer::Dispatch(box->GetHoverTimer()->TimerId);
        }
    }
    using Events = std::vector<std::string>;

    RecordingPlatform platform;
    TB_Frame* frame = nullptr;
    TB_ContentsBox* box = nullptr;
    Events changes;
};

// Ten rows of 24 inset by 2 in a 100-pixel canvas end at 242; an empty box has nothing to
// scroll; an index past the end is reported and selects nothing.
TEST_F(ContentsBox, RowsScrollBarAndOutOfBounds) {
    Make({});
    TB_ScrollBar* scroll = box->GetScrollBar();
    EXPECT_FALSE(scroll->IsEnable());
    EXPECT_EQ(scroll->Max, 0);
    EXPECT_EQ(box->GetContentHeight(), 0);
    Key(TB_VK_DOWN);
    Send(TB_WM_LBUTTONDOWN, 50, 10, TB_MK_LBUTTON);
    Send(TB_WM_LBUTTONUP, 50, 10);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(box->GetCanvas()->GetBounds(), (TB_Rectangle<float>{0, 0, 200, 100}));
    EXPECT_EQ(scroll->GetBounds(), (TB_Rectangle<float>{200, 0, 18, 100}));

    for (int i = 0; i < 10; ++i) {
        box->AddItem(new ClipItem(TB_String(("row " + std::to_string(i)).c_str())));
    }
    EXPECT_EQ(box->GetContentHeight(), 242);
    EXPECT_TRUE(scroll->IsEnable());
    EXPECT_EQ(scroll->Max, 242);
    EXPECT_EQ(scroll->LargeChange, 100);
    EXPECT_EQ(scroll->SmallChange, 5);
    EXPECT_EQ(box->ItemRectangle(0), (TB_Rectangle<int>{2, 2, 196, 24}));
    EXPECT_EQ(box->ItemRectangle(9), (TB_Rectangle<int>{2, 218, 196, 24}));

    // Shown without being selected: limited to the last page.
    box->EnsureIndexVisible(9);
    EXPECT_EQ(scroll->Value, 142);
    EXPECT_EQ(Current(), "none");
    // Scrolled to the end, the rectangles are in view coordinates and the pointer finds them.
    EXPECT_EQ(box->ItemRectangle(9).y, 76);
    EXPECT_EQ(box->ItemAt(9)->Rect.y, 76);
    Send(TB_WM_LBUTTONDOWN, 50, 80, TB_MK_LBUTTON);
    Send(TB_WM_LBUTTONUP, 50, 80);
    EXPECT_EQ(Current(), "row 9");
    EXPECT_EQ(scroll->Value, 142);  // wholly visible already
    // A row above the view is brought in half a row below the top.
    box->SelectIndex(1);
    EXPECT_EQ(scroll->Value, 26 - 12);
    // On a row boundary the upper row wins (edges belong to both).
    Send(TB_WM_LBUTTONDOWN, 50, 50 - 14, TB_MK_LBUTTON);
    Send(TB_WM_LBUTTONUP, 50, 50 - 14);
    EXPECT_EQ(Current(), "row 1");

    TB_Error::Init();
    TB_Error::SetLogFolder(TB_Uri());
    tb_int before = TB_Error::RecordCount();
    box->SelectIndex(10);
    ASSERT_EQ(TB_Error::RecordCount(), before + 1);
    auto record = TB_Ref<TB_Error>::Adopt(TB_Error::CopyRecord(before));
    EXPECT_EQ(record->Level(), 2);
    EXPECT_EQ(record->Code(), 1);
    EXPECT_EQ(record->Message().ToStdString(), "out of bounds");
    EXPECT_NE(record->Source().ToStdString().find("tb_contentsbox.cpp"), std::string::npos);
    EXPECT_EQ(Current(), "row 1");

    // Removing rows shrinks the range; the last page stays the last page.
    changes.clear();
    TB_ContentsBoxItem* current = box->GetCurrent();
    box->RemoveItem(current);
    current->Release();  // handed back
    EXPECT_EQ(changes, (Events{"none"}));
    for (int i = 0; i < 6; ++i) {
        TB_ContentsBoxItem* item = box->ItemAt(0);
        box->RemoveItem(item);
        item->Release();
    }
    EXPECT_EQ(box->GetContentHeight(), 2 + 3 * 24);
    EXPECT_EQ(scroll->Value, 0);
    EXPECT_FALSE(scroll->IsEnable());
    box->SelectIndex(0);
    changes.clear();
    box->ClearItems(true);
    EXPECT_EQ(changes, (Events{"none"}));
    EXPECT_EQ(box->Count(), 0);
}

// Selection happens on the press; empty space keeps it; a right click selects and opens the
// context menu.
TEST_F(ContentsBox, PressSelectsAtOnceAndRightClickOpensTheMenu) {
    Make({u"Kaze", u"Kumo", u"Ame"});
    Send(TB_WM_LBUTTONDOWN, 50, 30, TB_MK_LBUTTON);
    EXPECT_EQ(Current(), "Kumo");
    EXPECT_EQ(changes, (Events{"Kumo"}));
    EXPECT_EQ(box->GetPressedItem(), box->ItemAt(1));
    EXPECT_TRUE(box->GetPressTimer()->Running);
    Send(TB_WM_LBUTTONUP, 50, 30);
    EXPECT_EQ(box->GetPressedItem(), nullptr);
    EXPECT_FALSE(box->GetPressTimer()->Running);
    Send(TB_WM_LBUTTONDOWN, 50, 90, TB_MK_LBUTTON);  // below the rows
    Send(TB_WM_LBUTTONUP, 50, 90);
    EXPECT_EQ(Current(), "Kumo");
    EXPECT_EQ(changes.size(), 1u);

    Send(TB_WM_RBUTTONDOWN, 50, 10, TB_MK_RBUTTON);
    Send(TB_WM_RBUTTONUP, 50, 10);
    EXPECT_EQ(Current(), "Kaze");
    EXPECT_EQ(frame->Popup, nullptr);  // nothing in the menu yet
    box->ContextMenu->Add(new TB_MenuButton(TB_String(u"コピー")));
    Send(TB_WM_RBUTTONDOWN, 50, 60, TB_MK_RBUTTON);
    EXPECT_EQ(box->GetPressedItem(), nullptr);  // only the left button drags
    Send(TB_WM_RBUTTONUP, 50, 60);
    EXPECT_EQ(Current(), "Ame");
    ASSERT_NE(frame->Popup, nullptr);
    EXPECT_NE(dynamic_cast<TB_MenuPanel*>(frame->Popup), nullptr);
    frame->ClosePopup();
}

TEST_F(ContentsBox, KeysWrapAndTypeAheadAmongTheShownItems) {
    Make({u"Kaze", u"Kumo", u"Ame", u"9ji"});
    Key(TB_VK_DOWN);  // no current item: nothing
    EXPECT_TRUE(changes.empty());
    box->SelectIndex(3);
    Key(TB_VK_DOWN);
    EXPECT_EQ(Current(), "Kaze");
    Key(TB_VK_UP);
    EXPECT_EQ(Current(), "9ji");
    Key(TB_VK_RIGHT);
    Key(TB_VK_RIGHT);
    EXPECT_EQ(Current(), "Kumo");
    Key(TB_VK_LEFT);
    Key(TB_VK_A + ('k' - 'a'));
    EXPECT_EQ(Current(), "Kumo");
    Key(TB_VK_A + ('k' - 'a'));
    EXPECT_EQ(Current(), "Kaze");  // wrapped
    Key(TB_VK_0 + 9);
    EXPECT_EQ(Current(), "9ji");
    changes.clear();
    Key(TB_VK_A + ('z' - 'a'));  // nothing starts with z
    Key(TB_VK_ESCAPE);
    EXPECT_EQ(Current(), "9ji");
    EXPECT_TRUE(changes.empty());

    // Hidden items are skipped by every key; a hidden current item keeps its place in the
    // order, so the arrows go to the shown items on either side of it.
    box->Filter([](TB_ContentsBoxItem* item) { return !item->Text.Equals(u"Kumo"); });
    box->SelectIndex(0);
    Key(TB_VK_A + ('k' - 'a'));
    EXPECT_EQ(Current(), "Kaze");
    changes.clear();
    Key(TB_VK_DOWN);
    EXPECT_EQ(Current(), "Ame");
    Key(TB_VK_UP);
    EXPECT_EQ(Current(), "Kaze");
    EXPECT_EQ(changes, (Events{"Ame", "Kaze"}));
    box->SelectIndex(1);  // Kumo, hidden
    Key(TB_VK_UP);
    EXPECT_EQ(Current(), "Kaze");
    box->SelectIndex(1);
    Key(TB_VK_DOWN);
    EXPECT_EQ(Current(), "Ame");
    Key(TB_VK_END);
    EXPECT_EQ(Current(), "9ji");
    Key(TB_VK_HOME);
    EXPECT_EQ(Current(), "Kaze");
    Key(TB_VK_NEXT);  // a page is more than the list: the last, without wrapping
    EXPECT_EQ(Current(), "9ji");
    Key(TB_VK_PRIOR);
    EXPECT_EQ(Current(), "Kaze");

    // Enter asks for the current item; a double click only when both presses hit its row.
    int activated = 0;
    box->ItemActivated.Add([&activated](TB_EventArg&) { ++activated; });
    Key(TB_VK_RETURN);
    EXPECT_EQ(activated, 1);
    // Presses only (a release would make the clicks, timed by the clock); the double click
    // is then given as the canvas would give it.
    TB_MouseEventArg twice;
    twice.Left = true;
    Send(TB_WM_LBUTTONDOWN, 50, 30, TB_MK_LBUTTON);  // Ame (Kumo is hidden)
    Send(TB_WM_LBUTTONDOWN, 50, 10, TB_MK_LBUTTON);  // Kaze
    Canvas()->OnDoubleClick(twice);
    EXPECT_EQ(activated, 1);
    Send(TB_WM_LBUTTONDOWN, 50, 10, TB_MK_LBUTTON);
    Canvas()->OnDoubleClick(twice);
    EXPECT_EQ(activated, 2);
    Send(TB_WM_LBUTTONUP, 50, 10);
}

TEST_F(ContentsBox, OneItemKeepsItselfUnderEveryKey) {
    Make({u"Solo"});
    box->SelectIndex(0);
    changes.clear();
    for (tb_int key :
         std::vector<tb_int>{TB_VK_DOWN, TB_VK_UP, TB_VK_LEFT, TB_VK_RIGHT, TB_VK_A + 18}) {
        Key(key);
    }
    EXPECT_EQ(Current(), "Solo");
    EXPECT_TRUE(changes.empty());
}

// A filtered-out current item stays current, is neither painted nor hit, and does not pull
// the view to the top when it is selected.
TEST_F(ContentsBox, HiddenCurrentItemIsKeptButNeitherDrawnNorHit) {
    Make({});
    std::vector<ClipItem*> items;
    for (int i = 0; i < 20; ++i) {
        items.push_back(new ClipItem(TB_String(("row " + std::to_string(i)).c_str())));
        box->AddItem(items.back());
    }
    box->SelectIndex(12);
    int value = box->GetScrollBar()->Value;
    EXPECT_GT(value, 0);
    box->Filter([](TB_ContentsBoxItem* item) { return !item->Text.Equals(u"row 12"); });
    EXPECT_EQ(Current(), "row 12");
    EXPECT_EQ(box->GetContentHeight(), 2 + 19 * 24);
    for (ClipItem* item : items) {
        item->Paints = 0;
    }
    Paint();
    EXPECT_EQ(items[12]->Paints, 0);
    EXPECT_EQ(items[13]->Paints, 1);  // row 13 took row 12's place
    for (float y = 0; y < 100; y += 3) {
        EXPECT_NE(box->ItemAtPoint(50, y), items[12]);
    }
    box->SelectIndex(11);
    value = box->GetScrollBar()->Value;
    box->SelectIndex(12);
    EXPECT_EQ(Current(), "row 12");
    EXPECT_EQ(box->GetScrollBar()->Value, value);
    Key(TB_VK_DOWN);
    EXPECT_EQ(Current(), "row 13");

    box->ShowAll();
    EXPECT_EQ(box->GetContentHeight(), 2 + 20 * 24);
    EXPECT_TRUE(items[12]->ItemVisible);
}

// Colours by state, alternating by the rows painted, the tooltip following the pointer and a
// long text sliding one pixel a tick until its end shows.
TEST_F(ContentsBox, HoverPaintsTooltipsAndSlidesLongTexts) {
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    TB_Graphics* measure = TB_GetMeasureGraphics();
    ASSERT_NE(measure, nullptr);
    TB_String longText(u"とても長い行の名前 voice_line_0001_long_name.wav");
    auto font = TB_Ref<TB_Font>::Adopt(new TB_Font(style.FontSize));
    TB_Font* fontBefore = measure->Font;
    measure->Font = font.Get();
    float textWidth = measure->MeasureString(longText).x;
    measure->Font = fontBefore;
    Make({u"a", u"b", u"c"}, 130);
    box->AddItem(new ClipItem(longText));
    box->SetTextScrolling(true);
    box->ItemColors[0] = TB_GlobalStyle::Hex(0x102030);
    box->ItemColors[1] = TB_GlobalStyle::Hex(0x304050);
    // Canvas as wide as makes the text 40 pixels too long for its row.
    float rowWidth = std::floor(textWidth) - 40;
    box->SetSize(rowWidth + 4 + box->GetScrollBar()->Width, 130);
    box->PerformLayout();
    ASSERT_EQ(box->ItemRectangle(3).width, static_cast<int>(rowWidth));

    auto rest = Paint();
    EXPECT_EQ(*rest->PixelAt(3, 14), Argb(box->ItemColors[0]));
    EXPECT_EQ(*rest->PixelAt(3, 38), Argb(box->ItemColors[1]));
    EXPECT_EQ(*rest->PixelAt(0, 50), Argb(style.ContentsBorder));
    box->SelectIndex(1);
    Send(TB_WM_MOUSEMOVE, 3, 14);
    EXPECT_EQ(platform.ToolTip, "a");
    auto hovered = Paint();
    EXPECT_FALSE(box->GetHoverTimer()->Running);  // "a" fits its row: nothing to slide
    EXPECT_EQ(*hovered->PixelAt(3, 14), Argb(style.ContentsHoverBackground));
    EXPECT_EQ(*hovered->PixelAt(3, 38), Argb(style.ContentsSelectedBackground));
    Send(TB_WM_MOUSEMOVE, 3, 40);
    EXPECT_EQ(platform.ToolTip, "b");
    EXPECT_EQ(*Paint()->PixelAt(3, 38), Argb(style.ContentsSelectedHoverBackground));
    Send(TB_WM_MOUSEMOVE, 3, 110);
    EXPECT_EQ(platform.ToolTip, "");

    // The long row: it slides for 45 ticks (40 + 5 pixels) and then stays.
    Send(TB_WM_MOUSEMOVE, 3, 86);
    EXPECT_EQ(box->GetScrollTick(), 0);
    auto Row = [&]() {
        auto image = Paint();
        std::vector<tb_uint> row;
        for (int y = 75; y < 97; ++y) {
            for (int x = 0; x < static_cast<int>(rowWidth); ++x) {
                row.push_back(*image->PixelAt(x, y));
            }
        }
        return row;
    };
    auto start = Row();
    EXPECT_TRUE(box->GetHoverTimer()->Running);
    Tick(1);
    EXPECT_NE(Row(), start);
    Tick(42);
    auto at43 = Row();
    Tick(3);
    auto at46 = Row();
    EXPECT_NE(at43, at46);
    Tick(20);
    EXPECT_EQ(Row(), at46);
    EXPECT_EQ(box->ItemAt(3)->TextOffset, 66);

    // Another row starts from 0; leaving stops the timer and clears the hover.
    Send(TB_WM_MOUSEMOVE, 3, 14);
    EXPECT_EQ(box->GetScrollTick(), 0);
    Tick(5);
    Paint();
    EXPECT_EQ(box->ItemAt(0)->TextOffset, 5);
    EXPECT_EQ(box->ItemAt(3)->TextOffset, 0);
    Send(TB_WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(box->GetHoverTimer()->Running);
    EXPECT_FALSE(box->ItemAt(0)->Hovered);

    box->SetEnable(false);
    auto disabled = Paint();
    EXPECT_EQ(*rest->PixelAt(50, 115), Argb(style.ContentsBackground));
    EXPECT_EQ(*disabled->PixelAt(50, 115), Argb(TB_GlobalStyle::Hex(0x101010)));
    EXPECT_EQ(*disabled->PixelAt(0, 50), Argb(style.ContentsDisabledBorder));
    EXPECT_FALSE(box->GetScrollBar()->IsEnable());
}

// A drag needs more than 3 pixels of travel, gets a row-high image, and one press starts at
// most one; items that offer nothing start none.
TEST_F(ContentsBox, DragStartsBeyondThreePixelsOncePerPress) {
    Make({u"voice_a.wav", u"voice_b.wav"});
    box->AddItem(new TB_ContentsBoxItem(u"plain"));
    Send(TB_WM_LBUTTONDOWN, 50, 14, TB_MK_LBUTTON);
    Send(TB_WM_MOUSEMOVE, 53, 14, TB_MK_LBUTTON);
    Send(TB_WM_MOUSEMOVE, 50, 11, TB_MK_LBUTTON);
    EXPECT_TRUE(platform.Drags.empty());
    Send(TB_WM_MOUSEMOVE, 54, 14, TB_MK_LBUTTON);
    ASSERT_EQ(platform.Drags.size(), 1u);
    EXPECT_EQ(platform.Drags[0].entries, 1);
    EXPECT_EQ(platform.Drags[0].imageWidth, static_cast<int>(box->Width));
    EXPECT_EQ(platform.Drags[0].imageHeight, 24);
    EXPECT_EQ(platform.Drags[0].allowed, 1u);
    EXPECT_EQ(g_liveDropData, 0);  // released after the drag
    Send(TB_WM_MOUSEMOVE, 80, 40, TB_MK_LBUTTON);
    Send(TB_WM_LBUTTONUP, 80, 40);
    EXPECT_EQ(platform.Drags.size(), 1u);

    Send(TB_WM_LBUTTONDOWN, 50, 40, TB_MK_LBUTTON);
    Send(TB_WM_MOUSEMOVE, 50, 30, TB_MK_LBUTTON);
    Send(TB_WM_LBUTTONUP, 50, 30);
    EXPECT_EQ(platform.Drags.size(), 2u);
    EXPECT_EQ(Current(), "voice_b.wav");

    Send(TB_WM_LBUTTONDOWN, 50, 62, TB_MK_LBUTTON);
    Send(TB_WM_MOUSEMOVE, 90, 62, TB_MK_LBUTTON);
    EXPECT_EQ(box->GetPressedItem(), nullptr);
    Send(TB_WM_LBUTTONUP, 90, 62);
    EXPECT_EQ(platform.Drags.size(), 2u);
}

// The dump lists every item with its rectangle in view coordinates; the scrolled-off rows lie
// outside the canvas and the current one is marked selected.
TEST_F(ContentsBox, UiDumpShowsTheRows) {
    Make({u"一", u"二", u"三", u"四", u"五", u"六"});
    box->GetScrollBar()->SetValue(40);
    box->SelectIndex(2);
    rapidjson::Document dump;
    std::string text = TB_UiDumpText();
    ASSERT_FALSE(dump.Parse(text.c_str()).HasParseError());
    const rapidjson::Value* found = nullptr;
    std::vector<const rapidjson::Value*> stack;
    for (const auto& window : dump["Windows"].GetArray()) {
        stack.push_back(&window);
    }
    while (!stack.empty() && !found) {
        const rapidjson::Value* node = stack.back();
        stack.pop_back();
        if (std::strcmp((*node)["Id"].GetString(), "list") == 0) {
            found = node;
        }
        for (const auto& child : (*node)["Children"].GetArray()) {
            stack.push_back(&child);
        }
    }
    ASSERT_NE(found, nullptr);
    const rapidjson::Value& properties = (*found)["Properties"];
    EXPECT_EQ(properties["ItemSize"][0].GetInt(), 196);
    EXPECT_EQ(properties["ItemSize"][1].GetInt(), 24);
    EXPECT_EQ(properties["Scroll"][0]["Value"].GetInt(), 40);
    EXPECT_EQ(properties["Scroll"][0]["Max"].GetInt(), 146);
    const auto& items = properties["Items"];
    ASSERT_EQ(items.Size(), 6u);
    std::vector<int> tops;
    for (const auto& item : items.GetArray()) {
        tops.push_back(static_cast<int>(item["Rect"][1].GetDouble()));
        EXPECT_EQ(item["Selected"].GetBool(), std::strcmp(item["Text"].GetString(), "三") == 0);
        EXPECT_TRUE(item["ItemVisible"].GetBool());
    }
    EXPECT_EQ(tops, (std::vector<int>{-38, -14, 10, 34, 58, 82}));
    EXPECT_EQ(static_cast<int>(items[1]["HitRect"][1].GetDouble()), -14);
}

// With 100,000 items a paint reaches only the rows on the canvas, wherever the view is.
TEST_F(ContentsBox, PaintingReachesOnlyTheRowsOnTheCanvas) {
    Make({});
    std::vector<ClipItem*> items;
    for (int i = 0; i < 100000; ++i) {
        items.push_back(new ClipItem(TB_String(("clip " + std::to_string(i)).c_str())));
        box->AddItem(items.back());
    }
    EXPECT_EQ(box->GetContentHeight(), 2 + 100000 * 24);
    auto Painted = [&]() {
        std::vector<int> painted;
        for (int i = 0; i < 100000; ++i) {
            if (items[static_cast<size_t>(i)]->Paints > 0) {
                painted.push_back(i);
                items[static_cast<size_t>(i)]->Paints = 0;
            }
        }
        return painted;
    };
    Paint();
    EXPECT_EQ(Painted(), (std::vector<int>{0, 1, 2, 3, 4}));
    box->GetScrollBar()->SetValue(24 * 50000 + 12);
    Paint();
    EXPECT_EQ(Painted(), (std::vector<int>{50000, 50001, 50002, 50003, 50004}));
    Send(TB_WM_LBUTTONDOWN, 50, 30, TB_MK_LBUTTON);
    Send(TB_WM_LBUTTONUP, 50, 30);
    EXPECT_EQ(Current(), "clip 50001");
    box->Filter([](TB_ContentsBoxItem* item) { return item->Text.Length() % 2 == 0; });
    Paint();
    std::vector<int> painted = Painted();
    ASSERT_FALSE(painted.empty());
    EXPECT_LE(painted.size(), 6u);
    for (int index : painted) {
        EXPECT_TRUE(items[static_cast<size_t>(index)]->ItemVisible);
    }
}

}  // namespace
