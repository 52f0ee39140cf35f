#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "platform/tb_qt_platform.h"
#include "tb_error.h"
#include "tb_frame.h"
#include "tb_framework.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_menupanel.h"
#include "tb_messageloop.h"
#include "tb_popuppanel.h"

namespace {

// The Qt platform on one 1024 x 768 screen.
class ScreenPlatform : public TB_QtPlatform {
public:
    std::vector<TB_Rectangle<int>> WorkAreas() override { return {{0, 0, 1024, 768}}; }
};

class Menus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override {
        TB_AppDescriptor descriptor;
        TB_FrameworkStartup(descriptor);
        TB_SetPlatform(&platform);
        frame = new TB_Frame();
        frame->SetBounds(0, 0, 600, 400);
        frame->Create();
    }
    void TearDown() override {
        frame->Release();
        QApplication::processEvents();
        TB_SetPlatform(&TB_GetQtPlatform());
        TB_FrameworkShutdown();
    }
    TB_Action* Command(const char16_t* caption, const char16_t* shortcut = u"") {
        auto* action = new TB_Action(
            caption, caption,
            [this, caption](TB_EventArg&) { ran.push_back(TB_String(caption).ToStdString()); },
            shortcut);
        actions.push_back(TB_Ref<TB_Action>::Adopt(action));
        return action;
    }
    float TextWidth(const TB_String& text, TB_Font* font) {
        TB_Graphics* g = TB_GetMeasureGraphics();
        TB_Font* before = g->Font;
        g->Font = font;
        float width = g->MeasureString(text).x;
        g->Font = before;
        return width;
    }
    static QWidget* WindowOf(TB_NativeWidget* widget) {
        return reinterpret_cast<QWidget*>(widget->Window);
    }
    // A real pointer event on the panel's window, through Qt's handling of popups.
    static void Mouse(TB_NativeWidget* panel, bool press, QPoint at) {
        QWindow* window = WindowOf(panel)->windowHandle();
        if (press) {
            QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, at);
        } else {
            QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, at);
        }
    }
    static void Move(TB_NativeWidget* panel, QPoint at) {
        QTest::mouseMove(WindowOf(panel)->windowHandle(), at);
    }
    static QPoint Centre(TB_MenuItem* item) {
        const TB_Rectangle<float>& r = item->ItemRect;
        return QPoint(static_cast<int>(r.x + 5), static_cast<int>(r.y + r.height / 2));
    }
    static void Key(TB_NativeWidget* panel, int key) {
        QTest::keyClick(WindowOf(panel)->windowHandle(), static_cast<Qt::Key>(key));
    }

    ScreenPlatform platform;
    TB_Frame* frame = nullptr;
    std::vector<TB_Ref<TB_Action>> actions;
    std::vector<std::string> ran;
};

TEST_F(Menus, LayoutWidthsSeparatorsAndInvisibleItems) {
    auto items = TB_Ref<TB_MenuItemList>::Adopt(new TB_MenuItemList());
    items->Add(new TB_MenuButton(Command(u"再生")));
    items->Add(new TB_MenuButton(Command(u"フォルダーを開く")));
    auto panel = TB_Ref<TB_MenuPanel>::Adopt(new TB_MenuPanel(items.Get()));
    float tw = TextWidth(u"フォルダーを開く", panel->Font);
    EXPECT_FLOAT_EQ(panel->Width, std::ceil(tw + 14.4f + 33));
    EXPECT_FLOAT_EQ(panel->Height, std::ceil(3 + 3 + 48));

    auto shortcut = TB_Ref<TB_MenuItemList>::Adopt(new TB_MenuItemList());
    shortcut->Add(new TB_MenuButton(Command(u"再生")));
    shortcut->Add(new TB_MenuButton(Command(u"フォルダーを開く", u"Ctrl+Shift+F12")));
    auto wider = TB_Ref<TB_MenuPanel>::Adopt(new TB_MenuPanel(shortcut.Get()));
    float sw = TextWidth(u"Ctrl+Shift+F12", wider->Font);
    EXPECT_FLOAT_EQ(wider->Width, std::ceil(tw + 14.4f + 33 + sw + 40));
    EXPECT_FLOAT_EQ(wider->ShortcutColumnX, 3 + tw + 40);

    items->Add(new TB_MenuSeparator());
    auto* hidden = new TB_MenuButton(Command(u"隠れた"));
    hidden->Visible = false;
    items->Add(hidden);
    items->Add(new TB_MenuButton(Command(u"最後")));
    auto more = TB_Ref<TB_MenuPanel>::Adopt(new TB_MenuPanel(items.Get()));
    EXPECT_FLOAT_EQ(more->Height, std::ceil(3 + 3 + 24 * 3 + 6));
    EXPECT_FLOAT_EQ(items->Items[2]->ItemRect.height, 6);
    EXPECT_FLOAT_EQ(items->Items[4]->ItemRect.y, 3 + 48 + 6);
}

TEST_F(Menus, HoverExecuteCheckItemsAndDisabledItems) {
    auto items = TB_Ref<TB_MenuItemList>::Adopt(new TB_MenuItemList());
    items->Add(new TB_MenuButton(Command(u"再生")));
    TB_Action* checkAction = Command(u"並べ替え");
    auto* check = new TB_MenuCheckBox(checkAction);
    bool checkedWhenRun = false;
    checkAction->Executed.Add([&](TB_EventArg&) { checkedWhenRun = check->Checked; });
    items->Add(check);
    auto* disabled = new TB_MenuButton(Command(u"無効"));
    disabled->Action->Enabled = false;
    items->Add(disabled);
    auto* panel = new TB_MenuPanel(items.Get());
    int closed = 0;
    frame->PopupClosed.Add([&](TB_EventArg&) { ++closed; });
    frame->ShowPopup(panel, frame, TB_Vector2{20, 20}, 0);
    ASSERT_TRUE(panel->Window);

    Move(panel, Centre(disabled));
    EXPECT_FALSE(disabled->Hovered);  // never hovered
    Mouse(panel, true, Centre(disabled));
    Mouse(panel, false, Centre(disabled));
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(panel->IsCreated);

    Move(panel, Centre(check));
    EXPECT_TRUE(check->Hovered);
    Mouse(panel, true, Centre(check));
    Mouse(panel, false, Centre(check));
    EXPECT_EQ(ran, (std::vector<std::string>{"並べ替え"}));
    EXPECT_TRUE(checkedWhenRun);     // inverted before the action ran
    EXPECT_FALSE(panel->IsCreated);  // the menu closed
    EXPECT_EQ(closed, 1);
}

TEST_F(Menus, APressOutsideClosesWithoutRunningAnything) {
    auto items = TB_Ref<TB_MenuItemList>::Adopt(new TB_MenuItemList());
    items->Add(new TB_MenuButton(Command(u"再生")));
    auto* panel = new TB_MenuPanel(items.Get());
    frame->ShowPopup(panel, frame, TB_Vector2{20, 20}, 0);
    Move(panel, Centre(items->Items[0]));
    ASSERT_EQ(QApplication::activePopupWidget(), WindowOf(panel));
    Mouse(panel, true, QPoint(-200, -10));  // outside the popup
    QApplication::processEvents();
    EXPECT_FALSE(panel->IsCreated);
    EXPECT_FALSE(frame->HasChild(panel));
    EXPECT_TRUE(ran.empty());
}

TEST_F(Menus, SubmenusOpenBesideAndFlipLeftAtTheEdge) {
    auto items = TB_Ref<TB_MenuItemList>::Adopt(new TB_MenuItemList());
    auto* sub = new TB_MenuSubMenuItem(u"表示サイズ");
    sub->Add(new TB_MenuButton(Command(u"100%")));
    sub->Add(new TB_MenuButton(Command(u"150%")));
    items->Add(new TB_MenuButton(Command(u"再生")));
    items->Add(sub);
    auto* panel = new TB_MenuPanel(items.Get());
    frame->ShowPopup(panel, nullptr, TB_Vector2{100, 100}, 0);
    Move(panel, Centre(sub));
    ASSERT_NE(panel->SubMenuPanel, nullptr);
    EXPECT_FLOAT_EQ(panel->SubMenuPanel->X,
                    100 + std::trunc(sub->ItemRect.x + sub->ItemRect.width));
    EXPECT_TRUE(panel->IsActive());
    // Into the submenu and a click there runs its item and closes the whole menu.
    TB_MenuPanel* subPanel = panel->SubMenuPanel;
    TB_MenuItem* second = sub->Items->Items[1];
    Move(subPanel, Centre(second));
    Mouse(subPanel, true, Centre(second));
    Mouse(subPanel, false, Centre(second));
    EXPECT_EQ(ran, (std::vector<std::string>{"150%"}));
    EXPECT_FALSE(panel->IsCreated);

    // Near the right edge of the screen the submenu opens to the left of its item.
    auto* edge = new TB_MenuPanel(items.Get());
    frame->ShowPopup(edge, nullptr, TB_Vector2{1024 - edge->Width - 2, 100}, 0);
    Move(edge, Centre(sub));
    ASSERT_NE(edge->SubMenuPanel, nullptr);
    EXPECT_LT(edge->SubMenuPanel->X + edge->SubMenuPanel->Width, edge->X + sub->ItemRect.x + 1);
    frame->ClosePopup();
}

TEST_F(Menus, KeysMoveRunAndCloseInnermostFirst) {
    auto items = TB_Ref<TB_MenuItemList>::Adopt(new TB_MenuItemList());
    auto* sub = new TB_MenuSubMenuItem(u"スタイル");
    sub->Add(new TB_MenuButton(Command(u"ライト")));
    sub->Add(new TB_MenuButton(Command(u"ダーク")));
    items->Add(new TB_MenuButton(Command(u"再生")));
    items->Add(new TB_MenuSeparator());
    items->Add(sub);
    auto* panel = new TB_MenuPanel(items.Get());
    frame->ShowPopup(panel, frame, TB_Vector2{10, 10}, 0);
    Key(panel, Qt::Key_Down);
    EXPECT_TRUE(items->Items[0]->Hovered);
    Key(panel, Qt::Key_Down);  // over the separator
    EXPECT_TRUE(sub->Hovered);
    Key(panel, Qt::Key_Right);
    ASSERT_NE(panel->SubMenuPanel, nullptr);
    TB_MenuPanel* subPanel = panel->SubMenuPanel;
    EXPECT_TRUE(sub->Items->Items[0]->Hovered);
    Key(subPanel, Qt::Key_Escape);  // only the submenu closes
    EXPECT_EQ(panel->SubMenuPanel, nullptr);
    EXPECT_TRUE(panel->IsCreated);
    Key(panel, Qt::Key_Right);
    Key(panel->SubMenuPanel, Qt::Key_Down);
    Key(panel->SubMenuPanel, Qt::Key_Return);
    EXPECT_EQ(ran, (std::vector<std::string>{"ダーク"}));
    EXPECT_FALSE(panel->IsCreated);

    auto* again = new TB_MenuPanel(items.Get());
    frame->ShowPopup(again, frame, TB_Vector2{10, 10}, 0);
    Key(again, Qt::Key_Escape);
    EXPECT_FALSE(again->IsCreated);
    EXPECT_EQ(ran.size(), 1u);
}

TEST_F(Menus, PopupPanelsStayOnScreenAndRunModally) {
    auto popup = TB_Ref<TB_PopupPanel>::Adopt(new TB_PopupPanel());
    auto* child = new TB_NativeWidgetRectangle();
    child->SetBounds(4, 4, 200, 100);
    popup->AddChild(child);
    popup->AutoSize = true;
    popup->SetPosition(TB_Vector2{100, 700});  // its bottom would pass the screen's
    bool shownWhileModal = false;
    popup->Shown.Add([&](TB_EventArg&) {
        shownWhileModal = true;
        EXPECT_FLOAT_EQ(popup->Width, 208);
        EXPECT_FLOAT_EQ(popup->Height, 108);
        EXPECT_FLOAT_EQ(popup->Y, 768 - 108);  // moved up to touch the work area's bottom
        TB_PostAction(popup.Get(), new TB_Action([&](TB_EventArg&) {
                          TB_GetPlatform().RequestClose(popup->Window);
                      }));
    });
    popup->ShowModal(frame, TB_Vector2{100, 700});
    EXPECT_TRUE(shownWhileModal);  // and the nested loop returned once it closed
    EXPECT_FALSE(popup->IsCreated);
    EXPECT_FALSE(frame->KeepActiveLook);
    EXPECT_EQ(popup->Parent, nullptr);

    // Without a frame above the anchor nothing is shown and an internal error is logged.
    auto lone = TB_Ref<TB_NativeWidgetRectangle>::Adopt(new TB_NativeWidgetRectangle());
    tb_int before = TB_Error::RecordCount();
    auto orphan = TB_Ref<TB_PopupPanel>::Adopt(new TB_PopupPanel());
    orphan->ShowModal(lone.Get(), TB_Vector2{0, 0});
    EXPECT_EQ(TB_Error::RecordCount(), before + 1);
    EXPECT_FALSE(orphan->IsCreated);
}

}  // namespace
