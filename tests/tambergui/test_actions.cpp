#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <thread>

#include "fake_platform.h"
#include "platform/tb_qt_platform.h"
#include "tb_actionlist.h"
#include "tb_folderdialog.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_uitimer.h"
#include "test_util.h"

namespace {

struct Parsed {
    std::vector<std::string> keys;
    std::string text;
};

Parsed Parse(const char16_t* shortcut) {
    auto action = TB_Ref<TB_Action>::Adopt(new TB_Action(u"id", u"caption", nullptr, shortcut));
    Parsed parsed;
    for (TB_ShortCutKeyInfo* key : action->Shortcut) {
        parsed.keys.push_back(std::string(key->Control ? "C" : "") + (key->Shift ? "S" : "") +
                              (key->Alt ? "A" : "") + std::to_string(key->Key));
    }
    parsed.text = action->ShortcutText.ToStdString();
    return parsed;
}

using Keys = std::vector<std::string>;

TEST(Shortcut, ParsingAndDisplay) {
    EXPECT_EQ(Parse(u"Ctrl+C").keys, Keys{"C67"});
    EXPECT_EQ(Parse(u"Ctrl+C").text, "Ctrl+C");
    EXPECT_EQ(Parse(u"Ctrl+Shift+F12").keys, Keys{"CS123"});
    EXPECT_EQ(Parse(u"Ctrl+Shift+F12").text, "Ctrl+Shift+F12");
    EXPECT_EQ(Parse(u"shift+alt+ctrl+f1").text, "Ctrl+Shift+Alt+F1");  // modifiers in order
    EXPECT_EQ(Parse(u"Ctrl+Fx").keys, (Keys{"C70", "88"}));  // F then a non-digit: the letter
    EXPECT_EQ(Parse(u"F24").keys, Keys{"135"});
    EXPECT_EQ(Parse(u"Del").keys, Keys{"46"});
    EXPECT_EQ(Parse(u"Del").text, "Del");
    EXPECT_EQ(Parse(u"Ctrl+-").keys, Keys{"C109"});
    EXPECT_EQ(Parse(u"Ctrl+-").text, "Ctrl+");  // the key itself has no name to show
    EXPECT_EQ(Parse(u"+").keys, Keys{"107"});
    EXPECT_EQ(Parse(u"space").text, "Space");
    EXPECT_EQ(Parse(u"Ctrl+K Ctrl+D").keys, (Keys{"C75", "C68"}));
    EXPECT_EQ(Parse(u"Ctrl+K Ctrl+D").text, "Ctrl+K, Ctrl+D");
    EXPECT_EQ(Parse(u"CTRL").keys, (Keys{"67", "84", "82", "76"}));  // capitals: letters
    EXPECT_EQ(Parse(u"Ctrl+#").keys, Keys{"C0"});  // unknown: a key nothing matches
    EXPECT_TRUE(Parse(u"").keys.empty());
}

class ShortcutList : public ::testing::Test {
protected:
    TB_Action* Make(const char16_t* id, const char16_t* shortcut) {
        auto* action = new TB_Action(
            id, id, [this, id](TB_EventArg&) { runs.push_back(TB_String(id).ToStdString()); },
            shortcut);
        owned.push_back(TB_Ref<TB_Action>::Adopt(action));
        list->Add(action);
        return action;
    }
    static TB_ShortCutKeyInfo Key(tb_int key, bool control = false) {
        return TB_ShortCutKeyInfo{false, false, control, key};
    }

    TB_Ref<TB_ActionList> list = TB_Ref<TB_ActionList>::Adopt(new TB_ActionList());
    std::vector<TB_Ref<TB_Action>> owned;
    std::vector<std::string> runs;
};

TEST_F(ShortcutList, SharedKeysRunNothingAndSequencesRunOnTheirLastKey) {
    Make(u"a", u"Ctrl+S");
    Make(u"b", u"Ctrl+S");
    EXPECT_FALSE(list->TryShortcut(Key('S', true)));
    EXPECT_TRUE(runs.empty());

    auto fresh = TB_Ref<TB_ActionList>::Adopt(new TB_ActionList());
    list = fresh;
    TB_Action* sequence = Make(u"seq", u"Ctrl+K Ctrl+D");
    Make(u"k", u"Ctrl+K Ctrl+X");
    list->Add(sequence);  // once only
    EXPECT_EQ(list->List.Count(), 2);
    EXPECT_FALSE(list->TryShortcut(Key('K', true)));  // in progress: not swallowed
    EXPECT_EQ(list->Position, 1);
    EXPECT_TRUE(list->TryShortcut(Key('D', true)));
    EXPECT_EQ(runs, Keys{"seq"});
    EXPECT_EQ(list->Position, 0);
    // A key that matches nothing resets the progress.
    EXPECT_FALSE(list->TryShortcut(Key('K', true)));
    EXPECT_FALSE(list->TryShortcut(Key('Q', true)));
    EXPECT_FALSE(list->TryShortcut(Key('D', true)));
    EXPECT_EQ(runs, Keys{"seq"});
    EXPECT_EQ(list->FindAction(u"k")->Id.ToStdString(), "k");
    EXPECT_EQ(list->FindAction(u"none"), nullptr);
}

TEST_F(ShortcutList, ShortcutsIgnoreCanExecuteAndEachListKeepsItsOwnProgress) {
    TB_Action* guarded = Make(u"guarded", u"F5");
    guarded->CanExecute = [] { return false; };
    EXPECT_FALSE(guarded->IsEnabled());
    EXPECT_TRUE(list->TryShortcut(Key(116)));
    EXPECT_EQ(runs, Keys{"guarded"});

    auto other = TB_Ref<TB_ActionList>::Adopt(new TB_ActionList());
    Make(u"seq", u"Ctrl+K Ctrl+D");
    other->Add(owned.back().Get());
    EXPECT_FALSE(list->TryShortcut(Key('K', true)));
    EXPECT_FALSE(other->TryShortcut(Key('D', true)));  // no K typed on this list
    EXPECT_TRUE(list->TryShortcut(Key('D', true)));
}

class ShortcutWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    static void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers,
                      quint32 scanCode = 0) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, 0, 0);
        QApplication::sendEvent(target, &event);
    }
};

// A real key press reaches an action through the loop, once per press: the key a focused
// child leaves unhandled travels on to its parent window without a second shortcut walk.
TEST_F(ShortcutWindows, AKeyPressIsMatchedOnceFromTheFocusedWidget) {
    auto* frame = new TB_Frame();
    frame->SetBounds(0, 0, 200, 100);
    auto* child = new TB_NativeWidgetRectangle();
    child->SetBounds(0, 0, 50, 50);
    frame->AddChild(child);
    frame->Create();
    int runs = 0;
    auto action = TB_Ref<TB_Action>::Adopt(new TB_Action(
        u"seq", u"seq", [&](TB_EventArg&) { ++runs; }, u"Ctrl+K Ctrl+D"));
    frame->Actions->Add(action.Get());
    auto* childWindow = reinterpret_cast<QWidget*>(child->Window);
    childWindow->setFocusPolicy(Qt::StrongFocus);
    QApplication::setActiveWindow(reinterpret_cast<QWidget*>(frame->Window));
    childWindow->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), childWindow);
    Press(childWindow, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(runs, 0);  // the first key of the sequence, counted once
    Press(childWindow, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(runs, 1);

    // A Cyrillic layout: the key at C's place still means C.
    auto copy = TB_Ref<TB_Action>::Adopt(new TB_Action(
        u"copy", u"copy", [&](TB_EventArg&) { ++runs; }, u"Ctrl+C"));
    frame->Actions->Add(copy.Get());
    Press(childWindow, 0x0421, Qt::ControlModifier, 46 + 8);
    EXPECT_EQ(runs, 2);

    // While an input method composes text, keys are the composition's, not shortcuts.
    child->AcceptsTextInput = true;
    QInputMethodEvent composing(QString::fromUtf8("か"), {});
    QApplication::sendEvent(childWindow, &composing);
    Press(childWindow, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(runs, 2);
    QInputMethodEvent committed;
    committed.setCommitString(QString::fromUtf8("家"));
    QApplication::sendEvent(childWindow, &committed);
    Press(childWindow, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(runs, 3);
    // A plain letter typed into a text widget is never tried.
    auto letter = TB_Ref<TB_Action>::Adopt(new TB_Action(
        u"l", u"l", [&](TB_EventArg&) { ++runs; }, u"L"));
    TB_GetGlobalActions()->Add(letter.Get());
    Press(childWindow, Qt::Key_L, Qt::NoModifier);
    EXPECT_EQ(runs, 3);
    child->AcceptsTextInput = false;
    Press(childWindow, Qt::Key_L, Qt::NoModifier);  // the global list, past the frame
    EXPECT_EQ(runs, 4);
    TB_GetGlobalActions()->Remove(letter.Get());
    frame->Release();
}

// A platform that logs the timers the toolkit asks for and never ticks by itself.
class TimerPlatform : public FakePlatform {
public:
    tb_uint64 StartTimer(TB_WindowHandle, tb_uint64 identifier, tb_int interval) override {
        Calls.push_back("start " + std::to_string(interval));
        return identifier;
    }
    void StopTimer(tb_uint64) override { Calls.push_back("stop"); }
};

TEST(UiTimer, StartStopAndIntervalsAskThePlatformOnce) {
    TimerPlatform platform;
    auto timer = TB_Ref<TB_UiTimer>::Adopt(new TB_UiTimer(nullptr));
    int ticks = 0;
    timer->Tick.Add([&](TB_EventArg&) { ++ticks; });
    timer->SetInterval(100);  // stopped: stored only
    EXPECT_EQ(timer->GetInterval(), 100);
    EXPECT_TRUE(platform.Calls.empty());
    timer->Start();
    timer->Start();
    EXPECT_EQ(platform.Calls, (std::vector<std::string>{"start 100"}));
    tb_uint64 id = timer->TimerId;
    TB_UiTimer::Dispatch(id);
    EXPECT_EQ(ticks, 1);
    timer->SetInterval(100);  // the same value changes nothing
    timer->SetInterval(30);   // running: a fresh period
    EXPECT_EQ(platform.Calls, (std::vector<std::string>{"start 100", "stop", "start 30"}));
    timer->Stop();
    timer->Stop();
    EXPECT_EQ(platform.Calls.size(), 4u);
    TB_UiTimer::Dispatch(id);  // a tick queued before the stop finds nothing
    EXPECT_EQ(ticks, 1);
    timer.Reset();
    EXPECT_EQ(TB_UiTimer::LiveCount(), 0);
    TB_UiTimer::Dispatch(id);  // the registry is gone
    auto again = TB_Ref<TB_UiTimer>::Adopt(new TB_UiTimer(nullptr));
    again->Start();  // a new registry
    again->Tick.Add([&](TB_EventArg&) { ++ticks; });
    TB_UiTimer::Dispatch(again->TimerId);
    EXPECT_EQ(ticks, 2);
}

TEST(UiTimer, RealTicksComeOnTheGuiThreadAndATimerMayEndItself) {
    TB_GraphicsStartup();
    TB_GuiStartup(TB_String(), nullptr);
    TB_SetPlatform(&TB_GetQtPlatform());
    auto* timer = new TB_UiTimer(nullptr);
    timer->SetInterval(5);
    int ticks = 0;
    bool onGuiThread = true;
    std::thread::id gui = std::this_thread::get_id();
    timer->Tick.Add([&](TB_EventArg&) {
        onGuiThread = onGuiThread && std::this_thread::get_id() == gui;
        if (++ticks == 3) {
            timer->Release();  // destroyed inside its own Tick
        }
    });
    timer->Start();
    TB_GetPlatform().RunEventLoop([&] { return ticks >= 3; });
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(onGuiThread);
    EXPECT_EQ(TB_UiTimer::LiveCount(), 0);
    // A stopped timer gets no tick within several of its periods.
    auto quiet = TB_Ref<TB_UiTimer>::Adopt(new TB_UiTimer(nullptr));
    auto marker = TB_Ref<TB_UiTimer>::Adopt(new TB_UiTimer(nullptr));
    int quietTicks = 0, markerTicks = 0;
    quiet->Tick.Add([&](TB_EventArg&) { ++quietTicks; });
    marker->Tick.Add([&](TB_EventArg&) { ++markerTicks; });
    quiet->SetInterval(5);
    marker->SetInterval(25);
    quiet->Start();
    quiet->Stop();
    marker->Start();
    TB_GetPlatform().RunEventLoop([&] { return markerTicks >= 1; });
    EXPECT_EQ(quietTicks, 0);
}

TEST(FolderDialog, HookAnswersAndThePlatformPickerReturnsTheTypedFolder) {
    TB_GraphicsStartup();
    TB_GuiStartup(TB_String(), nullptr);
    TempFolder temp;
    std::string japanese = temp / "声 ライブラリ #1";
    std::filesystem::create_directories(japanese);

    TB_String seen;
    TB_SetFolderDialogHook([&](const TB_String& initial, const TB_String&, TB_String& chosen) {
        seen = initial;
        chosen = TB_String(japanese.c_str());
        return 1;
    });
    auto dialog = TB_Ref<TB_FolderDialog>::Adopt(new TB_FolderDialog());
    dialog->InitialFolder = TB_Uri(TB_String(temp.Path().c_str()));
    EXPECT_EQ(dialog->ShowDialog(nullptr), 1);
    EXPECT_EQ(seen.ToStdString(), temp.Path());
    EXPECT_EQ(dialog->SelectedFolder.GetPath().ToStdString(), japanese);
    TB_SetFolderDialogHook([](const TB_String&, const TB_String&, TB_String&) { return 0; });
    EXPECT_EQ(dialog->ShowDialog(nullptr), 0);
    EXPECT_EQ(dialog->SelectedFolder.GetPath().ToStdString(), japanese);  // kept on cancel
    TB_SetFolderDialogHook(nullptr);

    // The real picker: it opens at the initial folder, and a typed path comes back exactly.
    // It wears the style's ground, not the stock light one, and speaks Japanese.
    std::string opened;
    QString ground, accept;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* picker = qobject_cast<QFileDialog*>(top); picker && picker->isVisible()) {
                opened = picker->directory().absolutePath().toStdString();
                ground = picker->palette().color(QPalette::Window).name();
                accept = picker->labelText(QFileDialog::Accept);
                picker->selectFile(QString::fromStdString(japanese));
                static_cast<QDialog*>(picker)->accept();
            }
        }
    });
    auto real = TB_Ref<TB_FolderDialog>::Adopt(new TB_FolderDialog());
    real->InitialFolder = TB_Uri(TB_String(temp.Path().c_str()));
    EXPECT_EQ(real->ShowDialog(nullptr), 1);
    EXPECT_EQ(opened, temp.Path());
    const TB_Color& styled = TB_GetGlobalStyle().WidgetBackground;
    EXPECT_EQ(ground, QColor::fromRgbF(styled.r, styled.g, styled.b).name());
    EXPECT_EQ(accept, QStringLiteral("選択"));
    EXPECT_EQ(real->SelectedFolder.GetPath().ToStdString(), japanese);

    QTimer::singleShot(0, [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* picker = qobject_cast<QFileDialog*>(top); picker && picker->isVisible()) {
                picker->reject();
            }
        }
    });
    auto cancelled = TB_Ref<TB_FolderDialog>::Adopt(new TB_FolderDialog());
    EXPECT_EQ(cancelled->ShowDialog(nullptr), 0);
    EXPECT_TRUE(cancelled->SelectedFolder.GetPath().IsEmpty());
}

}  // namespace
