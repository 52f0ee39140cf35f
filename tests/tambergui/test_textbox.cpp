#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>

#include <string>
#include <vector>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_platform.h"
#include "property_dump.h"
#include "tb_actionlist.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_textbox.h"
#include "tb_uidump.h"

namespace {

class TextBox : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override {
        TB_GetGlobalStyle().ResetToBuiltIn();
        frame = new TB_Frame();
        frame->SetBounds(0, 0, 400, 200);
        frame->Create();
        ASSERT_TRUE(frame->IsCreated);
        TB_GetPlatform().SetForegroundWindow(frame->Window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(static_cast<QWidget*>(frame->Window)));
    }
    void TearDown() override {
        frame->Release();
        QApplication::processEvents();
        TB_GetGlobalStyle().ResetToBuiltIn();
    }
    // A box in the frame, its text changes recorded as the Text seen by the handler.
    TB_TextBox* Add(TB_TextBox* box, float y, const char16_t* text = u"") {
        box->SetBounds(10, y, 200, 24);
        box->Text = TB_String(text);
        frame->AddChild(box);
        box->TextChanged.Add([this, box](TB_EventArg&) { changes.push_back(Text(*box)); });
        return box;
    }
    static QLineEdit* Edit(TB_TextBox* box) {
        return box->Window ? static_cast<QWidget*>(box->Window)->findChild<QLineEdit*>() : nullptr;
    }
    static std::string Text(TB_TextBox& box) { return box.Text.ToStdString(); }
    static void Focus(TB_TextBox* box) {
        box->SetFocus();
        QApplication::processEvents();
        ASSERT_TRUE(box->IsFocused());
    }
    static void Clipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }
    static QString Clipboard() { return QGuiApplication::clipboard()->text(); }

    TB_Frame* frame = nullptr;
    std::vector<std::string> changes;
};

TEST_F(TextBox, TabMovesOnAndSelectsAllOfTheBoxReceivingTheFocus) {
    TB_TextBox* first = Add(new TB_TextBox(), 10, u"first");
    TB_TextBox* second = Add(new TB_TextBox(), 40, u"second text");
    EXPECT_EQ(second->Height, 24);
    EXPECT_TRUE(second->TabStop);
    Focus(first);
    EXPECT_EQ(Edit(first)->selectedText(), "");  // the program's own focus selects nothing

    QTest::keyClick(Edit(first), Qt::Key_Tab);
    EXPECT_TRUE(second->IsFocused());
    EXPECT_FALSE(first->IsFocused());
    EXPECT_EQ(Edit(second)->selectedText(), "second text");
    EXPECT_EQ(Text(*first), "first");  // no tab character was typed
    // Typing replaces the selection; round again to the first box.
    QTest::keyClicks(Edit(second), "new");
    EXPECT_EQ(Text(*second), "new");
    QTest::keyClick(Edit(second), Qt::Key_Tab);
    EXPECT_TRUE(first->IsFocused());
    EXPECT_EQ(Edit(first)->selectedText(), "first");
}

TEST_F(TextBox, EditingShortcutsRunThroughTheActionList) {
    TB_TextBox* box = Add(new TB_TextBox(), 10, u"abc def");
    ASSERT_NE(box->Actions, nullptr);
    const std::pair<const char16_t*, const char*> expected[] = {
        {u"Copy", "Ctrl+C"}, {u"Paste", "Ctrl+V"}, {u"Cut", "Ctrl+X"}, {u"All Select", "Ctrl+A"}};
    for (const auto& [id, shortcut] : expected) {
        TB_Action* action = box->Actions->FindAction(TB_String(id));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->ShortcutText.ToStdString(), shortcut);
    }
    EXPECT_EQ(box->Actions->List.Count(), 4);
    std::vector<tb_int> keys;
    box->KeyDown.Add([&keys](TB_KeyEventArg& arg) {
        if (arg.KeyCode != TB_VK_CONTROL) {
            keys.push_back(arg.KeyCode);
        }
    });
    Focus(box);

    QTest::keyClick(Edit(box), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Edit(box)->selectedText(), "abc def");
    EXPECT_TRUE(keys.empty());  // the action took the key before anyone saw it
    QTest::keyClick(Edit(box), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(Clipboard(), "abc def");
    QTest::keyClick(Edit(box), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Text(*box), "");
    QTest::keyClick(Edit(box), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(Edit(box), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text(*box), "abc defabc def");
    EXPECT_TRUE(keys.empty());

    // Plain letters are text, never shortcuts; without its action Ctrl+A is a key like any.
    QTest::keyClicks(Edit(box), "a");
    EXPECT_EQ(Text(*box), "abc defabc defa");
    EXPECT_EQ(keys, std::vector<tb_int>{TB_VK_A});
    box->Actions->Remove(box->Actions->FindAction(TB_String(u"All Select")));
    QTest::keyClick(Edit(box), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(keys, (std::vector<tb_int>{TB_VK_A, TB_VK_A}));

    // A new window brings the missing action back and no second copy of the others.
    box->Close();
    box->Create();
    ASSERT_NE(box->Window, nullptr);
    EXPECT_EQ(box->Actions->List.Count(), 4);
}

TEST_F(TextBox, EveryUpdateRaisesTextChangedOnceWithTextAlreadyRefreshed) {
    TB_TextBox* box = Add(new TB_TextBox(), 10);
    EXPECT_TRUE(changes.empty());  // creation with a text is no change
    Focus(box);
    QTest::keyClicks(Edit(box), "ab");
    EXPECT_EQ(changes, (std::vector<std::string>{"a", "ab"}));
    QTest::keyClick(Edit(box), Qt::Key_Backspace);
    box->SetText(u"声ライブラリ");
    box->SetText(u"声ライブラリ");  // the same text still reports once
    Clipboard("!");
    box->Paste();
    EXPECT_EQ(changes, (std::vector<std::string>{"a", "ab", "a", "声ライブラリ", "声ライブラリ",
                                                 "声ライブラリ!"}));
    // Text the program sets is kept whole, beyond the line edit's usual limit.
    box->SetText(TB_String(std::string(40000, 'x').c_str()));
    EXPECT_EQ(box->Text.Length(), 40000);
}

TEST_F(TextBox, ReadOnlyAndEditableBoxesShowTheStyleColours) {
    TB_TextBox* editable = Add(new TB_TextBox(), 10);
    TB_TextBox* readOnly = Add(new TB_TextBox(false, true), 40, u"fixed");
    auto shown = [](TB_TextBox* box) {
        QImage image = Edit(box)->grab().toImage();
        return image.pixelColor(image.width() - 5, image.height() / 2).name().toStdString();
    };
    EXPECT_EQ(shown(editable), "#202020");
    EXPECT_EQ(shown(readOnly), "#282828");
    for (TB_TextBox* box : {editable, readOnly}) {
        EXPECT_EQ(Edit(box)->palette().color(QPalette::Text).name(), "#ffffff");
    }
    // A box made after the style changed takes the new colours.
    TB_GetGlobalStyle().EditBackground = TB_GlobalStyle::Hex(0xF0F0F0);
    TB_GetGlobalStyle().EditTextColor = TB_GlobalStyle::Hex(0x101010);
    TB_TextBox* light = Add(new TB_TextBox(), 70);
    EXPECT_EQ(shown(light), "#f0f0f0");
    EXPECT_EQ(Edit(light)->palette().color(QPalette::Text).name(), "#101010");
    EXPECT_EQ(shown(editable), "#202020");

    // Read-only: selected and copied, never changed.
    Focus(readOnly);
    QTest::keyClicks(Edit(readOnly), "zz");
    Clipboard("pasted");
    QTest::keyClick(Edit(readOnly), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(Edit(readOnly), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Edit(readOnly), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Text(*readOnly), "fixed");
    EXPECT_TRUE(changes.empty());
    QTest::keyClick(Edit(readOnly), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(Clipboard(), "fixed");
}

TEST_F(TextBox, PasswordShowsBulletsAndKeepsTheCharactersInside) {
    TB_TextBox* box = Add(new TB_TextBox(true, false), 10);
    box->Id = u"secret";
    Focus(box);
    QTest::keyClicks(Edit(box), "s3cret");
    EXPECT_EQ(Text(*box), "s3cret");
    QString shown = Edit(box)->displayText();
    ASSERT_EQ(shown.size(), 6);
    EXPECT_EQ(shown.count(shown[0]), 6);
    EXPECT_FALSE(shown.contains('s'));
    // Neither the clipboard nor a dump or an inspection gives the password away.
    Clipboard("before");
    QTest::keyClick(Edit(box), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Edit(box), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(Clipboard(), "before");
    std::string dump = TB_UiDumpText();
    EXPECT_EQ(dump.find("s3cret"), std::string::npos);
    EXPECT_NE(dump.find("\"Text\": \"●●●●●●\""), std::string::npos) << dump;
    PropertyDump properties;
    box->Inspect(properties);
    EXPECT_NE(properties.Text().find("Text: \"●●●●●●\""), std::string::npos);
    EXPECT_NE(properties.Text().find("Password: true"), std::string::npos);
    // A character outside the basic plane is one bullet.
    box->SetText(u"a😀");
    EXPECT_EQ(box->DisplayText().ToStdString(), "●●");
}

TEST_F(TextBox, KeyDownHandlersSeeKeysFirstAndOnce) {
    TB_TextBox* box = Add(new TB_TextBox(), 10);
    std::vector<tb_int> keys;
    box->KeyDown.Add([&keys](TB_KeyEventArg& arg) {
        keys.push_back(arg.KeyCode);
        arg.Handled = arg.KeyCode == TB_VK_A + ('q' - 'a');
    });
    Focus(box);
    QTest::keyClicks(Edit(box), "wqw");
    EXPECT_EQ(Text(*box), "ww");
    // Return is left by the line edit; it still reaches the handlers once, not twice.
    QTest::keyClick(Edit(box), Qt::Key_Return);
    EXPECT_EQ(keys, (std::vector<tb_int>{'W', 'Q', 'W', TB_VK_RETURN}));

    // A handler that closes the box while the key is under way.
    box->KeyDown.Add([box](TB_KeyEventArg& arg) {
        if (arg.KeyCode == TB_VK_ESCAPE) {
            box->Close();
        }
    });
    QTest::keyClick(Edit(box), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(box->Window, nullptr);
    box->SetText(u"after");  // no window: stored only
    EXPECT_EQ(Text(*box), "after");
}

TEST_F(TextBox, ComposingKeysAreNoShortcutsAndTheCommitIsOneChange) {
    TB_TextBox* box = Add(new TB_TextBox(), 10, u"x");
    int runs = 0;
    auto extra = TB_Ref<TB_Action>::Adopt(new TB_Action(
        u"extra", u"extra", [&runs](TB_EventArg&) { ++runs; }, u"Ctrl+F2"));
    box->Actions->Add(extra.Get());
    Focus(box);
    QInputMethodEvent preedit(QStringLiteral("こえ"), {});
    QApplication::sendEvent(Edit(box), &preedit);
    EXPECT_TRUE(changes.empty());  // the composition is shown, not yet text
    QTest::keyClick(Edit(box), Qt::Key_F2, Qt::ControlModifier);
    EXPECT_EQ(runs, 0);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("声"));
    QApplication::sendEvent(Edit(box), &commit);
    EXPECT_EQ(changes, std::vector<std::string>{"x声"});
    QTest::keyClick(Edit(box), Qt::Key_F2, Qt::ControlModifier);
    EXPECT_EQ(runs, 1);
    box->Actions->Remove(extra.Get());
}

TEST_F(TextBox, AMegabytePasteIsTakenWhole) {
    TB_TextBox* box = Add(new TB_TextBox(), 10);
    Focus(box);
    QString big(1 << 20, QChar('k'));
    for (int i = 0; i < big.size(); i += 100) {
        big[i] = QChar(0x58F0);  // 声
    }
    Clipboard(big);
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(Edit(box), Qt::Key_V, Qt::ControlModifier);
    qint64 paste = clock.restart();
    QTest::keyClicks(Edit(box), "z");
    QApplication::processEvents();
    qint64 key = clock.elapsed();
    ASSERT_EQ(box->Text.Length(), (1 << 20) + 1);
    EXPECT_EQ(box->Text[100], 0x58F0);
    EXPECT_EQ(box->Text[1 << 20], u'z');
    EXPECT_EQ(changes.size(), 2u);
    EXPECT_LT(paste + key, 20000);
    std::printf("1 MB paste %lld ms, one more key %lld ms\n", static_cast<long long>(paste),
                static_cast<long long>(key));
}

TEST_F(TextBox, WithoutAnOwnerWindowThereIsNoControl) {
    auto box = TB_Ref<TB_TextBox>::Adopt(new TB_TextBox());
    box->Create();
    EXPECT_EQ(box->Window, nullptr);
    EXPECT_FALSE(box->IsCreated);
    box->SetText(u"kept");
    box->SelectAll();
    EXPECT_EQ(box->Text.ToStdString(), "kept");
    EXPECT_EQ(box->Actions, nullptr);
}

}  // namespace
