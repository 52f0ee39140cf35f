#include "tb_action.h"

#include <string>

#include "tb_actionlist.h"
#include "tb_error.h"

TB_Action::TB_Action(const TB_String& id, const TB_String& caption,
                     TB_EventHandler<TB_EventArg>* handler, const TB_String& shortcut,
                     CanExecuteFunction canExecute)
    : Id(id), Caption(caption), CanExecute(std::move(canExecute)) {
    if (handler) {
        Executed.Add(handler);
    }
    SetShortcut(shortcut);
}

TB_Action::TB_Action(const TB_String& id, const TB_String& caption,
                     std::function<void(TB_EventArg&)> onExecute, const TB_String& shortcut,
                     CanExecuteFunction canExecute)
    : Id(id), Caption(caption), CanExecute(std::move(canExecute)) {
    if (onExecute) {
        Executed.Add(std::move(onExecute));
    }
    SetShortcut(shortcut);
}

TB_Action::TB_Action(std::function<void(TB_EventArg&)> onExecute) {
    if (onExecute) {
        Executed.Add(std::move(onExecute));
    }
}

TB_Action::~TB_Action() {
    ClearShortcut();
}

void TB_Action::ClearShortcut() {
    for (TB_ShortCutKeyInfo* key : Shortcut) {
        delete key;
    }
    Shortcut.Clear();
}

namespace {

// True when text at i continues with the capitalised or the all-lower-case spelling.
bool Continues(const TB_String& text, tb_int i, const char16_t* capitalised) {
    tb_int n = 0;
    while (capitalised[n]) {
        ++n;
    }
    if (i + n > text.Length()) {
        return false;
    }
    bool upper = true, lower = true;
    for (tb_int k = 0; k < n; ++k) {
        char16_t c = text[i + k];
        char16_t expected = capitalised[k];
        char16_t expectedLower =
            expected >= u'A' && expected <= u'Z' ? static_cast<char16_t>(expected + 32) : expected;
        upper = upper && c == expected;
        lower = lower && c == expectedLower;
    }
    return upper || lower;
}

}  // namespace

// Reads left to right; a key ends the combination being built, so "Ctrl+K Ctrl+D" is a
// sequence of two. Names are read only as "Ctrl" or "ctrl" (a name in capitals throughout is
// read letter by letter).
bool TB_Action::SetShortcut(const TB_String& text) {
    ClearShortcut();
    TB_ShortCutKeyInfo* current = nullptr;
    auto start = [&] {
        if (!current) {
            current = new TB_ShortCutKeyInfo();
            Shortcut.Add(current);
        }
    };
    auto key = [&](tb_int code) {
        start();
        current->Key = code;
        current = nullptr;
    };
    tb_int i = 0;
    while (i < text.Length()) {
        char16_t c = text[i];
        if (Continues(text, i, u"Ctrl")) {
            start();
            current->Control = true;
            i += 4;
        } else if (Continues(text, i, u"Alt")) {
            start();
            current->Alt = true;
            i += 3;
        } else if (Continues(text, i, u"Shift")) {
            start();
            current->Shift = true;
            i += 5;
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            ++i;
        } else if (c == u'+') {
            if (!current) {
                key(107);  // a leading plus is the numeric-pad plus key
            }
            ++i;
        } else if (Continues(text, i, u"Space")) {
            key(32);
            i += 5;
        } else if (Continues(text, i, u"Del")) {
            key(46);
            i += 3;
        } else if (Continues(text, i, u"Left")) {
            key(37);
            i += 4;
        } else if (Continues(text, i, u"Right")) {
            key(39);
            i += 5;
        } else if ((c == u'F' || c == u'f') && i + 1 < text.Length() && text[i + 1] >= u'1' &&
                   text[i + 1] <= u'9') {
            tb_int number = text[i + 1] - u'0';
            i += 2;
            if (i < text.Length() && text[i] >= u'0' && text[i] <= u'9') {
                number = number * 10 + (text[i] - u'0');
                ++i;
            }
            key(111 + number);
        } else if (c >= u'a' && c <= u'z') {
            key(c - u'a' + u'A');
            ++i;
        } else if (c >= u'A' && c <= u'Z') {
            key(c);
            ++i;
        } else if (c == u'-') {
            key(109);
            ++i;
        } else if (c == u'.') {
            key(110);
            ++i;
        } else {
            TB_DebugPrint(u"Invalid Short Cut Format");
            key(0);
            ++i;
        }
    }
    std::u16string display;
    for (tb_int n = 0; n < Shortcut.Count(); ++n) {
        const TB_ShortCutKeyInfo& combination = *Shortcut[n];
        if (n > 0) {
            display += u", ";
        }
        if (combination.Control) {
            display += u"Ctrl+";
        }
        if (combination.Shift) {
            display += u"Shift+";
        }
        if (combination.Alt) {
            display += u"Alt+";
        }
        tb_int k = combination.Key;
        if (k >= 'A' && k <= 'Z') {
            display += static_cast<char16_t>(k);
        } else if (k >= 112 && k <= 135) {
            display += u"F";
            for (char c : std::to_string(k - 111)) {
                display += static_cast<char16_t>(c);
            }
        } else if (k == 46) {
            display += u"Del";
        } else if (k == 32) {
            display += u"Space";
        } else if (k == 37) {
            display += u"Left";
        } else if (k == 39) {
            display += u"Right";
        }
    }
    ShortcutText = TB_String(display.c_str(), static_cast<tb_int>(display.size()));
    return true;
}

// ---- TB_ActionList ----

void TB_ActionList::Add(TB_Action* action) {
    if (action && !List.Contains(action)) {
        List.Add(action);
    }
}

void TB_ActionList::Remove(TB_Action* action) {
    List.Remove(action);
    Candidates.Remove(action);
}

TB_Action* TB_ActionList::FindAction(const TB_String& id) const {
    for (TB_Action* action : List) {
        if (action->Id.Equals(id)) {
            return action;
        }
    }
    return nullptr;
}

// Matching, per list:
//   the actions still in the running (Candidates) while a sequence is under way, else all
//   -> those whose combination at Position equals the key become the new Candidates
//   none      -> Position 0, false
//   exactly one, its whole sequence typed -> execute it, reset, true
//   otherwise -> Position + 1, false (a sequence in progress, or a shared shortcut)
bool TB_ActionList::TryShortcut(const TB_ShortCutKeyInfo& key) {
    TB_List<TB_Action*> tested;
    for (TB_Action* action : Position > 0 ? Candidates : List) {
        tested.Add(action);
    }
    Candidates.Clear();
    if (tested.Count() == 0) {
        Position = 0;
        return false;
    }
    for (TB_Action* action : tested) {
        if (action->Shortcut.Count() > Position && *action->Shortcut[Position] == key) {
            Candidates.Add(action);
        }
    }
    if (Candidates.Count() == 0) {
        Position = 0;
        return false;
    }
    ++Position;
    if (Candidates.Count() == 1 && Candidates[0]->Shortcut.Count() == Position) {
        TB_Action* action = Candidates[0];
        Candidates.Clear();
        Position = 0;
        // The action may release the list's owner; hold it while it runs.
        TB_Ref<TB_Action> keep(action);
        action->Execute();
        return true;
    }
    return false;
}
