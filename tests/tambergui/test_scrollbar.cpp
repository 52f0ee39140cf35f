#include <gtest/gtest.h>

#include "paint_util.h"

#include <QApplication>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/tb_qt_platform.h"
#include "property_dump.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_message.h"
#include "tb_scrollbar.h"

namespace {

// Pointer input straight to the handlers, for bars without a window.
void Move(TB_ScrollBar& bar, float x, float y) {
    TB_MouseEventArg arg;
    arg.X = x;
    arg.Y = y;
    bar.OnMouseMove(arg);
}

void Press(TB_ScrollBar& bar, float x, float y) {
    TB_MouseEventArg arg;
    arg.X = x;
    arg.Y = y;
    arg.Left = true;
    bar.OnMouseDown(arg);
}

void Release(TB_ScrollBar& bar, float x, float y) {
    TB_MouseEventArg arg;
    arg.X = x;
    arg.Y = y;
    bar.OnMouseUp(arg);
}

// Real windows, but repeat timers that only tick when a test dispatches them.
class RepeatPlatform : public TB_QtPlatform {
public:
    tb_uint64 StartTimer(TB_WindowHandle, tb_uint64 identifier, tb_int interval) override {
        Calls.push_back("start " + std::to_string(interval));
        return identifier;
    }
    void StopTimer(tb_uint64) override { Calls.push_back("stop"); }
    std::vector<std::string> Calls;
};

class ScrollBar : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override {
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_SetPlatform(&platform);
    }
    void TearDown() override {
        if (frame) {
            frame->Release();
            QApplication::processEvents();
        }
        TB_SetPlatform(&TB_GetQtPlatform());
        TB_GetGlobalStyle().ResetToBuiltIn();
    }
    // A vertical bar 18 x 200 in a window, its events logged.
    TB_ScrollBar* MakeWindowed() {
        frame = new TB_Frame();
        frame->SetBounds(0, 0, 300, 300);
        auto* bar = new TB_ScrollBar();
        bar->SetBounds(10, 10, 18, 200);
        frame->AddChild(bar);
        frame->Create();
        Log(*bar);
        return bar;
    }
    void Log(TB_ScrollBar& bar) {
        bar.ValueChangeBegin.Add([this](TB_EventArg&) { events.push_back("begin"); });
        bar.ValueChanged.Add(
            [this, &bar](TB_EventArg&) { events.push_back(std::to_string(bar.Value)); });
        bar.ValueChangeEnd.Add([this](TB_EventArg&) { events.push_back("end"); });
    }
    static bool Send(TB_ScrollBar* bar, tb_uint message, int x, int y, tb_uint64 keys = 0) {
        tb_int64 result = 0;
        return bar->WindowProc(bar->Window, message, keys, TB_MakePointLParam(x, y), result);
    }
    static bool Wheel(TB_ScrollBar* bar, int rawDelta) {
        TB_Vector2 screen = bar->ClientToScreen(TB_Vector2{9, 100});
        auto wParam = static_cast<tb_uint64>(static_cast<std::uint16_t>(rawDelta)) << 16;
        tb_int64 result = 0;
        return bar->WindowProc(
            bar->Window, TB_WM_MOUSEWHEEL, wParam,
            TB_MakePointLParam(static_cast<int>(screen.x), static_cast<int>(screen.y)), result);
    }
    using Events = std::vector<std::string>;

    RepeatPlatform platform;
    TB_Frame* frame = nullptr;
    Events events;
};

TEST_F(ScrollBar, GeometryMinimumThumbAndDegenerateRanges) {
    auto bar = TB_Ref<TB_ScrollBar>::Adopt(new TB_ScrollBar());
    EXPECT_EQ(bar->GetSize(), (TB_Vector2{18, 100}));
    bar->SetSize(18, 200);
    bar->Refresh();
    PropertyDump dump;
    bar->Inspect(dump);
    // Track 200 - 2 * 16 = 168; a page of 10 in 100 gives a thumb of 16.8.
    EXPECT_NE(dump.Text().find("Enable: true\nValue: 0\nMax: 100\nMin: 0\nLargeChange: 10\n"
                               "SmallChange: 5\nThumbRect: [3, 16, 12, 16.8]\n"
                               "DownButtonRect: [0, 0, 18, 16]\nUpButtonRect: [0, 184, 18, 16]\n"),
              std::string::npos)
        << dump.Text();
    bar->SetValue(90);
    EXPECT_FLOAT_EQ(bar->GetThumbRect().y + bar->GetThumbRect().height, 184);

    // Below a quarter arrow the thumb keeps 4 pixels and still spans the whole track.
    bar->Max = 100000;
    bar->SetValue(0);
    EXPECT_EQ(bar->GetThumbRect(), (TB_Rectangle<float>{3, 16, 12, 4}));
    bar->SetValue(100000 - 10);
    EXPECT_FLOAT_EQ(bar->GetThumbRect().y, 184 - 4);
    bar->SetValue(100000);  // past the last page: still inside the track
    EXPECT_FLOAT_EQ(bar->GetThumbRect().y, 184 - 4);

    // Nothing to scroll: the thumb fills the track, whatever the numbers.
    struct Range {
        int min, max, page, value;
    };
    for (Range r : {Range{0, 0, 10, 0}, Range{0, 100, 100, 0}, Range{0, 50, 100, 20},
                    Range{10, 5, 10, 7}, Range{0, 100, 1000, 100}}) {
        bar->Min = r.min;
        bar->Max = r.max;
        bar->LargeChange = r.page;
        bar->Value = r.value;
        bar->Refresh();
        EXPECT_EQ(bar->GetThumbRect(), (TB_Rectangle<float>{3, 16, 12, 168}))
            << r.min << " " << r.max << " " << r.page;
    }
    bar->SetSize(18, 20);  // shorter than its two arrows
    bar->Refresh();
    EXPECT_EQ(bar->GetThumbRect(), (TB_Rectangle<float>{3, 16, 12, 0}));

    TB_GetGlobalStyle().ApplyScale(1.5f);
    auto wide = TB_Ref<TB_ScrollBar>::Adopt(new TB_ScrollBar(TB_Orientation::Horizontal));
    EXPECT_EQ(wide->GetSize(), (TB_Vector2{100, 27}));
    wide->SetSize(300, 27);
    wide->Refresh();
    EXPECT_EQ(wide->GetUpButtonRect(), (TB_Rectangle<float>{276, 0, 24, 27}));
    TB_Rectangle<float> thumb = wide->GetThumbRect();
    EXPECT_FLOAT_EQ(thumb.x, 24);
    EXPECT_FLOAT_EQ(thumb.width, 25.2f);  // track 252
    EXPECT_FLOAT_EQ(thumb.y, 4.5f);
    EXPECT_FLOAT_EQ(thumb.height, 18);
}

// A value that clamping leaves where it is raises nothing; a change raises one sequence, whose
// ValueChangeBegin still sees the old value.
TEST_F(ScrollBar, SetValueClampsBeforeItCompares) {
    auto bar = TB_Ref<TB_ScrollBar>::Adopt(new TB_ScrollBar());
    Log(*bar);
    int seenAtBegin = -1;
    bar->ValueChangeBegin.Add([&](TB_EventArg&) { seenAtBegin = bar->Value; });
    bar->SetValue(-5);
    bar->SetValue(0);
    EXPECT_TRUE(events.empty());
    bar->SetValue(250);
    EXPECT_EQ(events, (Events{"begin", "100", "end"}));
    EXPECT_EQ(seenAtBegin, 0);
    EXPECT_FALSE(bar->ChangeOpen);
    bar->SetValue(101);
    EXPECT_EQ(events.size(), 3u);

    // The interface's own set-value: clamped, with the hook called once per new value.
    struct Knob : TB_IParamWidget<int> {
        void ValueUpdated() override { ++updates; }
        void Refresh() override {}
        int updates = 0;
    } knob;
    knob.SetValue(150);
    knob.SetValue(100);
    EXPECT_EQ(knob.Value, 100);
    EXPECT_EQ(knob.updates, 1);
    knob.Min = 10;
    knob.Max = 5;
    knob.SetValue(7);
    EXPECT_EQ(knob.Value, 10);
}

TEST_F(ScrollBar, ArrowsRepeatOnTheTimerAndTheTrackPagesOnce) {
    TB_ScrollBar* bar = MakeWindowed();
    ASSERT_NE(bar->Window, nullptr);
    Send(bar, TB_WM_LBUTTONDOWN, 9, 195, TB_MK_LBUTTON);
    EXPECT_EQ(bar->Value, 5);
    EXPECT_EQ(bar->GetHeldArrow(), 1);
    EXPECT_EQ(platform.Calls, (Events{"start 100"}));
    tb_uint64 id = bar->GetRepeatTimer()->TimerId;
    for (int tick = 0; tick < 30; ++tick) {
        TB_UiTimer::Dispatch(id);
    }
    EXPECT_EQ(bar->Value, 90);          // the last page, not Max
    EXPECT_EQ(events.size(), 18u * 3);  // 5, 10, ... 90, each its own sequence
    Send(bar, TB_WM_LBUTTONUP, 9, 195);
    EXPECT_EQ(platform.Calls, (Events{"start 100", "stop"}));
    EXPECT_EQ(bar->GetHeldArrow(), 0);
    for (int click = 0; click < 3; ++click) {
        Send(bar, TB_WM_LBUTTONDOWN, 9, 195, TB_MK_LBUTTON);
        Send(bar, TB_WM_LBUTTONUP, 9, 195);
    }
    EXPECT_EQ(events.size(), 18u * 3);

    // Held at 0 the decrement arrow repeats without raising anything.
    bar->SetValue(0);
    events.clear();
    Send(bar, TB_WM_LBUTTONDOWN, 9, 3, TB_MK_LBUTTON);
    for (int tick = 0; tick < 5; ++tick) {
        TB_UiTimer::Dispatch(bar->GetRepeatTimer()->TimerId);
    }
    Send(bar, TB_WM_LBUTTONUP, 9, 3);
    EXPECT_EQ(bar->Value, 0);
    EXPECT_TRUE(events.empty());

    // A press on the track pages once and starts no timer.
    platform.Calls.clear();
    Send(bar, TB_WM_LBUTTONDOWN, 9, 150, TB_MK_LBUTTON);
    EXPECT_EQ(bar->Value, 10);
    EXPECT_TRUE(platform.Calls.empty());
    Send(bar, TB_WM_LBUTTONUP, 9, 150);
    bar->SetValue(85);
    Send(bar, TB_WM_LBUTTONDOWN, 9, 180, TB_MK_LBUTTON);  // below the thumb's 175.6
    Send(bar, TB_WM_LBUTTONUP, 9, 180);
    EXPECT_EQ(bar->Value, 90);
    Send(bar, TB_WM_LBUTTONDOWN, 9, 20, TB_MK_LBUTTON);
    Send(bar, TB_WM_LBUTTONUP, 9, 20);
    EXPECT_EQ(bar->Value, 80);

    // The owner put the value past the last page: forward input must not pull it back.
    bar->SetValue(100);
    events.clear();
    Send(bar, TB_WM_LBUTTONDOWN, 9, 195, TB_MK_LBUTTON);
    Send(bar, TB_WM_LBUTTONUP, 9, 195);
    Wheel(bar, -120);
    EXPECT_EQ(bar->Value, 100);
    EXPECT_TRUE(events.empty());
}

TEST_F(ScrollBar, ThumbDragRaisesOneBeginAndOneEndPerDrag) {
    TB_ScrollBar* bar = MakeWindowed();
    Send(bar, TB_WM_LBUTTONDOWN, 9, 20, TB_MK_LBUTTON);  // 4 pixels into the thumb
    EXPECT_TRUE(bar->IsDragging());
    Send(bar, TB_WM_MOUSEMOVE, 9, 104, TB_MK_LBUTTON);  // thumb top at 100: half the track
    EXPECT_EQ(bar->Value, 50);
    Send(bar, TB_WM_MOUSEMOVE, 2, 105, TB_MK_LBUTTON);  // no whole step further
    Send(bar, TB_WM_MOUSEMOVE, -60, -40, TB_MK_LBUTTON);
    Send(bar, TB_WM_MOUSELEAVE, 0, 0);
    // Another button meanwhile neither pages nor ends the drag.
    Send(bar, TB_WM_RBUTTONDOWN, 9, 150, TB_MK_LBUTTON | TB_MK_RBUTTON);
    Send(bar, TB_WM_RBUTTONUP, 9, 150, TB_MK_LBUTTON);
    EXPECT_EQ(bar->Value, 0);
    Send(bar, TB_WM_MOUSEMOVE, 9, 900, TB_MK_LBUTTON);
    Send(bar, TB_WM_MOUSEMOVE, 9, 950, TB_MK_LBUTTON);
    EXPECT_EQ(bar->Value, 90);
    EXPECT_TRUE(bar->ChangeOpen);
    Send(bar, TB_WM_LBUTTONUP, 9, 950);
    EXPECT_FALSE(bar->IsDragging());
    EXPECT_EQ(events, (Events{"begin", "50", "0", "90", "end"}));

    // A drag that leaves the value alone raises nothing.
    events.clear();
    TB_Rectangle<float> thumb = bar->GetThumbRect();
    int middle = static_cast<int>(thumb.y + thumb.height / 2);
    Send(bar, TB_WM_LBUTTONDOWN, 9, middle, TB_MK_LBUTTON);
    Send(bar, TB_WM_MOUSEMOVE, 9, middle + 1, TB_MK_LBUTTON);
    Send(bar, TB_WM_LBUTTONUP, 9, middle + 1);
    EXPECT_TRUE(events.empty());

    // Disabled halfway, the bar gets no release: the sequence ends at once.
    Send(bar, TB_WM_LBUTTONDOWN, 9, middle, TB_MK_LBUTTON);
    Send(bar, TB_WM_MOUSEMOVE, 9, middle - 83, TB_MK_LBUTTON);
    bar->SetEnable(false);
    EXPECT_EQ(events, (Events{"begin", "40", "end"}));
    EXPECT_FALSE(bar->ChangeOpen);
    bar->SetValue(0);
    EXPECT_EQ(events.size(), 6u);  // a later change is a whole sequence of its own
}

TEST_F(ScrollBar, WheelMovesAnEighthOfAPageAndKeepsFractionsOfANotch) {
    TB_ScrollBar* bar = MakeWindowed();
    bar->Max = 1000;
    bar->LargeChange = 80;
    bar->Refresh();
    EXPECT_TRUE(Wheel(bar, -120));  // handled here, not passed on to the parent
    EXPECT_EQ(bar->Value, 10);
    EXPECT_EQ(events, (Events{"begin", "10", "end"}));
    Wheel(bar, 120);
    EXPECT_EQ(bar->Value, 0);

    // Thirds of a notch: 3.33 value steps each, the fractions carried.
    std::vector<int> seen;
    for (int turn = 0; turn < 3; ++turn) {
        Wheel(bar, -40);
        seen.push_back(bar->Value);
    }
    EXPECT_EQ(seen, (std::vector<int>{3, 6, 10}));
    for (int turn = 0; turn < 120; ++turn) {
        Wheel(bar, -1);  // a touchpad's hundred-and-twentieths
    }
    EXPECT_EQ(bar->Value, 20);
    Wheel(bar, -40);  // 3 steps and a third left over, which turning back drops
    Wheel(bar, 40);
    EXPECT_EQ(bar->Value, 20);

    bar->SetValue(915);
    Wheel(bar, -120);
    EXPECT_EQ(bar->Value, 920);  // Max - LargeChange
    events.clear();
    Wheel(bar, -120);
    EXPECT_TRUE(events.empty());

    bar->SetEnable(false);
    Wheel(bar, 120);
    EXPECT_EQ(bar->Value, 920);
    EXPECT_TRUE(events.empty());
}

// Vertical arrows point up and down, horizontal ones left and right; the held arrow, the
// hovered arrow and the thumb take their colours, and a disabled bar shows no thumb.
TEST_F(ScrollBar, PaintsEachStateAndTheDisabledLook) {
    TB_GlobalStyle& style = TB_GetGlobalStyle();
    style.ScrollDisabledBackground = TB_GlobalStyle::Hex(0x303030);
    auto bar = TB_Ref<TB_ScrollBar>::Adopt(new TB_ScrollBar());
    bar->SetSize(18, 200);
    auto rest = Paint(*bar);
    EXPECT_EQ(Pixel(rest, 9, 24), Argb(style.ScrollFore));            // thumb
    EXPECT_EQ(Pixel(rest, 9, 100), Argb(style.ScrollBackground));     // track
    EXPECT_EQ(Pixel(rest, 1, 24), Argb(style.ScrollBackground));      // beside the thumb
    EXPECT_EQ(Pixel(rest, 9, 6), Argb(style.ScrollFore));             // near the apex
    EXPECT_EQ(Pixel(rest, 5, 6), Argb(style.ScrollBackground));       // narrow at the top
    EXPECT_EQ(Pixel(rest, 5, 11), Argb(style.ScrollFore));            // wide at the base
    EXPECT_EQ(Pixel(rest, 5, 200 - 11 - 1), Argb(style.ScrollFore));  // mirrored below
    EXPECT_EQ(Pixel(rest, 5, 200 - 6 - 1), Argb(style.ScrollBackground));

    Move(*bar, 9, 8);
    auto arrowHover = Paint(*bar);
    EXPECT_EQ(Pixel(arrowHover, 9, 9), Argb(style.ScrollForeHover));
    EXPECT_EQ(Pixel(arrowHover, 9, 24), Argb(style.ScrollFore));
    Move(*bar, 9, 17);  // straight onto the thumb, which touches the arrow
    auto thumbHover = Paint(*bar);
    EXPECT_EQ(Pixel(thumbHover, 9, 24), Argb(style.ScrollForeHover));
    EXPECT_EQ(Pixel(thumbHover, 9, 9), Argb(style.ScrollFore));
    Move(*bar, 9, 8);
    Press(*bar, 9, 195);
    auto held = Paint(*bar);
    EXPECT_EQ(Pixel(held, 9, 190), Argb(style.ScrollForePressed));
    EXPECT_EQ(Pixel(held, 9, 9), Argb(style.ScrollFore));  // no hover while an arrow is held
    Release(*bar, 9, 195);
    bar->OnMouseLeave();
    Press(*bar, 9, 30);
    EXPECT_EQ(Pixel(Paint(*bar), 9, 30), Argb(style.ScrollForePressed));
    Release(*bar, 9, 30);

    bar->SetEnable(false);
    auto disabled = Paint(*bar);
    EXPECT_EQ(Pixel(disabled, 9, 30), Argb(style.ScrollDisabledBackground));
    EXPECT_EQ(Pixel(disabled, 9, 9), Argb(style.ScrollForeDisabled));
    EXPECT_EQ(Pixel(disabled, 9, 190), Argb(style.ScrollForeDisabled));

    auto wide = TB_Ref<TB_ScrollBar>::Adopt(new TB_ScrollBar(TB_Orientation::Horizontal));
    wide->SetSize(200, 18);
    auto across = Paint(*wide);
    EXPECT_EQ(Pixel(across, 24, 9), Argb(style.ScrollFore));
    EXPECT_EQ(Pixel(across, 6, 9), Argb(style.ScrollFore));
    EXPECT_EQ(Pixel(across, 6, 5), Argb(style.ScrollBackground));  // the apex points left
    EXPECT_EQ(Pixel(across, 11, 5), Argb(style.ScrollFore));
    EXPECT_EQ(Pixel(across, 200 - 11 - 1, 5), Argb(style.ScrollFore));
}

// Every state in both orientations at 100 % and 150 %, for a person to look at:
// build/.../test-output/scrollbars.png.
TEST_F(ScrollBar, ContactSheetOfEveryState) {
    const int kSheetWidth = 760, kSheetHeight = 610;
    auto sheet = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(kSheetWidth, kSheetHeight));
    auto g = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(sheet.Get()));
    g->Clear(TB_GlobalStyle::Hex(0x202020));
    const int kStates = 8;  // rest, thumb hover, arrow hover, held arrow, drag, disabled,
                            // range within the page, minimum thumb
    float y = 8;
    for (float scale : {1.0f, 1.5f}) {
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_GetGlobalStyle().ApplyScale(scale);
        float length = 160 * scale;
        float x = 8, rowHeight = 0;
        for (tb_int orientation : {TB_Orientation::Vertical, TB_Orientation::Horizontal}) {
            for (int state = 0; state < kStates; ++state) {
                auto bar = TB_Ref<TB_ScrollBar>::Adopt(new TB_ScrollBar(orientation));
                float thick = orientation == TB_Orientation::Vertical ? bar->Width : bar->Height;
                if (orientation == TB_Orientation::Vertical) {
                    bar->SetSize(thick, length);
                } else {
                    bar->SetSize(length, thick);
                }
                bar->Max = state == 7 ? 100000 : state == 6 ? 5 : 100;
                bar->Refresh();
                bar->SetValue(state == 7 ? 50000 : 30);
                TB_Rectangle<float> thumb = bar->GetThumbRect();
                float tx = thumb.x + thumb.width / 2, ty = thumb.y + thumb.height / 2;
                float end = length - 4 * scale;
                bool vertical = orientation == TB_Orientation::Vertical;
                if (state == 1) {
                    Move(*bar, tx, ty);
                } else if (state == 2) {
                    Move(*bar, vertical ? thick / 2 : 4 * scale, vertical ? 4 * scale : thick / 2);
                } else if (state == 3) {
                    Press(*bar, vertical ? thick / 2 : end, vertical ? end : thick / 2);
                } else if (state == 4) {
                    Press(*bar, tx, ty);
                } else if (state == 5) {
                    bar->SetEnable(false);
                }
                auto painted = Paint(*bar);
                if (x + bar->Width > kSheetWidth - 8) {
                    x = 8;
                    y += rowHeight + 8;
                    rowHeight = 0;
                }
                g->DrawImage(painted.Get(), TB_Rectangle<float>{x, y, bar->Width, bar->Height},
                             TB_Rectangle<float>{0, 0, bar->Width, bar->Height});
                x += bar->Width + 8;
                rowHeight = std::max(rowHeight, bar->Height);
                EXPECT_TRUE(std::isfinite(thumb.y) && std::isfinite(thumb.height));
            }
            x = 8;
            y += rowHeight + 12;
            rowHeight = 0;
        }
    }
    g.Reset();
    std::string folder = std::string(LUMOVOX_BINARY_DIR) + "/test-output";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(sheet->SavePng(TB_Uri(TB_String((folder + "/scrollbars.png").c_str()))));
    EXPECT_LT(y, kSheetHeight);  // everything fitted
}

}  // namespace
