#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <thread>

#include "platform/tb_qt_platform.h"
#include "property_dump.h"
#include "tb_action.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_messagebox.h"
#include "tb_messageloop.h"
#include "tb_popuppanel.h"
#include "tb_screen.h"
#include "tb_scrollbar.h"
#include "tb_scrollpanel.h"

namespace {

// The Qt platform with a fixed pointer and screens, and a count of beeps.
class TestPlatform : public TB_QtPlatform {
public:
    std::vector<TB_Rectangle<int>> WorkAreas() override { return Areas; }
    TB_Vector2 CursorPosition() override { return Pointer; }
    bool KnowsWindowPlaces() override { return Places; }
    void Beep() override { ++Beeps; }
    void SetFocus(TB_WindowHandle window) override {
        Focused = window;
        TB_QtPlatform::SetFocus(window);
    }

    std::vector<TB_Rectangle<int>> Areas{{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
    TB_Vector2 Pointer{0, 0};
    bool Places = true;
    int Beeps = 0;
    TB_WindowHandle Focused = nullptr;
};

class NativeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override { TB_SetPlatform(&platform); }
    void TearDown() override { TB_SetPlatform(&TB_GetQtPlatform()); }

    // A created frame of the given client size at the top-left of the first screen.
    TB_Frame* MakeFrame(float width, float height) {
        auto* frame = new TB_Frame();
        frame->SetBounds(0, 0, width, height);
        frame->Create();
        return frame;
    }

    TestPlatform platform;
};

TB_Rectangle<int> WindowBounds(TB_NativeWidget* widget) {
    return TB_GetPlatform().GetWindowBounds(widget->Window);
}

TEST_F(NativeTest, FractionalBoundsRoundOutwards) {
    TB_Frame* frame = MakeFrame(400, 300);
    auto* child = new TB_NativeWidgetRectangle();
    frame->AddChild(child);
    child->SetBounds(10.5f, 4, 20.25f, 10);
    EXPECT_EQ(WindowBounds(child), (TB_Rectangle<int>{10, 4, 21, 10}));
    EXPECT_EQ(child->AppliedBounds, (TB_Rectangle<int>{10, 4, 21, 10}));
    child->SetBounds(12.2f, 4.9f, 5, 5);
    EXPECT_EQ(WindowBounds(child), (TB_Rectangle<int>{12, 4, 6, 6}));
    frame->Release();
}

TEST_F(NativeTest, DockingFillsTopsBottomsAndTheBandBetween) {
    TB_Frame* frame = MakeFrame(400, 300);
    auto add = [&](tb_int dock, float width, float height) {
        auto* child = new TB_NativeWidgetRectangle();
        child->SetSize(width, height);
        child->Dock = dock;
        frame->AddChild(child);
        return child;
    };
    TB_NativeWidget* top1 = add(TB_DockStyle::Top, 10, 30);
    TB_NativeWidget* top2 = add(TB_DockStyle::Top, 10, 40);
    TB_NativeWidget* fill = add(TB_DockStyle::Fill, 10, 10);
    TB_NativeWidget* bottom1 = add(TB_DockStyle::Bottom, 10, 20);
    TB_NativeWidget* bottom2 = add(TB_DockStyle::Bottom, 10, 25);
    TB_NativeWidget* left = add(TB_DockStyle::Left, 50, 10);
    TB_NativeWidget* right = add(TB_DockStyle::Right, 60, 10);
    frame->PerformLayout();
    EXPECT_EQ(top1->GetBounds(), (TB_Rectangle<float>{0, 0, 400, 30}));
    EXPECT_EQ(top2->GetBounds(), (TB_Rectangle<float>{0, 30, 400, 40}));
    EXPECT_EQ(bottom1->GetBounds(),
              (TB_Rectangle<float>{0, 280, 400, 20}));  // the first is the lowest
    EXPECT_EQ(bottom2->GetBounds(), (TB_Rectangle<float>{0, 255, 400, 25}));
    EXPECT_EQ(left->GetBounds(), (TB_Rectangle<float>{0, 70, 50, 185}));
    EXPECT_EQ(right->GetBounds(), (TB_Rectangle<float>{340, 70, 60, 185}));
    EXPECT_EQ(fill->GetBounds(), (TB_Rectangle<float>{50, 70, 290, 185}));
    EXPECT_EQ(WindowBounds(fill), (TB_Rectangle<int>{50, 70, 290, 185}));

    frame->SetSize(400, 300);
    frame->RemoveChild(left);
    left->Release();
    EXPECT_EQ(fill->GetBounds().x, 0);
    frame->Release();
}

TEST_F(NativeTest, TheSpecExampleOfTwoTopsAndAFill) {
    TB_Frame* frame = MakeFrame(400, 300);
    auto* a = new TB_NativeWidgetRectangle();
    a->SetSize(1, 30);
    a->Dock = TB_DockStyle::Top;
    auto* b = new TB_NativeWidgetRectangle();
    b->SetSize(1, 40);
    b->Dock = TB_DockStyle::Top;
    auto* c = new TB_NativeWidgetRectangle();
    c->Dock = TB_DockStyle::Fill;
    frame->AddChild(a);
    frame->AddChild(b);
    frame->AddChild(c);
    EXPECT_EQ(a->GetBounds(), (TB_Rectangle<float>{0, 0, 400, 30}));
    EXPECT_EQ(b->GetBounds(), (TB_Rectangle<float>{0, 30, 400, 40}));
    EXPECT_EQ(c->GetBounds(), (TB_Rectangle<float>{0, 70, 400, 230}));
    frame->Release();
}

TEST_F(NativeTest, AClosingHandlerThatCancelsKeepsTheWindow) {
    TB_Frame* frame = MakeFrame(200, 100);
    bool cancel = true;
    int asked = 0;
    frame->Closing.Add([&](TB_ClosingEventArg& arg) {
        ++asked;
        arg.Cancel = cancel;
    });
    TB_GetPlatform().RequestClose(frame->Window);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(frame->IsCreated);
    EXPECT_NE(frame->Window, nullptr);
    cancel = false;
    TB_GetPlatform().RequestClose(frame->Window);
    EXPECT_FALSE(frame->IsCreated);
    EXPECT_EQ(frame->Window, nullptr);
    frame->Release();
}

TEST_F(NativeTest, StartPositionsAndScreens) {
    auto* nearPointer = new TB_Frame();
    nearPointer->SetSize(300, 200);
    nearPointer->StartPosition = 2;
    platform.Pointer = TB_Vector2{1900, 500};
    nearPointer->Create();
    // Pushed left so that it ends at the work area's right edge.
    EXPECT_EQ(nearPointer->X, 1920 - 300);
    EXPECT_EQ(nearPointer->Y, 433);  // truncated when the window is made
    auto* centred = new TB_Frame();
    centred->SetSize(100, 40);
    centred->StartPosition = 1;
    centred->Parent = nearPointer;
    centred->Create();
    EXPECT_FLOAT_EQ(centred->X, nearPointer->X + 100);
    centred->Parent = nullptr;
    centred->Release();
    nearPointer->Release();

    TB_Rectangle<int> area;
    EXPECT_TRUE(TB_FindWorkArea(TB_Vector2{1920, 10}, area));  // edges count: the first wins
    EXPECT_EQ(area.x, 0);
    EXPECT_TRUE(TB_FindWorkArea(TB_Vector2{2000, 10}, area));
    EXPECT_EQ(area.x, 1920);
    EXPECT_FALSE(TB_FindWorkArea(TB_Vector2{-5, 10}, area));
    EXPECT_EQ(TB_EnsureOnScreen(TB_Rectangle<float>{100, 100, 10, 10}).x, 100);
    TB_Rectangle<float> moved = TB_EnsureOnScreen(TB_Rectangle<float>{3500, 20, 10, 10});
    EXPECT_EQ(moved.x, 1920);
    EXPECT_EQ(moved.y, 0);
}

// Popups open below their anchor when they fit, else above it where the room is larger,
// never past the work area: cut to the room, and, for a drop-down of a scrolled column, with
// the column scrolling instead of running off the screen.
TEST_F(NativeTest, PopupsStayInsideTheWorkArea) {
    const TB_Rectangle<int> area{0, 0, 1366, 768};
    TB_Rectangle<float> r = TB_PlacePopup(TB_Vector2{200, 300}, TB_Vector2{100, 200}, 170, area);
    EXPECT_EQ(r, (TB_Rectangle<float>{100, 200, 200, 300}));
    r = TB_PlacePopup(TB_Vector2{200, 300}, TB_Vector2{1300, 600}, 570, area);
    EXPECT_EQ(r, (TB_Rectangle<float>{1166, 270, 200, 300}));  // flipped above the anchor, shifted
    r = TB_PlacePopup(TB_Vector2{200, 1800}, TB_Vector2{0, 172}, 140, area);
    EXPECT_EQ(r, (TB_Rectangle<float>{0, 172, 200, 596}));  // more room below: cut there
    r = TB_PlacePopup(TB_Vector2{200, 1800}, TB_Vector2{0, 700}, 690, area);
    EXPECT_EQ(r, (TB_Rectangle<float>{0, 0, 200, 690}));

    platform.Areas = {area};
    struct ColumnPopup : TB_PopupPanel {
        void FitInto(float maxHeight) override {
            TB_PopupPanel::FitInto(maxHeight);
            Column->SetSize(Column->Width, Height);
        }
        TB_ScrollPanel* Column = new TB_ScrollPanel();
    };
    bool scrolls = false;
    // A tall popup dropped from the bottom of a button at (x, y) of a new frame.
    auto dropFrom = [&](TB_Frame* frame, float x, float y) {
        auto* button = new TB_NativeWidgetRectangle();
        button->SetBounds(x, y, 40, 30);
        frame->AddChild(button);
        auto popup = TB_Ref<ColumnPopup>::Adopt(new ColumnPopup());
        TB_ScrollPanel* column = popup->Column;
        column->SetBounds(0, 0, 150, 1800);
        column->SetContentSize(150, 1800);
        popup->AddChild(column);
        popup->SetSize(150, 1800);
        TB_Rectangle<float> shown;
        popup->Shown.Add([&](TB_EventArg&) {
            shown = TB_Rectangle<float>{popup->X, popup->Y, popup->Width, popup->Height};
            scrolls = column->Scrolls() && column->GetScrollBar()->IsVisible();
            popup->Close();
        });
        popup->ShowModal(button, TB_Vector2{0, 30});
        EXPECT_EQ(shown.Bottom(), button->ClientToScreen(TB_Vector2{}).y);  // flipped onto it
        return shown;
    };
    TB_Frame* frame = MakeFrame(1366, 700);
    TB_Rectangle<float> shown = dropFrom(frame, 1300, 600);
    EXPECT_EQ(shown.y, 0);
    EXPECT_EQ(shown.Right(), 1366);
    EXPECT_TRUE(scrolls);
    frame->Release();

    // Where the window system keeps windows' places to itself, the window's own bounds are
    // the room: the screen's would let the popup out of a window that is not at the origin.
    platform.Places = false;
    TB_Frame* small = MakeFrame(800, 500);
    shown = dropFrom(small, 700, 400);
    TB_Rectangle<int> window = platform.GetWindowBounds(small->Window);
    EXPECT_EQ(shown.y, window.y);
    EXPECT_EQ(shown.Right(), window.x + 800);
    platform.Places = true;
    small->Release();
}

TEST_F(NativeTest, TabCyclesAmongFocusableChildrenAndBeepsWhenAlone) {
    TB_Frame* frame = MakeFrame(200, 100);
    auto* only = new TB_NativeWidgetRectangle();
    only->TabStop = true;
    frame->AddChild(only);
    only->MoveFocus(true);
    EXPECT_EQ(platform.Beeps, 1);
    auto* second = new TB_NativeWidgetRectangle();
    second->TabStop = true;
    frame->AddChild(second);
    auto* hidden = new TB_NativeWidgetRectangle();
    hidden->TabStop = true;
    hidden->Visible = false;
    frame->AddChild(hidden);
    only->MoveFocus(false);  // backwards from the first: to the last focusable one
    EXPECT_EQ(platform.Beeps, 1);
    EXPECT_EQ(platform.Focused, second->Window);  // the hidden one is skipped
    second->MoveFocus(true);                      // after the last comes the first
    EXPECT_EQ(platform.Focused, only->Window);
    frame->Release();
}

TEST_F(NativeTest, TooltipsSetBeforeTheWindowExistShowAfter) {
    auto* frame = new TB_Frame();
    auto* child = new TB_NativeWidgetRectangle();
    child->SetToolTip(TB_String(u"再生"));
    auto* silent = new TB_NativeWidgetRectangle();
    silent->SetToolTip(TB_String());
    frame->AddChild(child);
    frame->AddChild(silent);
    frame->Create();
    auto* window = reinterpret_cast<QWidget*>(child->Window);
    EXPECT_EQ(window->toolTip(), QString::fromUtf8("再生"));
    EXPECT_TRUE(reinterpret_cast<QWidget*>(silent->Window)->toolTip().isEmpty());
    child->SetToolTip(TB_String(u"停止"));
    EXPECT_EQ(window->toolTip(), QString::fromUtf8("停止"));
    frame->Release();
}

class CountedAction : public TB_Action {
public:
    CountedAction(std::atomic<int>* destroyed, std::function<void(TB_EventArg&)> run)
        : TB_Action(std::move(run)), m_destroyed(destroyed) {}
    ~CountedAction() override { ++*m_destroyed; }

private:
    std::atomic<int>* m_destroyed;
};

TEST_F(NativeTest, ActionsPostedFromAnotherThreadRunOnceOnTheGuiThread) {
    TB_Frame* frame = MakeFrame(100, 100);
    std::atomic<int> destroyed{0};
    int runs = 0;
    bool onGuiThread = false;
    TB_PostTarget* target = frame->GetPostTarget();
    std::thread poster([&] {
        TB_PostAction(target, new CountedAction(&destroyed, [&](TB_EventArg&) {
                          ++runs;
                          onGuiThread = TB_IsGuiThread();
                      }));
    });
    poster.join();
    TB_GetPlatform().RunEventLoop([&] { return runs > 0; });
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(onGuiThread);
    EXPECT_EQ(destroyed.load(), 1);

    // An action whose window dies first is released all the same.
    TB_PostAction(frame, new CountedAction(&destroyed, [&](TB_EventArg&) { ++runs; }));
    frame->Release();
    QApplication::processEvents();
    EXPECT_EQ(destroyed.load(), 2);
    EXPECT_EQ(runs, 1);
}

TEST_F(NativeTest, MessageLoopsNestAndEndWhenTheirWindowGoes) {
    auto* outer = new TB_Frame();
    auto* inner = new TB_Frame();
    std::vector<std::string> steps;
    outer->Shown.Add([&](TB_EventArg&) {
        steps.push_back("outer shown");
        EXPECT_EQ(TB_GetMainFrame(), outer);
        TB_PostAction(outer, new TB_Action([&](TB_EventArg&) {
                          inner->Shown.Add([&](TB_EventArg&) {
                              steps.push_back("inner shown");
                              TB_PostAction(inner,
                                            new TB_Action([&](TB_EventArg&) { inner->Close(); }));
                          });
                          TB_RunMessageLoop(inner);
                          steps.push_back("inner loop ended");
                          EXPECT_EQ(TB_GetMainFrame(), outer);
                          TB_GetPlatform().RequestClose(outer->Window);
                      }));
    });
    TB_RunMessageLoop(outer);
    EXPECT_EQ(steps, (std::vector<std::string>{"outer shown", "inner shown", "inner loop ended"}));
    EXPECT_EQ(TB_GetMainFrame(), nullptr);
    inner->Release();
    outer->Release();
}

TEST_F(NativeTest, InspectListsTheChildren) {
    auto* frame = new TB_Frame();
    frame->Id = u"main";
    auto* child = new TB_NativeWidgetRectangle();
    child->Id = u"okButton";
    frame->AddChild(child);
    EXPECT_EQ(frame->FindById(TB_String(u"okButton")), child);
    EXPECT_TRUE(frame->Contains(child));
    PropertyDump dump;
    frame->Inspect(dump);
    EXPECT_NE(dump.Text().find("Children:\n  -\n    ID: \"okButton\""), std::string::npos)
        << dump.Text();
    frame->Release();
}

TEST_F(NativeTest, ManyFramesWithManyChildrenComeAndGo) {
    for (int round = 0; round < 100; ++round) {
        auto* frame = new TB_Frame();
        for (int i = 0; i < 1000; ++i) {
            auto* child = new TB_NativeWidgetRectangle();
            child->SetBounds(static_cast<float>(i % 40) * 10, static_cast<float>(i / 40) * 10, 10,
                             10);
            frame->AddChild(child);
        }
        frame->Create();
        EXPECT_EQ(frame->Children.Count(), 1000);
        frame->Release();
    }
    QApplication::processEvents();
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

}  // namespace

namespace {}  // namespace

// A thread that keeps a frame's post target may post at any moment of the frame's life:
// while the frame is made, runs, is closed and after it is freed. Run under ASan.
TEST_F(NativeTest, PostingFromAnotherThreadIsSafeThroughoutTheFramesLife) {
    std::atomic<int> destroyed{0};
    std::atomic<int> posted{0};
    std::atomic<bool> stop{false};
    int runs = 0;
    for (int round = 0; round < 20; ++round) {
        auto* frame = new TB_Frame();
        TB_PostTarget* target = frame->GetPostTarget();
        target->AddRef();
        std::thread poster([&, target] {
            while (!stop.load()) {
                ++posted;
                TB_PostAction(target, new CountedAction(&destroyed, [&](TB_EventArg&) { ++runs; }));
            }
        });
        frame->SetBounds(0, 0, 50, 50);
        int before = runs;
        frame->Create();
        TB_GetPlatform().RunEventLoop([&] { return runs > before; });  // delivered while alive
        frame->Close();
        QApplication::processEvents();
        frame->Release();
        // The frame is gone; the target still takes posts and drops them.
        EXPECT_FALSE(target->Post(new CountedAction(&destroyed, [&](TB_EventArg&) { ++runs; })));
        ++posted;
        stop = true;
        poster.join();
        stop = false;
        target->Release();
    }
    QApplication::processEvents();
    EXPECT_GE(runs, 20);
    EXPECT_EQ(destroyed.load(), posted.load());  // every action released, run or not
}

// Deferred moves (a parent's resize) round like direct moves, so a later identical request
// is rightly skipped and no child ends a pixel short.
TEST_F(NativeTest, DeferredAndDirectMovesRoundAlike) {
    TB_Frame* frame = MakeFrame(400, 300);
    auto* child = new TB_NativeWidgetRectangle();
    frame->AddChild(child);
    frame->BeginDeferLayout();
    child->SetBounds(10.5f, 4.5f, 20.25f, 10.75f);
    frame->EndDeferLayout();
    EXPECT_EQ(WindowBounds(child), (TB_Rectangle<int>{10, 4, 21, 11}));
    child->SetBounds(10.5f, 4.5f, 20.25f, 10.75f);  // the same request, now direct
    EXPECT_EQ(WindowBounds(child), (TB_Rectangle<int>{10, 4, 21, 11}));
    frame->Release();
}

class CountedContainer : public TB_NativeContainer {
public:
    explicit CountedContainer(int* destroyed) : m_destroyed(destroyed) {}
    ~CountedContainer() override { ++*m_destroyed; }

private:
    int* m_destroyed;
};

TEST_F(NativeTest, AReplacedPopupIsFreed) {
    TB_Frame* frame = MakeFrame(200, 200);
    int destroyed = 0;
    auto* first = new CountedContainer(&destroyed);
    frame->ShowPopup(first, frame, TB_Vector2{5, 5}, 0);
    frame->ShowPopup(new CountedContainer(&destroyed), frame, TB_Vector2{5, 5}, 0);
    EXPECT_EQ(destroyed, 1);
    frame->ClosePopup();
    frame->Release();
    EXPECT_EQ(destroyed, 2);
}

// Handlers that free their own frame while its window is dispatching: the dispatch holds a
// count, so the frame dies after the handler returned.
TEST_F(NativeTest, AFrameReleasedByItsOwnHandlersSurvivesTheDispatch) {
    auto* closing = MakeFrame(50, 50);
    closing->Closing.Add([closing](TB_ClosingEventArg&) { closing->Release(); });
    TB_GetPlatform().RequestClose(closing->Window);
    QApplication::processEvents();

    auto* resized = MakeFrame(50, 50);
    bool released = false;
    resized->Resized.Add([&](TB_EventArg&) {
        if (!released) {
            released = true;
            resized->Release();
            resized->SetText(TB_String(u"still here"));  // used after its last count went
        }
    });
    // A resize coming from the platform, not from a caller that holds no count itself.
    reinterpret_cast<QWidget*>(resized->Window)->resize(80, 80);
    QApplication::processEvents();
    EXPECT_TRUE(released);

    auto* posted = MakeFrame(50, 50);
    TB_PostAction(posted, new TB_Action([posted](TB_EventArg&) {
                      posted->Release();
                      posted->Invalidate();
                  }));
    QApplication::processEvents();
    QApplication::processEvents();
}

// A message box whose owner window dies while the box is open (a signal closing the main
// window) neither crashes nor is destroyed twice.
TEST_F(NativeTest, AMessageBoxSurvivesTheDeathOfItsOwner) {
    TB_SetMessageBoxHook(nullptr);
    TB_Frame* frame = MakeFrame(300, 200);
    QTimer::singleShot(0, [frame] { frame->Release(); });
    tb_int answer = TB_ShowPlatformMessageBox(frame->Window, TB_String(u"本文"), TB_String(u"題"),
                                              TB_MB_YESNO | TB_MB_ICONQUESTION);
    EXPECT_EQ(answer, TB_IDNO);
    QApplication::processEvents();

    // With an owner that lives, the box answers as usual, and wears the current style: a
    // dark ground at 200 % gives a dark box with doubled text, not a stock light one.
    TB_GlobalStyle& style = TB_GetGlobalStyle();
    style.ApplyScale(2.0f);
    style.WidgetBackground = TB_GlobalStyle::Hex(0x1F2023);
    style.ForeColor = TB_GlobalStyle::Hex(0xE8E9EC);
    TB_Frame* owner = MakeFrame(300, 200);
    QColor ground, text;
    qreal points = 0;
    QString yes;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                ground = box->palette().color(QPalette::Window);
                text = box->button(QMessageBox::Yes)->palette().color(QPalette::WindowText);
                points = box->button(QMessageBox::Yes)->font().pointSizeF();
                yes = box->button(QMessageBox::Yes)->text();
                box->button(QMessageBox::Yes)->click();
            }
        }
    });
    EXPECT_EQ(
        TB_ShowPlatformMessageBox(owner->Window, TB_String(u"本文"), TB_String(u"題"), TB_MB_YESNO),
        TB_IDYES);
    style.ResetToBuiltIn();
    EXPECT_EQ(ground.name(), QStringLiteral("#1f2023"));
    EXPECT_EQ(text.name(), QStringLiteral("#e8e9ec"));
    EXPECT_DOUBLE_EQ(points, 21.0);
    EXPECT_EQ(yes, QStringLiteral("はい"));
    // A destructive question defaults to No: what Enter presses is the box's default button.
    QTimer::singleShot(0, [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                box->defaultButton()->click();
            }
        }
    });
    EXPECT_EQ(TB_ShowPlatformMessageBox(owner->Window, TB_String(u"本文"), TB_String(u"題"),
                                        TB_MB_YESNO | TB_MB_DEFBUTTON2),
              TB_IDNO);
    owner->Release();
}
