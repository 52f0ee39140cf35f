#pragma once

#include <functional>

#include "tb_event.h"
#include "tb_eventargs.h"
#include "tb_string.h"

// A named command. Other threads hand work to the GUI thread by posting one (see
// TB_PostAction); its Executed event then fires there.
class TB_Action : public TB_Object {
public:
    TB_Action() = default;
    explicit TB_Action(std::function<void(TB_EventArg&)> onExecute) {
        Executed.Add(std::move(onExecute));
    }

    void Execute() {
        TB_EventArg arg;
        Executed.Fire(arg);
    }

    TB_String Id;
    TB_String Caption;
    TB_Event<TB_EventArg> Executed;
};
