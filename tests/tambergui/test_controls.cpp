#include <gtest/gtest.h>

#include "paint_util.h"

#include <QApplication>

#include <filesystem>
#include <functional>

#include "tb_button.h"
#include "tb_checkbox.h"
#include "tb_frame.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_message.h"

namespace {

// The first row that holds a pixel of the colour, or -1.
int FirstRowWith(const TB_Ref<TB_NativeBitmap>& bitmap, tb_uint argb) {
    for (int y = 0; y < bitmap->Height; ++y) {
        for (int x = 0; x < bitmap->Width; ++x) {
            if (Pixel(bitmap, x, y) == argb) {
                return y;
            }
        }
    }
    return -1;
}

class Controls : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override { TB_GetGlobalStyle().ResetToBuiltIn(); }
    void TearDown() override { TB_GetGlobalStyle().ResetToBuiltIn(); }
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
};

TEST_F(Controls, StandardButtonFacesBorderFocusAndTheSinkingCaption) {
    auto button = TB_Ref<TB_Button>::Adopt(new TB_Button(u"再生"));
    EXPECT_EQ(button->Width, 100);
    EXPECT_EQ(button->Height, 28);
    button->BackgroundColor = TB_GlobalStyle::Hex(0x112233);
    auto rest = Paint(*button);
    EXPECT_EQ(Pixel(rest, 50, 4), Argb(style.ButtonFace));
    EXPECT_EQ(Pixel(rest, 1, 14), Argb(style.ButtonBorder));
    EXPECT_EQ(Pixel(rest, 0, 14), Argb(style.ButtonFace));  // the face covers everything
    int restRow = FirstRowWith(rest, 0xFFFFFFFF);
    ASSERT_GT(restRow, 0);  // white caption

    button->Hovered = true;
    EXPECT_EQ(Pixel(Paint(*button), 50, 4), Argb(style.ButtonHoverFace));
    button->PressedLook = true;
    auto pressed = Paint(*button);
    EXPECT_EQ(Pixel(pressed, 50, 4), Argb(style.ButtonPressedFace));
    EXPECT_EQ(FirstRowWith(pressed, 0xFFFFFFFF), restRow + 1);  // the caption sinks a pixel

    // The focus ring shows only when the focus came from the keyboard.
    button->PressedLook = button->Hovered = false;
    button->Focused = true;
    auto ring = [&] {
        auto focused = Paint(*button);
        int on = 0;
        for (int x = 4; x < 95; ++x) {
            on += Pixel(focused, x, 1) == Argb(style.FocusFrame) ? 1 : 0;
        }
        return on;
    };
    TB_SetFocusFromKeys(false);
    EXPECT_EQ(ring(), 0);
    TB_SetFocusFromKeys(true);
    EXPECT_EQ(ring(), 91);  // a solid line round the edge
    TB_SetFocusFromKeys(false);

    button->Focused = false;
    button->SetEnable(false);
    auto disabled = Paint(*button);
    EXPECT_EQ(Pixel(disabled, 1, 14), Argb(style.ButtonDisabledFontColor));
    EXPECT_EQ(FirstRowWith(disabled, 0xFFFFFFFF), -1);  // the caption greys out

    // Flat: the background at rest, no border. Image: the background, no focus frame.
    button->SetEnable(true);
    button->ButtonStyle = TB_ButtonStyle::Flat;
    auto flat = Paint(*button);
    EXPECT_EQ(Pixel(flat, 1, 14), 0xFF112233u);
    button->ButtonStyle = TB_ButtonStyle::Image;
    button->Hovered = true;
    button->Focused = true;
    auto image = Paint(*button);
    EXPECT_EQ(Pixel(image, 50, 4), 0xFF112233u);
    EXPECT_EQ(Pixel(image, 4, 4), 0xFF112233u);
}

std::string Icon(const char* colour) {
    return std::string("<svg viewBox=\"0 0 10 10\"><style>.i{fill:") + colour +
           "}</style><rect class=\"i\" x=\"0\" y=\"0\" width=\"10\" height=\"10\"/></svg>";
}

TEST_F(Controls, ImageButtonsShowTheirStateImageOrTheNormalOne) {
    auto button = TB_Ref<TB_Button>::Adopt(new TB_Button(u"x"));
    button->ButtonStyle = TB_ButtonStyle::Image;
    button->SetSize(40, 30);
    auto normal = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
    auto hover = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
    ASSERT_TRUE(normal->LoadText(Icon("#ff0000").c_str()));
    ASSERT_TRUE(hover->LoadText(Icon("#00ff00").c_str()));
    button->SetNormalImage(normal.Get());
    button->SetNormalImage(normal.Get());  // the same image: no second count
    EXPECT_EQ(normal->RefCount(), 2);
    // A square icon fitted into the inner rectangle (1, 1, 38, 28), centred.
    auto atRest = Paint(*button);
    EXPECT_EQ(Pixel(atRest, 20, 15), 0xFFFF0000u);
    EXPECT_NE(Pixel(atRest, 3, 15), 0xFFFF0000u);
    button->Hovered = true;
    EXPECT_EQ(Pixel(Paint(*button), 20, 15), 0xFFFF0000u);  // no hover image: the normal one
    button->SetHoverImage(hover.Get());
    EXPECT_EQ(Pixel(Paint(*button), 20, 15), 0xFF00FF00u);
    button->PressedLook = true;
    button->SetEnable(false);  // disabled wins, and falls back to normal as well
    EXPECT_EQ(Pixel(Paint(*button), 20, 15), 0xFFFF0000u);
    button.Reset();
    EXPECT_EQ(normal->RefCount(), 1);
    EXPECT_EQ(hover->RefCount(), 1);
}

TEST_F(Controls, TogglesCheckBoxesAndLabelsAtTwoScales) {
    for (float scale : {1.0f, 1.5f}) {
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_GetGlobalStyle().ApplyScale(scale);
        auto toggle = TB_Ref<TB_ToggleButton>::Adopt(new TB_ToggleButton(u"★"));
        EXPECT_FLOAT_EQ(toggle->Width, 100 * scale);
        toggle->BackgroundColor = TB_Color{0, 0, 0, 1};
        int changes = 0;
        bool selectedSeenByAction = true;
        auto action = TB_Ref<TB_Action>::Adopt(
            new TB_Action([&](TB_EventArg&) { selectedSeenByAction = toggle->Selected; }));
        toggle->Action = action.Get();
        toggle->SelectedChanged.Add([&](TB_EventArg&) { ++changes; });
        toggle->PerformClick();
        EXPECT_TRUE(toggle->Selected);
        EXPECT_FALSE(selectedSeenByAction);  // the action saw the state before the click
        auto selected = Paint(*toggle);
        EXPECT_EQ(Pixel(selected, 1, 10), Argb(style.ToggleSelectedFrame));
        EXPECT_NE(FirstRowWith(selected, Argb(style.ToggleSelectedText)), -1);
        toggle->PerformClick();
        EXPECT_FALSE(toggle->Selected);
        EXPECT_EQ(changes, 2);

        auto box = TB_Ref<TB_CheckBox>::Adopt(new TB_CheckBox(u"お気に入り のみ"));
        EXPECT_GE(box->Height, 14 * scale);
        auto tiny = TB_Ref<TB_CheckBox>::Adopt(new TB_CheckBox(u"x", 3));
        EXPECT_FLOAT_EQ(tiny->Height, 14 * scale);  // text shorter than the box
        box->Checked = true;
        auto checked = Paint(*box);
        float side = 14 * scale;
        int boxY = static_cast<int>((box->Height - side) * 0.5f);
        EXPECT_EQ(
            Pixel(checked, static_cast<int>(side * 0.4f), boxY + static_cast<int>(side * 0.82f)),
            Argb(style.CheckBoxMark));  // inside the tick, above its bottom point
        EXPECT_EQ(
            Pixel(checked, static_cast<int>(side * 0.8f), boxY + static_cast<int>(side * 0.85f)),
            Argb(style.CheckBoxFill));  // white below the tick's right arm
        EXPECT_EQ(Pixel(checked, 0, boxY + 3), Argb(style.CheckBoxMark));  // the outline

        auto label = TB_Ref<TB_Lable>::Adopt(new TB_Lable(u"abc", 0));
        auto graphics = TB_GetMeasureGraphics();
        TB_Font* before = graphics->Font;
        graphics->Font = label->Font;
        TB_Vector2 measured = graphics->MeasureString(TB_String(u"abc"));
        graphics->Font = before;
        EXPECT_FLOAT_EQ(label->Width, measured.x + 3);
        EXPECT_FLOAT_EQ(label->Height, measured.y);
    }
}

TEST_F(Controls, CheckBoxAutoSizeAndDisabledInput) {
    auto box = TB_Ref<TB_CheckBox>::Adopt(new TB_CheckBox());
    box->SetText(u"abc");
    auto graphics = TB_GetMeasureGraphics();
    TB_Font* before = graphics->Font;
    graphics->Font = box->Font;
    TB_Vector2 measured = graphics->MeasureString(TB_String(u"abc"));
    graphics->Font = before;
    EXPECT_FLOAT_EQ(box->Width, measured.x + 14 + 6);
    int changes = 0;
    box->CheckedChanged.Add([&](TB_EventArg&) { ++changes; });
    TB_KeyEventArg enter;
    enter.KeyCode = 13;
    box->OnKeyDown(enter);
    EXPECT_TRUE(box->Checked);
    box->SetEnable(false);
    box->OnKeyDown(enter);
    TB_MouseEventArg click;
    box->OnClick(click);
    EXPECT_TRUE(box->Checked);
    EXPECT_EQ(changes, 1);
    int boxY = static_cast<int>((box->Height - 14) * 0.5f);
    EXPECT_EQ(Pixel(Paint(*box), 2, boxY + 11), Argb(style.CheckBoxDisabledFill));
}

TEST_F(Controls, LabelsLookTransparentOnTheirParentAndUnderline) {
    auto panel = TB_Ref<TB_Canvas>::Adopt(new TB_Canvas());
    panel->BackgroundColor = TB_GlobalStyle::Hex(0x336699);
    auto* label = new TB_Lable(u"声", 0);
    label->Parent = panel.Get();
    label->Underline = true;
    label->Highlight = true;
    label->HighlightColor = TB_GlobalStyle::Hex(0xFF8000);
    auto painted = Paint(*label);
    EXPECT_EQ(Pixel(painted, 0, 0), 0xFF336699u);
    EXPECT_GE(FirstRowWith(painted, 0xFFFF8000u), 0);  // highlighted text
    // The underline: an orange run along the bottom rows, most of the text's width.
    int orange = 0;
    for (int y = painted->Height - 2; y < painted->Height; ++y) {
        for (int x = 0; x < painted->Width; ++x) {
            tb_uint p = Pixel(painted, x, y);
            orange += ((p >> 16) & 0xFF) > 0x80 && (p & 0xFF) < 0x40 ? 1 : 0;
        }
    }
    EXPECT_GE(orange, painted->Width / 2);
    panel->BackgroundColor = TB_GlobalStyle::Hex(0x224400);  // the parent changes colour
    EXPECT_EQ(Pixel(Paint(*label), 0, 0), 0xFF224400u);
    label->Release();
}

// Real pointer messages on offscreen windows: a click released outside does nothing, a
// click runs the action, and a button freed by its own click handler stays safe.
TEST_F(Controls, ClicksOnRealWindows) {
    auto* frame = new TB_Frame();
    frame->SetBounds(0, 0, 300, 100);
    auto* button = new TB_Button(u"OK");
    button->SetBounds(10, 10, 100, 28);
    frame->AddChild(button);
    frame->Create();
    int runs = 0;
    auto action = TB_Ref<TB_Action>::Adopt(new TB_Action([&](TB_EventArg&) { ++runs; }));
    button->Action = action.Get();
    auto send = [&](tb_uint message, int x, int y) {
        tb_int64 result = 0;
        button->WindowProc(button->Window, message,
                           message == TB_WM_LBUTTONDOWN ? tb_uint64{TB_MK_LBUTTON} : 0,
                           TB_MakePointLParam(x, y), result);
    };
    send(TB_WM_LBUTTONDOWN, 5, 5);
    EXPECT_TRUE(button->PressedLook);
    send(TB_WM_LBUTTONUP, 150, 5);  // released outside
    EXPECT_FALSE(button->PressedLook);
    EXPECT_EQ(runs, 0);
    send(TB_WM_LBUTTONDOWN, 5, 5);
    send(TB_WM_LBUTTONUP, 6, 6);
    EXPECT_EQ(runs, 1);
    TB_KeyEventArg enter;
    enter.KeyCode = 13;
    button->OnKeyDown(enter);
    EXPECT_EQ(runs, 2);
    TB_KeyEventArg space;
    space.KeyCode = TB_VK_SPACE;
    button->OnKeyDown(space);
    EXPECT_EQ(runs, 3);

    // The handler removes the button from its frame, which releases the last count.
    button->Click.Add([frame, button](TB_MouseEventArg&) {
        frame->RemoveChild(button);
        button->Release();
    });
    send(TB_WM_LBUTTONDOWN, 5, 5);
    send(TB_WM_LBUTTONUP, 5, 5);
    QApplication::processEvents();
    EXPECT_EQ(runs, 4);
    frame->Release();
}

}  // namespace

namespace {

// Every control in every state at 100 % and 150 %, side by side, for a person to look at:
// build/test-output/controls.png.
TEST_F(Controls, ContactSheetOfEveryControlAndState) {
    const int kSheetWidth = 900, kSheetHeight = 520;
    auto sheet = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(kSheetWidth, kSheetHeight));
    auto g = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(sheet.Get()));
    g->Clear(TB_GlobalStyle::Hex(0x404040));
    std::string icons = std::string(LUMOVOX_SOURCE_DIR) + "/style/dark/";
    auto load = [&](const char* name) {
        auto image = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
        image->LoadFile(TB_Uri(TB_String((icons + name).c_str())));
        return image;
    };
    auto normal = load("saisei_normal.svg"), on = load("saisei_on.svg"),
         active = load("saisei_active.svg"), off = load("saisei_mukou.svg");
    float y = 8;
    for (float scale : {1.0f, 1.5f}) {
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_GetGlobalStyle().ApplyScale(scale);
        float x = 8, rowHeight = 0;
        auto place = [&](TB_Canvas& control) {
            control.BackgroundColor = TB_GlobalStyle::Hex(0x404040);
            auto painted = Paint(control);
            if (x + control.Width > kSheetWidth - 8) {
                x = 8;
                y += rowHeight + 8;
                rowHeight = 0;
            }
            g->DrawImage(painted.Get(), TB_Rectangle<float>{x, y, control.Width, control.Height},
                         TB_Rectangle<float>{0, 0, control.Width, control.Height});
            x += control.Width + 8;
            rowHeight = std::max(rowHeight, control.Height);
        };
        for (int state = 0; state < 5; ++state) {
            for (tb_int kind : {TB_ButtonStyle::Standard, TB_ButtonStyle::Flat}) {
                auto button = TB_Ref<TB_Button>::Adopt(new TB_Button(u"再生 Play"));
                button->ButtonStyle = kind;
                button->Hovered = state == 1;
                button->PressedLook = state == 2;
                button->Focused = state == 3;
                button->SetEnable(state != 4);
                place(*button);
            }
            auto image = TB_Ref<TB_Button>::Adopt(new TB_Button(u"再生"));
            image->ButtonStyle = TB_ButtonStyle::Image;
            image->SetSize(36 * scale, 36 * scale);
            image->SetNormalImage(normal.Get());
            image->SetHoverImage(on.Get());
            image->SetPressedImage(active.Get());
            image->SetDisabledImage(off.Get());
            image->Hovered = state == 1;
            image->PressedLook = state == 2;
            image->SetEnable(state != 4);
            place(*image);
        }
        for (bool selected : {false, true}) {
            auto toggle = TB_Ref<TB_ToggleButton>::Adopt(new TB_ToggleButton(u"★ お気に入り"));
            toggle->Selected = selected;
            place(*toggle);
        }
        for (int state = 0; state < 4; ++state) {
            auto box = TB_Ref<TB_CheckBox>::Adopt(new TB_CheckBox(u"お気に入り のみ"));
            box->Checked = state != 0;
            box->Focused = state == 2;
            box->SetEnable(state != 3);
            place(*box);
        }
        for (int state = 0; state < 4; ++state) {
            auto label = TB_Ref<TB_Lable>::Adopt(new TB_Lable(u"ルモヴォクス label", 0));
            label->Highlight = state == 1;
            label->HighlightColor = TB_GlobalStyle::Hex(0xFFC040);
            label->Underline = state == 2;
            label->SetEnable(state != 3);
            place(*label);
        }
        y += rowHeight + 24;
    }
    g.Reset();
    std::string folder = std::string(LUMOVOX_BINARY_DIR) + "/test-output";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(sheet->SavePng(TB_Uri(TB_String((folder + "/controls.png").c_str()))));
    EXPECT_LT(y, kSheetHeight);  // everything fitted
}

}  // namespace
