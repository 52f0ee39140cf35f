#include <gtest/gtest.h>

#include <QWidget>

#include <vector>

#include "platform/tb_native_window.h"
#include "tb_frame.h"
#include "tb_gui.h"

namespace {

class ShowStateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
};

// A minimise or restore by the window manager changes no size, yet the frame learns its show
// state from it and tells its resize listeners; a hidden (closing) window keeps the state it
// was hidden in, whatever the window manager reports afterwards.
TEST_F(ShowStateTest, FollowsMinimiseAndRestoreButNotAHiddenWindow) {
    auto* frame = new TB_Frame();
    frame->SetBounds(0, 0, 300, 200);
    frame->Create();
    ASSERT_NE(frame->Window, nullptr);
    QWidget* native = frame->Window;
    std::vector<tb_int> told;
    frame->Resized.Add([&](TB_EventArg&) { told.push_back(frame->ShowState); });
    EXPECT_EQ(frame->ShowState, 1);

    native->setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(frame->ShowState, 6);
    native->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(frame->ShowState, 1);
    EXPECT_EQ(told, (std::vector<tb_int>{6, 1}));
    EXPECT_EQ(frame->Width, 300);  // the size is not lost on the way

    native->setWindowState(Qt::WindowMinimized);
    native->hide();
    native->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(frame->ShowState, 6);
    frame->Release();
}

}  // namespace
