#include <gtest/gtest.h>

#include "paint_util.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/tb_qt_platform.h"
#include "tb_bitmaploader.h"
#include "tb_filestream.h"
#include "tb_frame.h"
#include "tb_framework.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_memorystream.h"
#include "tb_message.h"
#include "tb_messageloop.h"
#include "tb_uidump.h"
#include "tc_app_voice_lib.h"
#include "tc_voicelibraryselector.h"
#include "tc_voiceloader.h"
#include "test_util.h"

namespace {

// A solid square thumbnail, or an image of the given size split into two colours.
TB_Bitmap32* Thumbnail(tb_uint argb, int width = 32, int height = 32, tb_uint right = 0) {
    auto* bitmap = new TB_NativeBitmap(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            *bitmap->PixelAt(x, y) = right && x >= width / 2 ? right : argb;
        }
    }
    bitmap->Unlock();
    return bitmap;
}

TC_VoiceLibrary* Library(const std::string& name, TB_Bitmap32* thumbnail = nullptr) {
    auto* library = new TC_VoiceLibrary();
    library->Name = TB_String(name.c_str());
    library->Type = TC_VoiceLibraryType::Folder;
    if (thumbnail) {
        library->SetThumbnail(thumbnail);
        thumbnail->Release();
    }
    return library;
}

// The Qt platform on one 1024 x 768 screen.
class ScreenPlatform : public TB_QtPlatform {
public:
    std::vector<TB_Rectangle<int>> WorkAreas() override { return {{0, 0, 1024, 768}}; }
};

class LibrarySelector : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override {
        TB_AppDescriptor descriptor;
        TB_FrameworkStartup(descriptor);
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_SetPlatform(&platform);
    }
    void TearDown() override {
        if (frame) {
            frame->Release();
            QApplication::processEvents();
        }
        TB_ReleaseAll(libs);
        TB_SetPlatform(&TB_GetQtPlatform());
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_FrameworkShutdown();
    }
    void AddLibraries(int count) {
        for (int i = 0; i < count; ++i) {
            libs.Add(Library("lib" + std::to_string(i + 1), Thumbnail(0xFF000000u + i)));
        }
    }
    // A selector 300 wide in a window, its events logged by library name ("-" for none).
    TC_VoiceLibrarySelector* MakeSelector(float scale = 1) {
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_GetGlobalStyle().ApplyScale(scale);
        frame = new TB_Frame();
        frame->SetBounds(0, 0, 500, 700);
        auto* selector = new TC_VoiceLibrarySelector();
        selector->SetBounds(10, 10, 300, 30);
        frame->AddChild(selector);
        selector->LibraryChanged.Add([this](TC_VoiceLibraryEventArg& arg) {
            events.push_back(arg.Library ? arg.Library->Name.ToStdString() : "-");
        });
        selector->PopupShown.Add([this, selector](TB_EventArg&) {
            ++shown;
            if (m_during) {
                m_during(selector->GetPopup());
            }
        });
        return selector;
    }
    static void Send(TB_NativeWidget* widget, tb_uint message, int x, int y, tb_uint64 keys = 0) {
        tb_int64 result = 0;
        widget->WindowProc(widget->Window, message, keys, TB_MakePointLParam(x, y), result);
    }
    static void ClickAt(TB_NativeWidget* widget, int x, int y) {
        Send(widget, TB_WM_LBUTTONDOWN, x, y, TB_MK_LBUTTON);
        Send(widget, TB_WM_LBUTTONUP, x, y);
    }
    // Clicks the selector; while its popup is open, during is called with it.
    void Open(TC_VoiceLibrarySelector* selector,
              const std::function<void(TC_VoiceLibrarySelectorPopup*)>& during) {
        int before = shown;
        m_during = during;
        ClickAt(selector, 20, 15);
        m_during = nullptr;
        EXPECT_EQ(shown, before + 1);
        EXPECT_EQ(selector->GetPopup(), nullptr);  // closed by the time the click returns
    }

    ScreenPlatform platform;
    TB_Frame* frame = nullptr;
    TB_List<TC_VoiceLibrary*> libs;  // one count each
    std::vector<std::string> events;
    int shown = 0;
    std::function<void(TC_VoiceLibrarySelectorPopup*)> m_during;
};

TEST_F(LibrarySelector, SettingListsMakesTheFirstCurrentAndReportsEachChange) {
    TC_VoiceLibrarySelector* selector = MakeSelector();
    TB_List<TC_VoiceLibrary*> empty;
    selector->SetLibraries(&empty);  // nothing was current: nothing to report
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(selector->Cursor, TB_CursorKind::Hand);

    AddLibraries(3);
    selector->SetLibraries(&libs);
    EXPECT_EQ(events, (std::vector<std::string>{"lib1"}));
    selector->SetLibrary(libs[0]);  // the same one again
    selector->SetLibrary(libs[2]);
    EXPECT_EQ(selector->GetLibrary(), libs[2]);
    selector->SetLibraries(&empty);
    EXPECT_EQ(events, (std::vector<std::string>{"lib1", "lib3", "-"}));
    EXPECT_EQ(selector->GetLibrary(), nullptr);

    // Replacing a list drops the current library first, then takes the new first one.
    selector->SetLibraries(&libs);
    selector->SetLibrary(libs[1]);
    events.clear();
    selector->SetLibraries(&libs);
    EXPECT_EQ(events, (std::vector<std::string>{"-", "lib1"}));

    // Without a list, or with an empty one, a click opens nothing.
    selector->SetLibraries(&empty);
    frame->Create();
    ClickAt(selector, 20, 15);
    selector->SetLibraries(nullptr);
    ClickAt(selector, 20, 15);
    EXPECT_EQ(shown, 0);
}

TEST_F(LibrarySelector, PopupHeightScrollRangeAndScrollingToTheChosenRow) {
    struct Case {
        float scale;
        int count;
        int chosen;  // zero-based
        int rows;    // whole rows only, within 420 × the scale less the 1 px border
        bool scrolls;
        int value;
    };
    const Case cases[] = {
        {1.0f, 20, 0, 14, true, 0},
        {1.0f, 10, 9, 10, false, 0},
        {1.0f, 14, 13, 14, false, 0},         // exactly full: nothing to scroll
        {1.0f, 15, 14, 14, true, 420 - 392},  // one more: held at the last page
        {1.0f, 20, 17, 14, true, 560 - 392},  // the 18th: held at the last page
        {1.0f, 40, 17, 14, true, 17 * 28},    // the 18th at the top
        {1.5f, 20, 17, 14, true, 20 * 42 - 588},
        {1.25f, 40, 3, 14, true, 3 * 35},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.scale) + " x " + std::to_string(c.count));
        TB_ReleaseAll(libs);
        AddLibraries(c.count);
        auto selector = TB_Ref<TC_VoiceLibrarySelector>::Adopt(new TC_VoiceLibrarySelector());
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_GetGlobalStyle().ApplyScale(c.scale);
        selector->SetSize(300, 30);
        selector->SetLibraries(&libs);
        selector->SetLibrary(libs[c.chosen]);
        auto popup = TB_Ref<TC_VoiceLibrarySelectorPopup>::Adopt(
            new TC_VoiceLibrarySelectorPopup(selector.Get(), &libs));
        int r = static_cast<int>(28 * c.scale);
        float inner = static_cast<float>(c.rows * r);
        EXPECT_EQ(popup->GetRowHeight(), r);
        EXPECT_FLOAT_EQ(popup->Width, 300);
        EXPECT_FLOAT_EQ(popup->Height, inner + 2);
        TB_ScrollBar* bar = popup->GetScrollBar();
        EXPECT_EQ(bar->IsEnable(), c.scrolls);
        EXPECT_EQ(bar->Id.ToStdString(), "scroll");
        if (c.scrolls) {
            EXPECT_EQ(bar->Max, r * c.count);
            EXPECT_EQ(bar->LargeChange, static_cast<int>(inner));
            EXPECT_EQ(bar->SmallChange, r);
        }
        EXPECT_EQ(bar->Value, c.value);
        // The canvas sits inside the 1 px border, beside the bar while there is one.
        TB_Canvas* canvas = popup->GetCanvas();
        EXPECT_FLOAT_EQ(canvas->X, 1);
        EXPECT_FLOAT_EQ(canvas->Width, 300 - 2 - (c.scrolls ? bar->Width : 0));
        EXPECT_FLOAT_EQ(canvas->Height, inner);
        EXPECT_FLOAT_EQ(bar->X, 1 + canvas->Width);
        TC_VoiceLibrary* chosen = libs[c.chosen];
        EXPECT_TRUE(chosen->Selected);
        EXPECT_FLOAT_EQ(chosen->DisplayRect.y, static_cast<float>(c.chosen * r));
        // The row under the top of the canvas is the one scrolled to.
        EXPECT_EQ(popup->RowAt(5, 1), libs[c.value / r]);
        selector->SetLibraries(nullptr);
    }
}

// Groups two deep: each level indents by a row height, the thumbnail square follows the
// indent and the name starts 8 pixels after it; the scaled thumbnails are made once.
TEST_F(LibrarySelector, NestedRowsIndentThumbnailAndName) {
    for (float scale : {1.0f, 1.5f}) {
        SCOPED_TRACE(scale);
        TB_ReleaseAll(libs);
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_GetGlobalStyle().ApplyScale(scale);
        auto* group = Library("group", Thumbnail(0xFF0000FFu));
        auto* inner = Library("inner", Thumbnail(0xFF00FF00u));
        // A wide thumbnail: fitted to the square's width and centred vertically.
        auto* deep = Library("deep", Thumbnail(0xFFFF0000u, 64, 32));
        inner->SubLibs.Add(deep);
        group->SubLibs.Add(inner);
        libs.Add(group);
        libs.Add(Library("no thumbnail"));
        auto selector = TB_Ref<TC_VoiceLibrarySelector>::Adopt(new TC_VoiceLibrarySelector());
        selector->SetSize(400, 30);
        selector->SetLibraries(&libs);
        auto popup = TB_Ref<TC_VoiceLibrarySelectorPopup>::Adopt(
            new TC_VoiceLibrarySelectorPopup(selector.Get(), &libs));
        ASSERT_EQ(popup->GetRows().Count(), 4);
        EXPECT_EQ(popup->GetRows()[2], deep);
        EXPECT_EQ(deep->Depth, 2);
        EXPECT_EQ(libs[1]->FlatIndex, 3);
        int r = popup->GetRowHeight();
        auto painted = Paint(*popup->GetCanvas());
        tb_uint ground = Argb(TB_GetGlobalStyle().ContentsBackground);
        int top = 2 * r, indent = 2 * r;
        EXPECT_EQ(Pixel(painted, indent + r / 2, top + r / 2), 0xFFFF0000u);
        EXPECT_EQ(Pixel(painted, indent - 2, top + r / 2), ground);
        EXPECT_EQ(Pixel(painted, indent + r / 2, top + 2), ground);  // above the wide image
        EXPECT_EQ(Pixel(painted, r + r / 2, r + r / 2), 0xFF00FF00u);
        EXPECT_EQ(Pixel(painted, r / 2, r / 2), 0xFF0000FFu);
        // The name: nothing between the thumbnail and its start, text soon after.
        auto inkColumn = [&](int rowTop, int from) {
            for (int x = from; x < static_cast<int>(popup->GetCanvas()->Width); ++x) {
                for (int y = rowTop; y < std::min(rowTop + r, painted->Height); ++y) {
                    if (Pixel(painted, x, y) != ground) {
                        return x;
                    }
                }
            }
            return -1;
        };
        int textStart = indent + r + 8;
        int ink = inkColumn(top, indent + r + 1);
        EXPECT_GE(ink, textStart);
        EXPECT_LE(ink, textStart + 4 * scale);
        int flatInk = inkColumn(3 * r, 1);  // the row without a thumbnail: the name alone
        EXPECT_GE(flatInk, r + 8);
        EXPECT_LE(flatInk, r + 8 + 4 * scale);

        int made = selector->Thumbnails().MadeCount();
        EXPECT_EQ(made, 3);
        Paint(*popup->GetCanvas());
        auto again = TB_Ref<TC_VoiceLibrarySelectorPopup>::Adopt(
            new TC_VoiceLibrarySelectorPopup(selector.Get(), &libs));
        Paint(*again->GetCanvas());
        EXPECT_EQ(selector->Thumbnails().MadeCount(), made);  // repaints and reopening reuse them
        selector->SetLibraries(nullptr);
    }
}

TEST_F(LibrarySelector, ThumbnailsShrinkWithoutDroppingPixels) {
    TC_ThumbnailCache cache;
    // Fine stripes of black and white must come out grey, not as whichever stripe the
    // sampling happened to hit.
    auto* stripes = new TB_NativeBitmap(256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            *stripes->PixelAt(x, y) = x % 2 ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
    stripes->Unlock();
    TB_NativeBitmap* small = cache.Get(stripes, 28, 28);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->Width, 28);
    tb_uint middle = *small->PixelAt(14, 14);
    small->Unlock();
    EXPECT_EQ(middle >> 24, 0xFFu);
    EXPECT_NEAR(static_cast<int>((middle >> 16) & 0xFF), 128, 12);
    EXPECT_EQ(cache.Get(stripes, 28, 28), small);
    EXPECT_NE(cache.Get(stripes, 42, 42), small);
    EXPECT_EQ(cache.Count(), 2);
    // The cache keeps its source alive: the address cannot come back as another image.
    stripes->Release();
    EXPECT_EQ(cache.Get(stripes, 28, 28), small);
    EXPECT_EQ(cache.Get(nullptr, 28, 28), nullptr);
    EXPECT_EQ(cache.Get(small, 0, 28), nullptr);
    cache.Clear();
    EXPECT_EQ(cache.Count(), 0);

    TB_Rectangle<float> wide = TC_ThumbnailCache::FitSquare(10, 20, 28, 64, 32);
    EXPECT_EQ(wide, (TB_Rectangle<float>{10, 27, 28, 14}));
    TB_Rectangle<float> tall = TC_ThumbnailCache::FitSquare(0, 0, 42, 10, 30);
    EXPECT_EQ(tall, (TB_Rectangle<float>{14, 0, 14, 42}));
}

// The built-in picture (dark on white) is drawn inverted where the ground is dark; a
// library's own picture never is.
TEST_F(LibrarySelector, TheBuiltInThumbnailIsInvertedOnADarkGround) {
    TempFolder folder;
    auto* builtIn = new TC_VoiceLibrary();
    builtIn->Type = TC_VoiceLibraryType::Folder;
    builtIn->RootPath = TB_Uri(TB_String(folder.Path().c_str()));
    auto stream = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream(
        TC_VoiceLoader::DefaultThumbnailPng(),
        static_cast<tb_int64>(TC_VoiceLoader::DefaultThumbnailPngSize()), false));
    TC_VoiceLoader::LoadThumbnail(builtIn, stream.Get());
    ASSERT_TRUE(builtIn->ThumbnailIsBuiltIn);
    TC_VoiceLibrary* own = Library("own", Thumbnail(0xFFFFFFFFu));
    EXPECT_FALSE(own->ThumbnailIsBuiltIn);
    TC_VoiceLibrarySelector* selector = MakeSelector();

    TB_GlobalStyle& style = TB_GetGlobalStyle();
    auto corner = [&](TC_VoiceLibrary* library) {
        TB_NativeBitmap* scaled = selector->Thumbnail(library, 32, 32);
        tb_uint pixel = *scaled->PixelAt(0, 0);
        scaled->Unlock();
        return pixel & 0x00FFFFFFu;
    };
    TB_Color before = style.WidgetBackground;
    style.WidgetBackground = TB_GlobalStyle::Hex(0xF6F7F9);
    EXPECT_EQ(corner(builtIn), 0xFFFFFFu);  // its white ground
    style.WidgetBackground = TB_GlobalStyle::Hex(0x1F2023);
    EXPECT_EQ(corner(builtIn), 0x000000u);
    EXPECT_EQ(corner(own), 0xFFFFFFu);
    style.WidgetBackground = before;
    builtIn->Release();
    own->Release();
}

TEST_F(LibrarySelector, PointerHoverChoiceAndClicksBesideTheRows) {
    TC_VoiceLibrarySelector* selector = MakeSelector();
    AddLibraries(20);
    selector->SetLibraries(&libs);
    frame->Create();
    events.clear();
    const TB_GlobalStyle& style = TB_GetGlobalStyle();

    // Hover follows the pointer (painted), the wheel scrolls, a click on a row chooses it.
    Open(selector, [&](TC_VoiceLibrarySelectorPopup* popup) {
        ASSERT_NE(popup, nullptr);
        EXPECT_TRUE(popup->IsCreated);
        EXPECT_FLOAT_EQ(popup->Y, selector->ClientToScreen(TB_Vector2{0, 30}).y);
        TB_Canvas* canvas = popup->GetCanvas();
        Send(canvas, TB_WM_MOUSEMOVE, 40, 28 * 2 + 5);
        EXPECT_TRUE(libs[2]->ViewFlag);
        EXPECT_FALSE(libs[0]->ViewFlag);
        auto painted = Paint(*canvas);
        EXPECT_EQ(Pixel(painted, 200, 28 * 2 + 14), Argb(style.ContentsHoverBackground));
        EXPECT_EQ(Pixel(painted, 200, 14), Argb(style.ContentsSelectedBackground));
        Send(canvas, TB_WM_MOUSEMOVE, 40, 5);
        painted = Paint(*canvas);
        EXPECT_EQ(Pixel(painted, 200, 14), Argb(style.ContentsSelectedHoverBackground));
        Send(canvas, TB_WM_MOUSELEAVE, 0, 0);
        EXPECT_FALSE(libs[0]->ViewFlag);

        TB_Vector2 screen = canvas->ClientToScreen(TB_Vector2{40, 40});
        tb_int64 result = 0;
        canvas->WindowProc(
            canvas->Window, TB_WM_MOUSEWHEEL,
            static_cast<tb_uint64>(static_cast<std::uint16_t>(-120)) << 16,
            TB_MakePointLParam(static_cast<int>(screen.x), static_cast<int>(screen.y)), result);
        int v = popup->GetScrollBar()->Value;
        EXPECT_GT(v, 0);
        ClickAt(canvas, 40, 28 * 3 + 5);  // the fourth visible row
        EXPECT_EQ(popup->GetChosen(), popup->RowAt(40, 28 * 3 + 5));
        EXPECT_EQ(popup->GetChosen(), libs[(v + 28 * 3 + 5) / 28]);
    });
    ASSERT_EQ(events.size(), 1u);
    TC_VoiceLibrary* chosen = selector->GetLibrary();
    EXPECT_NE(chosen, libs[0]);
    EXPECT_EQ(events[0], chosen->Name.ToStdString());

    // Choosing the current library again changes nothing.
    Open(selector, [&](TC_VoiceLibrarySelectorPopup* popup) {
        TB_Canvas* canvas = popup->GetCanvas();
        float y = chosen->DisplayRect.y - static_cast<float>(popup->GetScrollBar()->Value) + 5;
        ClickAt(canvas, 40, static_cast<int>(y));
        EXPECT_EQ(popup->GetChosen(), chosen);
    });
    // Escape closes it too.
    Open(selector, [&](TC_VoiceLibrarySelectorPopup* popup) {
        TB_PostAction(popup, new TB_Action([popup](TB_EventArg&) {
                          TB_KeyEventArg escape;
                          escape.KeyCode = TB_VK_ESCAPE;
                          popup->OnKeyDown(escape);
                      }));
    });
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(selector->GetLibrary(), chosen);
}

// A short list: the canvas reaches below the last row only when the popup is made taller.
TEST_F(LibrarySelector, AClickBelowTheLastRowKeepsTheChoice) {
    TC_VoiceLibrarySelector* selector = MakeSelector();
    AddLibraries(3);
    selector->SetLibraries(&libs);
    frame->Create();
    events.clear();
    Open(selector, [&](TC_VoiceLibrarySelectorPopup* popup) {
        popup->SetSize(popup->Width, 200);
        TB_Canvas* canvas = popup->GetCanvas();
        EXPECT_FLOAT_EQ(canvas->Height, 198);
        ClickAt(canvas, 40, 150);
        EXPECT_EQ(popup->GetChosen(), libs[0]);
    });
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(selector->GetLibrary(), libs[0]);
}

TEST_F(LibrarySelector, SelectorPaintsNameCaretAndBorder) {
    TC_VoiceLibrarySelector* selector = MakeSelector();
    selector->SetSize(200, 30);
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    auto empty = Paint(*selector);
    EXPECT_EQ(Pixel(empty, 100, 15), Argb(style.ContentsBackground));
    EXPECT_EQ(Pixel(empty, 199, 29), Argb(selector->BackgroundColor));      // outside the box
    EXPECT_EQ(Pixel(empty, 200 - 15, 15), Argb(style.ContentsBackground));  // no caret yet

    AddLibraries(1);
    selector->SetLibraries(&libs);
    auto painted = Paint(*selector);
    // The caret: a downward triangle in the square of side 24 whose left edge is at 173.
    EXPECT_EQ(Pixel(painted, 173 + 12, 15), Argb(style.ScrollFore));
    EXPECT_EQ(Pixel(painted, 173 + 12, 22), Argb(style.ContentsBackground));  // below its tip
    bool ink = false;
    for (int x = 8; x < 60 && !ink; ++x) {
        for (int y = 5; y < 25 && !ink; ++y) {
            ink = Pixel(painted, x, y) != Argb(style.ContentsBackground);
        }
    }
    EXPECT_TRUE(ink);               // the name
    for (int y = 0; y < 29; ++y) {  // the box ends a pixel above the bottom
        EXPECT_EQ(Pixel(painted, 7, y), Argb(style.ContentsBackground)) << y;
    }

    selector->BorderWidth = 1;
    selector->SetEnable(false);
    auto disabled = Paint(*selector);
    EXPECT_EQ(Pixel(disabled, 100, 15), Argb(TB_GlobalStyle::Hex(0x101010)));
    EXPECT_EQ(Pixel(disabled, 100, 0), Argb(style.ButtonDisabledFontColor));
    selector->SetEnable(true);
    auto enabled = Paint(*selector);
    EXPECT_EQ(Pixel(enabled, 100, 0), Argb(TB_GlobalStyle::Hex(0x808080)));
}

TEST_F(LibrarySelector, UiDumpListsLibrariesAndTheOpenPopupsRows) {
    TC_VoiceLibrarySelector* selector = MakeSelector();
    AddLibraries(20);
    libs[5]->Name = TB_String(u"ヒカリ");
    selector->SetLibraries(&libs);
    frame->Create();
    std::string closed = TB_UiDumpText();
    EXPECT_NE(closed.find("\"Libs\""), std::string::npos);
    EXPECT_NE(closed.find("ヒカリ"), std::string::npos);
    EXPECT_EQ(closed.find("VoiceLibrarySelectorPopup"), std::string::npos);
    std::string open;
    Open(selector, [&](TC_VoiceLibrarySelectorPopup* popup) {
        open = TB_UiDumpText();
        TB_PostAction(popup, new TB_Action([popup](TB_EventArg&) {
                          TB_GetPlatform().RequestClose(popup->Window);
                      }));
    });
    EXPECT_NE(open.find("VoiceLibrarySelectorPopup"), std::string::npos);
    for (const char* key : {"\"Scroll\"", "\"Items\"", "\"ItemVisible\"", "\"HitRect\"",
                            "\"Hovered\"", "\"Tag\"", "\"Selected\""}) {
        EXPECT_NE(open.find(key), std::string::npos) << key;
    }
}

// A thousand libraries: the popup only scales the thumbnails of the rows in view.
TEST_F(LibrarySelector, AThousandLibrariesOpenQuickly) {
    AddLibraries(1000);
    auto selector = TB_Ref<TC_VoiceLibrarySelector>::Adopt(new TC_VoiceLibrarySelector());
    selector->SetSize(300, 30);
    selector->SetLibraries(&libs);
    selector->SetLibrary(libs[500]);
    auto start = std::chrono::steady_clock::now();
    auto popup = TB_Ref<TC_VoiceLibrarySelectorPopup>::Adopt(
        new TC_VoiceLibrarySelectorPopup(selector.Get(), &libs));
    Paint(*popup->GetCanvas());
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(popup->GetScrollBar()->Value, 500 * 28);
    EXPECT_LE(selector->Thumbnails().MadeCount(), 17);
    // Generous for sanitizer builds; the release benchmark measures the real figure.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 500);
    selector->SetLibraries(nullptr);
}

// A thumbnail of our own: a diagonal gradient with a disc, width x height.
TB_Bitmap32* Drawn(int width, int height, tb_uint from, tb_uint to) {
    auto* bitmap = new TB_NativeBitmap(width, height);
    auto channel = [](tb_uint c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float t = static_cast<float>(x + y) / static_cast<float>(width + height);
            tb_uint pixel = 0xFF000000u;
            for (int shift : {16, 8, 0}) {
                auto v = static_cast<tb_uint>(channel(from, shift) +
                                              (channel(to, shift) - channel(from, shift)) * t);
                pixel |= v << shift;
            }
            float dx = static_cast<float>(x) - width * 0.5f,
                  dy = static_cast<float>(y) - height * 0.45f;
            if (dx * dx + dy * dy < (height * 0.25f) * (height * 0.25f)) {
                pixel = 0xFFF4F0E8u;
            }
            *bitmap->PixelAt(x, y) = pixel;
        }
    }
    bitmap->Unlock();
    return bitmap;
}

// The open selector with the sample libraries (a character group made of the folder and the
// table of one character, a folder with the built-in thumbnail, drawn thumbnails of other
// shapes and a group two deep), at 100 % and 150 %, for a person to look at:
// build/.../test-output/library-selector.png.
TEST_F(LibrarySelector, ScreenshotOfTheOpenSelector) {
    const std::string samples = std::string(LUMOVOX_SOURCE_DIR) + "/samples/";
    auto defaultImage = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream(
        TC_VoiceLoader::DefaultThumbnailPng(),
        static_cast<tb_int64>(TC_VoiceLoader::DefaultThumbnailPngSize()), false));
    TC_VoiceLibraryList list;
    auto* folder = new TC_VoiceLibrary();
    folder->Type = TC_VoiceLibraryType::Folder;
    folder->RootPath = TB_Uri(TB_String((samples + "hikari").c_str()));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(folder, true));
    ASSERT_TRUE(list.AddLibrary(folder, defaultImage.Get()));
    auto* table = new TC_VoiceLibrary();
    ASSERT_TRUE(TC_VoiceLoader::LoadCsvLibrary(
        table, TB_Uri(TB_String((samples + "hikari/hikari.csv").c_str()))));
    table->CharName = folder->CharName;  // the same character's table: the two form a group
    ASSERT_TRUE(list.AddLibrary(table, defaultImage.Get()));
    auto* tones = new TC_VoiceLibrary();
    tones->Type = TC_VoiceLibraryType::Folder;
    tones->RootPath = TB_Uri(TB_String((samples + "tones").c_str()));
    ASSERT_TRUE(TC_VoiceLoader::LoadLibrary(tones, true));
    ASSERT_TRUE(list.AddLibrary(tones, defaultImage.Get()));
    TB_List<TC_VoiceLibrary*>& top = list.Libraries();
    ASSERT_EQ(top[0]->Type, TC_VoiceLibraryType::Group);
    top.Add(Library("横長のサムネイル wide thumbnail", Drawn(96, 40, 0xFF2A6F97u, 0xFF61A5C2u)));
    top.Add(Library("縦長 tall", Drawn(30, 80, 0xFF6A994Eu, 0xFFA7C957u)));
    auto* outer = Library("グループ", Drawn(64, 64, 0xFF7B2CBFu, 0xFFC77DFFu));
    auto* inner = Library("サブグループ", Drawn(64, 64, 0xFFBC4749u, 0xFFF2E8CFu));
    inner->SubLibs.Add(
        Library("二段下のライブラリ with a rather long name that does not fit the row",
                Drawn(200, 200, 0xFFE09F3Eu, 0xFF9E2A2Bu)));
    outer->SubLibs.Add(inner);
    top.Add(outer);
    for (int i = 1; i <= 8; ++i) {
        top.Add(Library("ライブラリ " + std::to_string(i),
                        Drawn(48, 48, 0xFF335C67u + 0x101000u * i, 0xFF540B0Eu + 0x080808u * i)));
    }

    const int kSheetWidth = 1000, kSheetHeight = 760;
    auto sheet = TB_Ref<TB_NativeBitmap>::Adopt(new TB_NativeBitmap(kSheetWidth, kSheetHeight));
    auto g = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(sheet.Get()));
    g->Clear(TB_GlobalStyle::Hex(0x303030));
    float x = 10;
    for (float scale : {1.0f, 1.5f}) {
        TB_GetGlobalStyle().ResetToBuiltIn();
        TB_GetGlobalStyle().ApplyScale(scale);
        auto selector = TB_Ref<TC_VoiceLibrarySelector>::Adopt(new TC_VoiceLibrarySelector());
        selector->BorderWidth = 1;
        selector->SetSize(std::floor(300 * scale), std::floor(28 * scale));
        selector->SetLibraries(&top);
        // The group is current, one row is hovered.
        selector->SetLibrary(top[0]);
        auto popup = TB_Ref<TC_VoiceLibrarySelectorPopup>::Adopt(
            new TC_VoiceLibrarySelectorPopup(selector.Get(), &top));
        TB_MouseEventArg move;
        move.X = 40;
        move.Y = popup->GetRowHeight() * 4.5f;
        popup->GetCanvas()->OnMouseMove(move);
        auto field = Paint(*selector);
        auto rows = Paint(*popup->GetCanvas());
        auto bar = Paint(*popup->GetScrollBar());
        float y = 10;
        auto place = [&](TB_NativeBitmap* image, float left, float at) {
            g->DrawImage(image,
                         TB_Rectangle<float>{left, at, static_cast<float>(image->Width),
                                             static_cast<float>(image->Height)},
                         TB_Rectangle<float>{0, 0, static_cast<float>(image->Width),
                                             static_cast<float>(image->Height)});
        };
        place(field.Get(), x, y);
        y += selector->Height;
        TB_SolidBrush ground(popup->BackgroundColor);
        g->Brush = &ground;
        g->DrawRectangle(TB_Rectangle<float>{x, y, popup->Width, popup->Height});
        g->Brush = nullptr;
        place(rows.Get(), x, y);
        place(bar.Get(), x + popup->GetScrollBar()->X, y);
        EXPECT_LT(y + popup->Height, kSheetHeight);
        EXPECT_TRUE(popup->IsScrolling());
        x += selector->Width + 20;
        selector->SetLibraries(nullptr);
    }
    EXPECT_LT(x, kSheetWidth);
    g.Reset();
    std::string out = std::string(LUMOVOX_BINARY_DIR) + "/test-output";
    std::filesystem::create_directories(out);
    EXPECT_TRUE(sheet->SavePng(TB_Uri(TB_String((out + "/library-selector.png").c_str()))));
}

}  // namespace
