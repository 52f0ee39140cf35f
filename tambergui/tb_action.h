#pragma once

#include <functional>

#include "tb_event.h"
#include "tb_eventargs.h"
#include "tb_list.h"
#include "tb_string.h"

// One key combination of a shortcut; Key is a virtual-key code, 0 when the text named none
// (no key press matches 0).
struct TB_ShortCutKeyInfo {
    bool Shift = false;
    bool Alt = false;
    bool Control = false;
    tb_int Key = 0;

    bool operator==(const TB_ShortCutKeyInfo& other) const {
        return Shift == other.Shift && Alt == other.Alt && Control == other.Control &&
               Key == other.Key;
    }
};

// A named command with an optional shortcut (a sequence of key combinations). Menus show it,
// buttons and shortcuts execute it; other threads hand work to the GUI thread by posting one
// (see TB_PostAction), whose Executed then fires there.
class TB_Action : public TB_Object {
public:
    using CanExecuteFunction = std::function<bool()>;

    // Takes over the handler's count; a null handler adds nothing.
    TB_Action(const TB_String& id, const TB_String& caption, TB_EventHandler<TB_EventArg>* handler,
              const TB_String& shortcut = TB_String(), CanExecuteFunction canExecute = {});
    TB_Action(const TB_String& id, const TB_String& caption,
              std::function<void(TB_EventArg&)> onExecute, const TB_String& shortcut = TB_String(),
              CanExecuteFunction canExecute = {});
    explicit TB_Action(std::function<void(TB_EventArg&)> onExecute);
    TB_Action() = default;
    ~TB_Action() override;

    virtual void SetEnabled(bool enabled) { Enabled = enabled; }
    // CanExecute's answer when it is set, else Enabled.
    virtual bool IsEnabled() const { return CanExecute ? CanExecute() : Enabled; }

    // Parses the text ("Ctrl+Shift+F12", "Ctrl+K Ctrl+D", "Del" ...) and rebuilds
    // ShortcutText; always true.
    bool SetShortcut(const TB_String& text);
    // Fires Executed, whatever IsEnabled says.
    void Execute() {
        TB_EventArg arg;
        Executed.Fire(arg);
    }

    TB_String Id;
    TB_String ShortcutText;
    TB_List<TB_ShortCutKeyInfo*> Shortcut;  // owned
    bool Enabled = true;
    TB_String Caption;
    CanExecuteFunction CanExecute;
    TB_Event<TB_EventArg> Executed;

private:
    void ClearShortcut();
};
