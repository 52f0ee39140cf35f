#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <string>

#include "platform/tb_qt_platform.h"
#include "tb_frame.h"
#include "tb_framework.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_uidump.h"
#include "tc_longtextarea.h"

namespace {

// A platform whose text views cannot be made.
class NoViewPlatform : public TB_QtPlatform {
public:
    bool CreateTextView(TB_WindowHandle, const TB_String&, TB_Font*, const TB_Color&,
                        const TB_Color&) override {
        return false;
    }
};

class LongTextArea : public ::testing::Test {
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
        frame->SetBounds(0, 0, 400, 300);
        area = new TC_LongTextArea();
        area->SetBounds(10, 10, 200, 120);
        frame->AddChild(area);
    }
    void TearDown() override {
        frame->Release();
        QApplication::processEvents();
        TB_SetPlatform(&TB_GetQtPlatform());
        TB_FrameworkShutdown();
    }
    QPlainTextEdit* View() {
        auto* window = reinterpret_cast<QWidget*>(area->Window);
        return window ? window->findChild<QPlainTextEdit*>() : nullptr;
    }

    NoViewPlatform noView;  // outlives the frame, which is released while it is installed
    TB_Frame* frame = nullptr;
    TC_LongTextArea* area = nullptr;
};

TEST_F(LongTextArea, ShowsWrapsScrollsAndCopiesButNeverEdits) {
    std::u16string licence = u"Permission is granted\r\n\r\n";
    for (int i = 0; i < 40; ++i) {
        licence +=
            u"provided that the above notice and this permission notice appear in all "
            u"copies. ";
    }
    licence += u"\r\n最後の行";
    area->SetText(TB_String(licence.c_str()));  // before the window: kept for it
    int pointer = 0, keys = 0;
    area->MouseDown.Add([&](TB_MouseEventArg&) { ++pointer; });
    area->KeyDown.Add([&](TB_KeyEventArg&) { ++keys; });
    frame->Create();
    ASSERT_TRUE(area->IsCreated);
    QPlainTextEdit* view = View();
    ASSERT_NE(view, nullptr);
    QApplication::processEvents();

    QString shown = view->toPlainText();
    EXPECT_FALSE(shown.contains(QLatin1Char('\r')));
    EXPECT_EQ(view->document()->blockCount(), 4);
    EXPECT_EQ(view->document()->lastBlock().text(), QStringLiteral("最後の行"));
    EXPECT_TRUE(view->isReadOnly());
    // The long paragraph wraps at the view's width, and the text scrolls vertically.
    EXPECT_EQ(view->size(), QSize(200, 120));
    QTextLayout* layout = view->document()->findBlockByNumber(2).layout();
    ASSERT_NE(layout, nullptr);
    EXPECT_GT(layout->lineCount(), 10);
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view->palette().color(QPalette::Base).rgb(),
              TB_GetGlobalStyle().StaticBackground.ToArgb() | 0xFF000000u);
    ASSERT_NE(area->Font, nullptr);
    EXPECT_FLOAT_EQ(area->Font->Points(), TB_GetGlobalStyle().FontSize);

    // Typing, pasting and deleting change nothing; selecting all and copying does copy.
    view->setFocus();
    QTest::keyClicks(view, "abc");
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(view->toPlainText(), shown);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), shown);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_GT(view->verticalScrollBar()->value(), 0);
    EXPECT_EQ(pointer, 0);  // the platform's view keeps its input to itself
    EXPECT_EQ(keys, 0);

    // After creation the text is replaced, and the dump shows it.
    area->SetText(TB_String(u"一行目\r\n二行目"));
    EXPECT_EQ(view->toPlainText(), QStringLiteral("一行目\n二行目"));
    std::string dump = TB_UiDumpText();
    EXPECT_NE(dump.find("一行目"), std::string::npos);
}

TEST_F(LongTextArea, WithoutAViewThereIsNoWindow) {
    TB_SetPlatform(&noView);
    area->SetText(TB_String(u"text"));
    frame->Create();
    EXPECT_FALSE(area->IsCreated);
    EXPECT_EQ(area->Window, nullptr);
    area->SetText(TB_String(u"later"));  // stored, nothing to show it in
    EXPECT_EQ(area->GetText().ToStdString(), "later");
}

}  // namespace
