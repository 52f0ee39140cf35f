#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_platform.h"
#include "tb_frame.h"
#include "tb_framework.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tc_searchtextbox.h"

namespace {

tb_uint Argb(const TB_Color& c) {
    auto byte = [](float v) { return static_cast<tb_uint>(v * 255.0f) & 0xFF; };
    return (byte(c.a) << 24) | (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
}

class SearchTextBox : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override {
        TB_AppDescriptor descriptor;
        TB_FrameworkStartup(descriptor);
        TB_GetGlobalStyle().ResetToBuiltIn();
        frame = new TB_Frame();
        frame->SetBounds(0, 0, 400, 200);
        box = new TC_SearchTextBox();
        box->SetBounds(10, 10, 300, box->Height);
        frame->AddChild(box);
        box->SearchTextChanged.Add(
            [this](TB_EventArg&) { seen.push_back(box->GetText().ToStdString()); });
        frame->Create();
        ASSERT_TRUE(frame->IsCreated);
        TB_GetPlatform().SetForegroundWindow(frame->Window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(static_cast<QWidget*>(frame->Window)));
    }
    void TearDown() override {
        frame->Release();
        QApplication::processEvents();
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_FrameworkShutdown();
    }
    QLineEdit* Edit() {
        return static_cast<QWidget*>(box->TextField->Window)->findChild<QLineEdit*>();
    }

    TB_Frame* frame = nullptr;
    TC_SearchTextBox* box = nullptr;
    std::vector<std::string> seen;  // the box's text inside each SearchTextChanged
};

TEST_F(SearchTextBox, TypingAndClearingReportEveryChangeWithTheNewText) {
    box->TextField->SetFocus();
    QApplication::processEvents();
    QTest::keyClicks(Edit(), "ab");
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "ab"}));
    EXPECT_EQ(box->GetText().ToStdString(), "ab");

    seen.clear();
    box->ClearButton->SetFocus();  // the click of a real pointer would take it there first
    QApplication::processEvents();
    box->GetClearButton()->PerformClick();
    QApplication::processEvents();
    EXPECT_EQ(seen, (std::vector<std::string>{""}));
    EXPECT_TRUE(box->GetText().IsEmpty());
    EXPECT_TRUE(Edit()->text().isEmpty());
    EXPECT_TRUE(box->TextField->IsFocused());  // ready for the next search
}

TEST_F(SearchTextBox, SquaresOfTheBoxHeightAndTheMagnifier) {
    EXPECT_FLOAT_EQ(box->Height, 24);
    EXPECT_EQ(box->IconCanvas->GetBounds(), (TB_Rectangle<float>{2, 0, 18, 24}));
    EXPECT_EQ(box->TextField->GetBounds(), (TB_Rectangle<float>{24, 0, 300 - 48, 24}));
    EXPECT_EQ(box->ClearButton->GetBounds(), (TB_Rectangle<float>{300 - 24, 0, 24, 24}));
    EXPECT_EQ(box->IconCanvas->Id.ToStdString(), "iconCanvas");
    EXPECT_EQ(box->TextField->Id.ToStdString(), "filterText");
    EXPECT_EQ(box->ClearButton->Id.ToStdString(), "clearTextButton");
    EXPECT_EQ(box->ClearButton->NormalImage, &box->ClearIcon);

    // The magnifier fills the 18 x 18 square at (2, 3) of the box in the fore colour.
    auto bitmap = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(18, 24));
    auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(bitmap.Get()));
    TB_PaintEventArg arg;
    arg.Graphics = graphics.Get();
    box->IconCanvas->OnPaint(arg);
    tb_uint ground = Argb(box->GetBackgroundColor());
    tb_uint fore = Argb(TB_GetGlobalStyle().ForeColor);
    int top = 24, bottom = -1, left = 18, right = -1;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 18; ++x) {
            tb_uint pixel = *bitmap->PixelAt(x, y);
            if (pixel != ground) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    EXPECT_GE(top, 3);
    EXPECT_LE(bottom, 20);
    EXPECT_LE(top, 5);  // the lens reaches near the square's top and left
    EXPECT_LE(left, 2);
    EXPECT_GE(bottom, 18);  // and the handle its bottom right corner
    EXPECT_GE(right, 15);
    EXPECT_EQ(*bitmap->PixelAt(13, 16), fore);  // inside the handle
    bitmap->Unlock();

    // A taller box keeps its squares; the offsets stay 2 and 6 pixels.
    box->SetSize(200, 36);
    QApplication::processEvents();
    EXPECT_EQ(box->IconCanvas->GetBounds(), (TB_Rectangle<float>{2, 0, 30, 36}));
    EXPECT_EQ(box->ClearButton->GetBounds(), (TB_Rectangle<float>{200 - 36, 0, 36, 36}));
}

}  // namespace
