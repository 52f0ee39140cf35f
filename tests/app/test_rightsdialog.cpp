#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <string>

#include "framework_fixture.h"
#include "lv_licenses.h"
#include "lv_rightsdialog.h"
#include "platform/tb_native_window.h"
#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_messageloop.h"
#include "tc_app.h"

namespace {

class RightsDialogTest : public FrameworkTest {
protected:
    // Small enough for the headless screen, which would push a larger dialog back onto it.
    static constexpr TB_Rectangle<float> kOwner{100, 50, 600, 700};

    static void SetUpTestSuite() {
        TB_GraphicsStartup();
        TB_GuiStartup(TB_String(), nullptr);
    }
    void SetUp() override {
        FrameworkTest::SetUp();
        m_app = new TC_App();
        TC_App::SetInstance(m_app);
    }
    void TearDown() override {
        LV_SetRightsDialogHook(nullptr);
        TC_App::SetInstance(nullptr);
        m_app->Release();
        FrameworkTest::TearDown();
    }
    void SetScale(tb_int percent) { m_app->Settings().SetInt(u"GuiScale", percent); }

    // An owner window of the main window's size, shown, with the dialog run over it from
    // inside its loop; onShown sees the open dialog and must answer it.
    void RunOverOwner(const std::function<void(LV_RightsDialog&, TB_Frame&)>& onShown) {
        auto owner = TB_Ref<TB_Frame>::Adopt(new TB_Frame());
        owner->SetBounds(kOwner);
        bool ran = false;
        LV_SetRightsDialogHook([&](LV_RightsDialog& dialog) {
            ran = true;
            onShown(dialog, *owner);
        });
        owner->Shown.Add([&](TB_EventArg&) {
            TB_PostAction(owner.Get(), new TB_Action([&](TB_EventArg&) {
                              LV_RightsDialog::ShowModal(owner.Get());
                              m_ownerEnabledAfter = TB_GetPlatform().IsWindowEnabled(owner->Window);
                              m_ownerModalChildAfter = owner->ModalChild;
                              m_activeAfter = TB_GetPlatform().GetActiveWindow();
                              m_ownerWindow = owner->Window;
                              TB_GetPlatform().RequestClose(owner->Window);
                          }));
        });
        TB_RunMessageLoop(owner.Get());
        EXPECT_TRUE(ran);
    }

    TC_App* m_app = nullptr;
    bool m_ownerEnabledAfter = false;
    TB_NativeWidget* m_ownerModalChildAfter = nullptr;
    TB_WindowHandle m_activeAfter = nullptr;
    TB_WindowHandle m_ownerWindow = nullptr;
};

// Copyright files are hard-wrapped at 70 to 80 columns; the view wraps again at its own width,
// which leaves ragged half lines unless paragraphs are joined first. What is not a wrapped
// paragraph keeps its breaks.
TEST(LicenceParagraphs, JoinsWrappedParagraphsAndKeepsEverythingElse) {
    const std::string text =
        "[zlib]\n"
        "License: Zlib\n"
        "Debian package: zlib1g\n"
        "\n"
        "Files: *\n"
        "Copyright: 1995-2022 Jean Example\n"
        "           1995-2022 Mark Example\n"
        "License: Zlib\n"
        " This software is provided 'as-is', without any express or implied\n"
        " warranty.  In no event will the authors be held liable for any\n"
        " damages arising from the use of this software.\n"
        " .\n"
        " 1. The origin of this software must not be misrepresented; you must\n"
        "    not claim that you wrote the original software. If you use this\n"
        "    software in a product, an acknowledgment would be appreciated.\n"
        " 2. Altered source versions must be plainly marked as such.\n"
        "\n"
        "Jean Example\n"
        "jean@example.org\n"
        "\n\n\n"
        "Language  Library   Documentation\n"
        "C++       libstdc++ libstdc++-doc\n"
        "libraries which are built with code that is position-\n"
        "independent, in a package of its own.\n"
        "[Common licence GPL-2]\n";
    const std::string rule = "━━━━━━━━━━━━\n";
    EXPECT_EQ(LV_LicenceParagraphs(text),
              rule +
                  "zlib — Zlib\n"
                  "Debian package: zlib1g\n"
                  "\n"
                  "Files: *\n"
                  "Copyright: 1995-2022 Jean Example\n"
                  "           1995-2022 Mark Example\n"
                  "License: Zlib\n"
                  " This software is provided 'as-is', without any express or implied warranty.  "
                  "In no event will the authors be held liable for any damages arising from the "
                  "use of this software.\n"
                  "\n"
                  " 1. The origin of this software must not be misrepresented; you must not "
                  "claim that you wrote the original software. If you use this software in a "
                  "product, an acknowledgment would be appreciated.\n"
                  " 2. Altered source versions must be plainly marked as such.\n"
                  "\n"
                  "Jean Example\n"
                  "jean@example.org\n"
                  "\n"
                  "Language  Library   Documentation\n"
                  "C++       libstdc++ libstdc++-doc\n"
                  "libraries which are built with code that is position-independent, in a "
                  "package of its own.\n"
                  "\n" +
                  rule + "Common licence GPL-2\n");
}

TEST_F(RightsDialogTest, BuiltAtTheGuiScaleWithItsPartsAndTheWholeLicenceText) {
    for (auto [percent, width, height, points] :
         {std::tuple{100, 500.0f, 600.0f, 14.0f}, std::tuple{150, 750.0f, 900.0f, 21.0f}}) {
        SetScale(percent);
        auto dialog = TB_Ref<LV_RightsDialog>::Adopt(new LV_RightsDialog());
        EXPECT_EQ(dialog->Width, width) << percent;
        EXPECT_EQ(dialog->Height, height) << percent;
        EXPECT_FLOAT_EQ(dialog->TitleFont->Points(), points);
        EXPECT_EQ(dialog->TitleLabel->Font, dialog->TitleFont);
        EXPECT_EQ(dialog->TitleLabel->Text, TB_String(u"ルモヴォクスアプリ Ver. 1.0.0.0"));
        EXPECT_EQ(dialog->Text, TB_String(u"権利情報"));
        for (const tb_char* id : {u"lTitle", u"lCopyrights", u"lOpenSource", u"okButton"}) {
            EXPECT_NE(dialog->FindById(id), nullptr) << TB_String(id).ToStdString();
        }
        std::string shown = LV_LicenceParagraphs(LV_LicenseText());
        EXPECT_EQ(dialog->LicenceArea->GetText(),
                  TB_String(shown.data(), static_cast<tb_int64>(shown.size())));
    }
}

TEST_F(RightsDialogTest, ModalOverTheOwnerCentredAndOkGivesTheOwnerBack) {
    for (tb_int percent : {100, 150}) {
        SetScale(percent);
        RunOverOwner([&](LV_RightsDialog& dialog, TB_Frame& owner) {
            TB_Rectangle<int> bounds = TB_GetPlatform().GetWindowBounds(dialog.Window);
            EXPECT_EQ(bounds.width, 5 * percent);
            EXPECT_EQ(bounds.height, 6 * percent);
            if (percent == 100) {
                EXPECT_NEAR(bounds.x + bounds.width / 2.0, kOwner.x + kOwner.width / 2, 1);
                EXPECT_NEAR(bounds.y + bounds.height / 2.0, kOwner.y + kOwner.height / 2, 1);
            }
            EXPECT_TRUE(dialog.IsModal);
            EXPECT_EQ(owner.ModalChild, &dialog);
            EXPECT_FALSE(TB_GetPlatform().IsWindowEnabled(owner.Window));
            dialog.OkButton->PerformClick();
            // The close is posted: the click's own handling ends with the window still there.
            EXPECT_NE(dialog.Window, nullptr);
        });
        EXPECT_TRUE(m_ownerEnabledAfter);
        EXPECT_EQ(m_ownerModalChildAfter, nullptr);
        EXPECT_EQ(m_activeAfter, m_ownerWindow);
    }
}

TEST_F(RightsDialogTest, ResizingKeepsOkInTheCornerAndStretchesOnlyTheLicenceArea) {
    SetScale(100);
    RunOverOwner([&](LV_RightsDialog& dialog, TB_Frame&) {
        auto client = [&] { return dialog.GetClientSize(); };
        auto check = [&](const char* when) {
            TB_Vector2 size = client();
            EXPECT_FLOAT_EQ(dialog.OkButton->GetRight(), size.x - 20) << when;
            EXPECT_FLOAT_EQ(dialog.OkButton->GetBottom(), size.y - 20) << when;
            EXPECT_FLOAT_EQ(dialog.TitleLabel->X, 20);
            EXPECT_FLOAT_EQ(dialog.TitleLabel->Y, 20);
            EXPECT_FLOAT_EQ(dialog.MakerLabel->Y, dialog.TitleLabel->GetBottom() + 10);
            EXPECT_FLOAT_EQ(dialog.OpenSourceLabel->Y, dialog.MakerLabel->GetBottom() + 20);
            EXPECT_FLOAT_EQ(dialog.LicenceArea->X, 20);
            EXPECT_FLOAT_EQ(dialog.LicenceArea->Y, dialog.OpenSourceLabel->GetBottom() + 10);
            EXPECT_FLOAT_EQ(dialog.LicenceArea->GetRight(), size.x - 20) << when;
            EXPECT_FLOAT_EQ(dialog.LicenceArea->GetBottom(), dialog.OkButton->Y - 20) << when;
        };
        check("at first");
        TB_Vector2 labelAt = dialog.OpenSourceLabel->GetPosition();
        TB_Vector2 areaBefore = dialog.LicenceArea->GetSize();
        TB_GetPlatform().SetWindowBounds(
            dialog.Window,
            TB_Rectangle<int>{static_cast<int>(dialog.X), static_cast<int>(dialog.Y), 700, 800});
        check("after a resize");
        EXPECT_EQ(dialog.OpenSourceLabel->GetPosition().y, labelAt.y);
        EXPECT_FLOAT_EQ(dialog.LicenceArea->Width, areaBefore.x + 200);
        EXPECT_FLOAT_EQ(dialog.LicenceArea->Height, areaBefore.y + 200);
        dialog.OkButton->PerformClick();
    });
}

QPlainTextEdit* ViewOf(TC_LongTextArea& area) {
    return area.Window ? static_cast<QWidget*>(area.Window)->findChild<QPlainTextEdit*>() : nullptr;
}

// The licence area holds the whole text, read-only, from the top; it scrolls and what is
// selected in it copies.
TEST_F(RightsDialogTest, TheLicenceTextScrollsAndItsSelectionCopies) {
    SetScale(100);
    RunOverOwner([&](LV_RightsDialog& dialog, TB_Frame&) {
        QPlainTextEdit* view = ViewOf(*dialog.LicenceArea);
        ASSERT_NE(view, nullptr);
        const QString text = QString::fromStdString(LV_LicenceParagraphs(LV_LicenseText()));
        EXPECT_TRUE(view->toPlainText() == text);
        EXPECT_TRUE(view->isReadOnly());
        EXPECT_TRUE(view->textInteractionFlags() & Qt::TextSelectableByMouse);
        QScrollBar* bar = view->verticalScrollBar();
        EXPECT_EQ(bar->value(), 0);
        EXPECT_GT(bar->maximum(), 1000);
        bar->setValue(bar->maximum());
        EXPECT_EQ(bar->value(), bar->maximum());

        TB_GetPlatform().SetClipboardText(u"before");
        view->selectAll();
        view->copy();
        EXPECT_TRUE(QString::fromStdU16String(
                        std::u16string(TB_GetPlatform().GetClipboardText().View())) == text);
        dialog.OkButton->PerformClick();
    });
}

// Also leaves a picture of the dialog at 100 % in the build folder for people to look at.
TEST_F(RightsDialogTest, PaintsInTheStyleColours) {
    SetScale(100);
    RunOverOwner([&](LV_RightsDialog& dialog, TB_Frame&) {
        QImage image = static_cast<QWidget*>(dialog.Window)->grab().toImage();
        std::string path = std::string(LUMOVOX_BINARY_DIR) + "/rights-dialog-100.png";
        EXPECT_TRUE(image.save(QString::fromStdString(path)));
        ASSERT_EQ(image.width(), 500);
        auto argb = [](const TB_Color& c) { return QColor::fromRgbF(c.r, c.g, c.b).rgb(); };
        const TB_GlobalStyle& style = TB_GetGlobalStyle();
        EXPECT_EQ(image.pixel(5, 5), argb(style.WidgetBackground));
        // Beside the short first line of the licence area.
        TC_LongTextArea& area = *dialog.LicenceArea;
        EXPECT_EQ(image.pixel(static_cast<int>(area.X + 300), static_cast<int>(area.Y + 8)),
                  argb(style.StaticBackground));
        // The title is drawn in the text colour.
        int titleInk = 0;
        for (int x = 20; x < static_cast<int>(dialog.TitleLabel->GetRight()); ++x) {
            for (int y = 20; y < static_cast<int>(dialog.TitleLabel->GetBottom()); ++y) {
                titleInk += image.pixel(x, y) == argb(style.ForeColor) ? 1 : 0;
            }
        }
        EXPECT_GT(titleInk, 100);
        dialog.OkButton->PerformClick();
    });
}

}  // namespace
