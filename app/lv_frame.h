#pragma once

#include "tb_frame.h"

// The main window. Until the voice browser exists it is an empty frame titled
// "ルモヴォクスアプリ" on the style's background; closing it ends the program unless a
// restart was asked for.
class LV_Frame : public TB_Frame {
public:
    LV_Frame();

    bool Restart = false;
};
