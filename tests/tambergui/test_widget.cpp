#include <gtest/gtest.h>

#include "fake_platform.h"
#include "property_dump.h"
#include "tb_widget.h"

namespace {

// A widget without a window: bounds and flags are stored, MoveFocus is recorded.
class TestWidget : public TB_Widget {
public:
    void Create() override {}
    void SetText(const TB_String& text) override { m_text = text; }
    const TB_String& GetText() override { return m_text; }
    TB_Vector2 GetPosition() override { return {m_bounds.x, m_bounds.y}; }
    void SetPosition(const TB_Vector2& p) override {
        m_bounds.x = p.x;
        m_bounds.y = p.y;
    }
    TB_Vector2 GetSize() override { return {m_bounds.width, m_bounds.height}; }
    void SetSize(const TB_Vector2& s) override {
        m_bounds.width = s.x;
        m_bounds.height = s.y;
    }
    TB_Rectangle<float> GetBounds() override { return m_bounds; }
    void SetBounds(const TB_Rectangle<float>& b) override { m_bounds = b; }
    TB_Rectangle<float> GetClientRectangle() override {
        return {0, 0, m_bounds.width, m_bounds.height};
    }
    bool ContainsFocus() override { return m_focused; }
    bool IsFocused() override { return m_focused; }
    void SetFocus() override { m_focused = true; }
    void SetVisible(bool v) override { m_visible = v; }
    bool IsVisible() override { return m_visible; }
    void SetEnable(bool e) override { m_enable = e; }
    bool IsEnable() override { return m_enable; }
    TB_Vector2 ClientToScreen(const TB_Vector2& p) override { return p; }
    void Close() override {}
    void Invalidate(const TB_Rectangle<float>&) override {}
    void Invalidate() override {}
    void MoveFocus(bool forward) override { FocusMoves.push_back(forward); }
    void PerformLayout() override { ++Layouts; }

    std::vector<bool> FocusMoves;
    int Layouts = 0;

private:
    TB_String m_text;
    TB_Rectangle<float> m_bounds{0, 0, 100, 50};
    bool m_focused = false;
    bool m_visible = true;
    bool m_enable = true;
};

class WidgetInput : public ::testing::Test {
protected:
    // Never dereferenced: the fake platform only records the calls.
    TB_WindowHandle const kWindow = reinterpret_cast<TB_WindowHandle>(&events);

    bool Send(tb_uint message, tb_uint64 wParam, int x, int y) {
        tb_int64 result = -1;
        return widget->HandlePointerMessage(nullptr, message, wParam, TB_MakePointLParam(x, y),
                                            result);
    }
    bool Key(tb_uint message, tb_uint64 wParam) {
        tb_int64 result = -1;
        return widget->HandleKeyMessage(kWindow, message, wParam, 0, result);
    }
    void ClickAt(int x, int y) {
        Send(TB_WM_LBUTTONDOWN, TB_MK_LBUTTON, x, y);
        Send(TB_WM_LBUTTONUP, 0, x, y);
    }
    void TearDown() override { widget->Release(); }

    FakePlatform platform;
    TestWidget* widget = new TestWidget();
    std::vector<std::string> events;
};

TEST_F(WidgetInput, ClickNeedsTheReleaseInsideAndEdgesCount) {
    widget->MouseDown.Add([&](TB_MouseEventArg&) { events.push_back("down"); });
    widget->MouseUp.Add([&](TB_MouseEventArg&) { events.push_back("up"); });
    widget->Click.Add(
        [&](TB_MouseEventArg& a) { events.push_back("click " + std::to_string(int(a.X))); });

    Send(TB_WM_LBUTTONDOWN, TB_MK_LBUTTON, 10, 10);
    Send(TB_WM_LBUTTONUP, 0, 101, 10);  // outside: width is 100
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));
    EXPECT_EQ(platform.Calls, (std::vector<std::string>{"capture", "release"}));

    events.clear();
    platform.Now += 1000;
    Send(TB_WM_LBUTTONDOWN, TB_MK_LBUTTON, 10, 10);
    Send(TB_WM_LBUTTONUP, 0, 100, 50);  // exactly on the right and bottom edges
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up", "click 100"}));

    events.clear();
    Send(TB_WM_LBUTTONUP, 0, 5, 5);  // a release without a press gives no click
    EXPECT_EQ(events, (std::vector<std::string>{"up"}));
}

TEST_F(WidgetInput, DoubleClickWindowIsMeasuredFromTheFirstClick) {
    widget->Click.Add([&](TB_MouseEventArg&) { events.push_back("click"); });
    widget->DoubleClick.Add([&](TB_MouseEventArg&) { events.push_back("double"); });

    ClickAt(5, 5);
    platform.Now += 250;
    ClickAt(5, 5);
    EXPECT_EQ(events, (std::vector<std::string>{"click", "click", "double"}));
    platform.Now += 1;  // 251 ms after the first click of the series
    ClickAt(5, 5);
    EXPECT_EQ(events.back(), "click");
    EXPECT_EQ(widget->ClickCount, 1);

    events.clear();
    platform.Now += 1000;
    ClickAt(5, 5);
    platform.Now += 251;
    ClickAt(5, 5);
    EXPECT_EQ(events, (std::vector<std::string>{"click", "click"}));

    events.clear();
    platform.Now += 1000;
    ClickAt(5, 5);
    platform.Now += 100;
    ClickAt(5, 5);
    platform.Now += 100;
    ClickAt(5, 5);  // a third quick click: a third Click, no second DoubleClick
    EXPECT_EQ(events, (std::vector<std::string>{"click", "click", "double", "click"}));
}

// The click clock is 32 bits wide and wraps after 49.7 days (and turns negative as a signed
// number after 24.8): double clicks keep working across both points.
TEST_F(WidgetInput, DoubleClicksWorkAcrossTheWrapOfTheClock) {
    widget->DoubleClick.Add([&](TB_MouseEventArg&) { events.push_back("double"); });
    for (tb_uint64 start : {tb_uint64{0x7FFFFF80}, tb_uint64{0xFFFFFF80}, tb_uint64{0x1FFFFFF80}}) {
        events.clear();
        platform.Now = start;
        ClickAt(5, 5);
        platform.Now = start + 200;  // the low 32 bits have wrapped or changed sign
        ClickAt(5, 5);
        EXPECT_EQ(events, (std::vector<std::string>{"double"})) << start;
        platform.Now = start + 5000;
        ClickAt(5, 5);
        platform.Now = start + 5300;  // too slow: no double click
        ClickAt(5, 5);
        EXPECT_EQ(events, (std::vector<std::string>{"double"})) << start;
    }
}

TEST_F(WidgetInput, ClickReportsTheButtonThatWasPressed) {
    TB_MouseEventArg seen;
    widget->Click.Add([&](TB_MouseEventArg& a) { seen = a; });
    platform.Held.insert(TB_VK_MENU);
    Send(TB_WM_RBUTTONDOWN, TB_MK_RBUTTON | TB_MK_SHIFT, 3, 4);
    Send(TB_WM_RBUTTONUP, TB_MK_SHIFT, 3, 4);
    EXPECT_TRUE(seen.Right);
    EXPECT_FALSE(seen.Left);
    EXPECT_TRUE(seen.Shift);
    EXPECT_TRUE(seen.Alt);
    EXPECT_FLOAT_EQ(seen.Y, 4);

    Send(TB_WM_XBUTTONDOWN, (static_cast<tb_uint64>(TB_XBUTTON1) << 16) | TB_MK_SHIFT, 7, 8);
    Send(TB_WM_XBUTTONUP, static_cast<tb_uint64>(TB_XBUTTON1) << 16, 7, 8);
    EXPECT_TRUE(seen.XButton1);
    EXPECT_FALSE(seen.Shift);  // extra buttons carry only the position and the button
    EXPECT_FALSE(seen.Right);
}

TEST_F(WidgetInput, NegativeCoordinatesAndFocusOnPress) {
    TB_MouseEventArg seen;
    widget->MouseMove.Add([&](TB_MouseEventArg& a) { seen = a; });
    widget->MouseEnter.Add([&](TB_EventArg&) { events.push_back("enter"); });
    widget->MouseLeave.Add([&](TB_EventArg&) { events.push_back("leave"); });
    EXPECT_TRUE(Send(TB_WM_MOUSEMOVE, 0, -5, -20));
    EXPECT_TRUE(Send(TB_WM_MOUSEMOVE, 0, 6, 7));
    EXPECT_FLOAT_EQ(seen.X, 6);
    EXPECT_FALSE(Send(TB_WM_MOUSELEAVE, 0, 0, 0));
    Send(TB_WM_MOUSEMOVE, 0, -5, -20);
    EXPECT_FLOAT_EQ(seen.X, -5);
    EXPECT_FLOAT_EQ(seen.Y, -20);
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave", "enter"}));

    platform.Calls.clear();
    widget->FocusOnPress = true;
    Send(TB_WM_MBUTTONDOWN, TB_MK_MBUTTON, 1, 1);
    EXPECT_EQ(platform.Calls, (std::vector<std::string>{"capture", "focus"}));
}

TEST_F(WidgetInput, CursorsAreShownOnlyWhenTheWidgetHasOne) {
    EXPECT_FALSE(Send(TB_WM_SETCURSOR, 0, 0, 0));
    widget->MouseMove.Add([&](TB_MouseEventArg&) { widget->Cursor = TB_CursorKind::Hand; });
    Send(TB_WM_MOUSEMOVE, 0, 1, 1);
    EXPECT_EQ(platform.Calls.back(), "cursor 11");
    tb_int64 result = 0;
    EXPECT_TRUE(widget->HandlePointerMessage(nullptr, TB_WM_SETCURSOR, 0, 0, result));
    EXPECT_EQ(result, 1);
}

TEST_F(WidgetInput, WheelIsHandledOnlyWithHandlers) {
    tb_uint64 wParam =
        (static_cast<tb_uint64>(static_cast<std::uint16_t>(-240)) << 16) | TB_MK_SHIFT;
    EXPECT_FALSE(Send(TB_WM_MOUSEWHEEL, wParam, 150, 80));
    TB_MouseEventArg seen;
    widget->MouseWheel.Add([&](TB_MouseEventArg& a) { seen = a; });
    platform.Held.insert(TB_VK_CONTROL);
    EXPECT_TRUE(Send(TB_WM_MOUSEWHEEL, wParam, 150, 80));
    EXPECT_FLOAT_EQ(seen.WheelDelta, -2.0f);
    EXPECT_FLOAT_EQ(seen.X, 50);  // screen to client
    EXPECT_FLOAT_EQ(seen.Y, 30);
    EXPECT_TRUE(seen.Shift);
    EXPECT_TRUE(seen.Control);
}

TEST_F(WidgetInput, TabMovesTheFocusUnlessTheWidgetAcceptsIt) {
    widget->KeyDown.Add(
        [&](TB_KeyEventArg& a) { events.push_back("key " + std::to_string(a.KeyCode)); });
    EXPECT_TRUE(Key(TB_WM_KEYDOWN, TB_VK_TAB));
    platform.Held.insert(TB_VK_SHIFT);
    EXPECT_TRUE(Key(TB_WM_KEYDOWN, TB_VK_TAB));
    EXPECT_EQ(widget->FocusMoves, (std::vector<bool>{true, false}));
    EXPECT_TRUE(events.empty());

    widget->AcceptsTab = true;
    EXPECT_FALSE(Key(TB_WM_KEYDOWN, TB_VK_TAB));  // reaches KeyDown, not handled
    EXPECT_EQ(events, (std::vector<std::string>{"key 9"}));
}

TEST_F(WidgetInput, KeysAreHandledOnlyWhenAHandlerSaysSo) {
    EXPECT_FALSE(Key(TB_WM_SYSKEYDOWN, TB_VK_F1 + 3));  // Alt+F4 goes on to the platform
    widget->KeyDown.Add([](TB_KeyEventArg& a) { a.Handled = a.KeyCode == TB_VK_RETURN; });
    EXPECT_TRUE(Key(TB_WM_KEYDOWN, TB_VK_RETURN));
    EXPECT_FALSE(Key(TB_WM_KEYDOWN, TB_VK_A));
    EXPECT_FALSE(Key(TB_WM_KEYUP, TB_VK_TAB));  // Tab is not special on release

    tb_char typed = 0;
    widget->KeyChar.Add([&](TB_KeyCharEventArg& a) {
        typed = a.Char;
        a.Handled = true;
    });
    EXPECT_TRUE(Key(TB_WM_CHAR, 0x3042));
    EXPECT_EQ(typed, u'\u3042');

    widget->ImePositionX = 12;
    widget->ImePositionY = 34;
    EXPECT_FALSE(Key(TB_WM_IME_STARTCOMPOSITION, 0));
    widget->SetImeOpen(true);  // no input context yet: nothing
    EXPECT_FALSE(Key(TB_WM_IME_SETCONTEXT, 1));
    widget->SetImeOpen(false);
    EXPECT_EQ(platform.Calls,
              (std::vector<std::string>{"ime at 12,34", "ime context", "ime closed"}));
}

TEST_F(WidgetInput, AHandlerThatReleasesTheWidgetDoesNotLeaveItDangling) {
    widget->AddRef();
    widget->MouseUp.Add([this](TB_MouseEventArg&) { widget->Release(); });
    widget->Click.Add([&](TB_MouseEventArg&) { events.push_back("click"); });
    ClickAt(1, 1);
    EXPECT_EQ(events, (std::vector<std::string>{"click"}));
}

TEST(Event, HandlersRunInOrderAndOnesAddedDuringAFiringRunInIt) {
    TB_Event<TB_EventArg> event;
    std::vector<int> order;
    event.Add([&](TB_EventArg&) {
        order.push_back(1);
        if (order.size() == 1) {
            event.Add([&](TB_EventArg&) { order.push_back(3); });
        }
    });
    event.Add([&](TB_EventArg&) { order.push_back(2); });
    TB_EventArg arg;
    event.Fire(arg);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

struct Owner {
    void OnEvent(TB_KeyEventArg& arg) {
        ++calls;
        arg.Handled = true;
    }
    void Other(TB_KeyEventArg&) {}
    int calls = 0;
};

TEST(Event, ObjectHandlersCompareByOwnerMethodAndTag) {
    Owner a, b;
    auto* first = new TB_EventHandlerObject<Owner, TB_KeyEventArg>(&a, &Owner::OnEvent);
    auto* same = new TB_EventHandlerObject<Owner, TB_KeyEventArg>(&a, &Owner::OnEvent);
    auto* otherOwner = new TB_EventHandlerObject<Owner, TB_KeyEventArg>(&b, &Owner::OnEvent);
    auto* otherMethod = new TB_EventHandlerObject<Owner, TB_KeyEventArg>(&a, &Owner::Other);
    auto* lambda = new TB_EventHandlerLambda<TB_KeyEventArg>([](TB_KeyEventArg&) {});
    EXPECT_TRUE(first->Equals(same));
    EXPECT_FALSE(first->Equals(otherOwner));
    EXPECT_FALSE(first->Equals(otherMethod));
    EXPECT_FALSE(first->Equals(lambda));
    EXPECT_FALSE(lambda->Equals(lambda));
    int tag = 0;
    same->Tag = &tag;
    EXPECT_FALSE(first->Equals(same));

    TB_Event<TB_KeyEventArg> event;
    event.Add(first);
    event.Add(same);
    TB_KeyEventArg arg;
    event.Fire(arg);
    EXPECT_EQ(a.calls, 2);
    EXPECT_EQ(arg.Tag, &tag);  // each handler writes its own tag before its call
    EXPECT_TRUE(arg.Handled);
    for (auto* handler : {otherOwner, otherMethod}) {
        handler->Release();
    }
    lambda->Release();

    TB_Event<TB_KeyEventArg> empty;
    empty.Add(std::function<void(TB_KeyEventArg&)>());
    EXPECT_THROW(empty.Fire(arg), std::bad_function_call);
}

TEST(Widget, FindByIdDockAndInspect) {
    auto* parent = new TestWidget();
    auto* child = new TestWidget();
    EXPECT_EQ(child->FindById(TB_String()), child);  // both empty
    child->Id = u"okButton";
    EXPECT_EQ(child->FindById(TB_String()), nullptr);
    EXPECT_EQ(child->FindById(TB_String(u"okButton")), child);
    child->SetText(TB_String(u"OK"));
    EXPECT_EQ(child->FindByText(TB_String(u"OK")), child);

    child->SetDock(TB_DockStyle::Top);  // no parent: only stored
    EXPECT_EQ(child->GetDock(), TB_DockStyle::Top);
    child->Parent = parent;
    child->SetDock(TB_DockStyle::Fill);
    EXPECT_EQ(parent->Layouts, 1);
    EXPECT_TRUE(child->Contains(child));
    EXPECT_FALSE(child->Contains(parent));

    child->SetBounds({10.5f, 2, 80, 24});
    child->SetFocus();
    child->SetEnable(false);
    PropertyDump dump;
    EXPECT_TRUE(child->Inspect(dump));
    EXPECT_EQ(dump.Text(),
              "ID: \"okButton\"\n"
              "Text: \"OK\"\n"
              "BackgroundColor: rgba(0.25098, 0.25098, 0.25098, 1)\n"
              "Bounds: [10.5, 2, 80, 24]\n"
              "Focus: true\n"
              "Visible: true\n"
              "Enable: false\n");
    EXPECT_FLOAT_EQ(child->GetRight(), 90.5f);
    EXPECT_FLOAT_EQ(child->GetClientSize().y, 24);
    child->Release();
    parent->Release();
}

}  // namespace
