#pragma once

#include "tb_event.h"
#include "tb_eventargs.h"

// A widget whose text the user edits.
class TB_ITextEditable {
public:
    virtual ~TB_ITextEditable() = default;
    virtual void OnTextChanged() {
        TB_EventArg arg;
        OnTextChanged(arg);
    }
    virtual void OnTextChanged(TB_EventArg& arg) { TextChanged.Fire(arg); }

    TB_Event<TB_EventArg> TextChanged;
};
