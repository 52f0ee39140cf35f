#pragma once

#include <set>
#include <string>
#include <vector>

#include "tb_platform.h"

// A platform with a hand-moved clock and a log of what the toolkit asked of it.
class FakePlatform : public TB_NullPlatform {
public:
    FakePlatform() { TB_SetPlatform(this); }
    ~FakePlatform() override { TB_SetPlatform(nullptr); }

    tb_uint64 Milliseconds() override { return Now; }
    bool IsKeyDown(tb_int key) override { return Held.count(key) > 0; }
    void SetCapture(TB_WindowHandle) override { Calls.push_back("capture"); }
    void ReleaseCapture() override { Calls.push_back("release"); }
    void TrackMouseLeave(TB_WindowHandle) override { Calls.push_back("track"); }
    void ShowCursor(tb_int kind) override { Calls.push_back("cursor " + std::to_string(kind)); }
    void SetFocus(TB_WindowHandle) override { Calls.push_back("focus"); }
    TB_Vector2 ScreenToClient(TB_WindowHandle, TB_Vector2 point) override {
        return TB_Vector2{point.x - 100, point.y - 50};
    }
    void SetImeCompositionPosition(TB_WindowHandle, tb_int x, tb_int y) override {
        Calls.push_back("ime at " + std::to_string(x) + "," + std::to_string(y));
    }
    void ResetImeContext(TB_WindowHandle) override { Calls.push_back("ime context"); }
    void SetImeOpen(TB_WindowHandle, bool open) override {
        Calls.push_back(open ? "ime open" : "ime closed");
    }
    void Beep() override { Calls.push_back("beep"); }

    tb_uint64 Now = 1000;
    std::set<tb_int> Held;
    std::vector<std::string> Calls;
};
