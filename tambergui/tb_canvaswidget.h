#pragma once

#include "tb_event.h"
#include "tb_eventargs.h"

// A widget painted through TB_Graphics by its Paint handlers.
class TB_ICanvasWidget {
public:
    virtual ~TB_ICanvasWidget() = default;
    virtual void OnPaint(TB_PaintEventArg& arg) { Paint.Fire(arg); }

    TB_Event<TB_PaintEventArg> Paint;
};
