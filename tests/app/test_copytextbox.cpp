#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "lv_copytextbox.h"
#include "platform/tb_native_window.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"

namespace {

class CopyTextBoxTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override {
        TB_GetGlobalStyle().ResetToBuiltIn();
        m_frame = new TB_Frame();
        m_frame->SetBounds(0, 0, 800, 200);
        m_frame->Create();
        ASSERT_TRUE(m_frame->IsCreated);
        TB_GetPlatform().SetForegroundWindow(m_frame->Window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(static_cast<QWidget*>(m_frame->Window)));
    }
    void TearDown() override {
        m_frame->Release();
        QApplication::processEvents();
        TB_GetGlobalStyle().ResetToBuiltIn();
    }
    // A box on a shown frame, as the main window holds it.
    LV_CopyTextBox* AddBox() {
        auto* box = new LV_CopyTextBox();
        m_frame->AddChild(box);
        return box;
    }
    static QLineEdit* Edit(LV_CopyTextBox* box) {
        QWidget* window = static_cast<QWidget*>(box->TextField->Window);
        return window ? window->findChild<QLineEdit*>() : nullptr;
    }

    TB_Frame* m_frame = nullptr;
};

TEST_F(CopyTextBoxTest, SizesAtTheGuiScaleAndTheButtonKeepsItsWidth) {
    TB_GetGlobalStyle().ApplyScale(1.5f);
    LV_CopyTextBox* box = AddBox();
    EXPECT_FLOAT_EQ(box->Width, 600);
    EXPECT_FLOAT_EQ(box->Height, 36);
    EXPECT_FLOAT_EQ(box->ButtonWidth, 46.8f);
    box->SetBounds(10, 20, 500, 36);
    EXPECT_FLOAT_EQ(box->TextField->X, 0);
    // The windows take whole pixels: 453.2 lands within a pixel.
    EXPECT_NEAR(box->TextField->GetRight(), 453.2f, 1);
    EXPECT_NEAR(box->CopyButton->X, 453.2f, 1);
    EXPECT_NEAR(box->CopyButton->Width, 46.8f, 1);
    EXPECT_FLOAT_EQ(box->CopyButton->GetRight(), 500);
    EXPECT_FLOAT_EQ(box->CopyButton->Height, 36);
    EXPECT_EQ(box->CopyButton->ButtonStyle, TB_ButtonStyle::Flat);
    EXPECT_NE(box->CopyButton->NormalImage, nullptr);
    EXPECT_EQ(box->CopyButton->ToolTipText, TB_String(u"クリップボードにコピー"));
}

TEST_F(CopyTextBoxTest, TheFieldFollowsTheBoxOnlyAndOnlyWhenItDiffers) {
    LV_CopyTextBox* box = AddBox();
    int changes = 0;
    box->TextField->TextChanged.Add([&](TB_EventArg&) { ++changes; });
    box->SetText(u"voice/greet_01.wav");
    EXPECT_EQ(box->TextField->GetText(), TB_String(u"voice/greet_01.wav"));
    int afterFirst = changes;
    EXPECT_GE(afterFirst, 1);
    box->SetText(u"voice/greet_01.wav");
    EXPECT_EQ(changes, afterFirst);  // the same text again leaves the field alone

    // Whatever reaches the field (typing, a cut, a paste, a program) is undone at once.
    const TB_String kept(u"voice/greet_01.wav");
    box->TextField->SetFocus();
    QApplication::processEvents();
    ASSERT_NE(Edit(box), nullptr);
    QTest::keyClicks(Edit(box), "xyz");
    QTest::keyClick(Edit(box), Qt::Key_Backspace);
    EXPECT_EQ(box->TextField->GetText(), kept);
    TB_GetPlatform().SetClipboardText(u"pasted");
    QTest::keyClick(Edit(box), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Edit(box), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(Edit(box), Qt::Key_X, Qt::ControlModifier);
    box->TextField->Paste();
    box->TextField->Cut();
    EXPECT_EQ(box->TextField->GetText(), kept);
    EXPECT_EQ(Edit(box)->text().toStdString(), kept.ToStdString());
    box->TextField->SetText(u"typed over");
    EXPECT_EQ(box->TextField->GetText(), kept);
    EXPECT_EQ(Edit(box)->text().toStdString(), kept.ToStdString());
    EXPECT_EQ(box->GetText(), kept);

    // Ctrl+C in the field copies its selection only.
    Edit(box)->setSelection(0, 5);
    QTest::keyClick(Edit(box), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(TB_GetPlatform().GetClipboardText(), TB_String(u"voice"));
}

// The button copies the whole text; with nothing to copy it is off and the clipboard keeps
// what the user put there.
TEST_F(CopyTextBoxTest, TheButtonCopiesTheWholeTextAndNothingWhenEmpty) {
    LV_CopyTextBox* box = AddBox();
    EXPECT_FALSE(box->CopyButton->IsEnable());
    box->SetText(u"こんにちは、世界");
    EXPECT_TRUE(box->CopyButton->IsEnable());
    TB_GetPlatform().SetClipboardText(u"before");
    ASSERT_NE(Edit(box), nullptr);
    Edit(box)->setSelection(0, 2);  // the button ignores a selection
    box->CopyButton->PerformClick();
    EXPECT_EQ(TB_GetPlatform().GetClipboardText(), TB_String(u"こんにちは、世界"));
    box->SetText(u"");
    EXPECT_FALSE(box->CopyButton->IsEnable());
    box->CopyButton->PerformClick();
    EXPECT_EQ(TB_GetPlatform().GetClipboardText(), TB_String(u"こんにちは、世界"));
}

}  // namespace
