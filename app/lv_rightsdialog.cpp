#include "lv_rightsdialog.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "lv_licenses.h"
#include "lv_version.h"
#include "tb_globalstyle.h"
#include "tb_messageloop.h"
#include "tb_platform.h"
#include "tc_app.h"

namespace {

LV_RightsDialogHook g_hook;

struct Line {
    std::string_view Text;  // without the indent and trailing blanks
    size_t Indent = 0;
    size_t Columns = 0;  // of the whole line, indent included
};

size_t Columns(std::string_view text) {
    size_t count = 0;
    for (char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // UTF-8 lead bytes
    }
    return count;
}

Line Measure(std::string_view raw) {
    while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t' || raw.back() == '\r')) {
        raw.remove_suffix(1);
    }
    Line line;
    size_t start = 0;
    while (start < raw.size() && (raw[start] == ' ' || raw[start] == '\t')) {
        line.Indent += raw[start] == '\t' ? 8 - line.Indent % 8 : 1;
        ++start;
    }
    line.Text = raw.substr(start);
    line.Columns = line.Indent + Columns(line.Text);
    return line;
}

bool IsBlank(const Line& line) {
    // Debian's copyright files mark empty lines inside a field with " .".
    return line.Text.empty() || (line.Text == "." && line.Indent > 0);
}

// A line that starts a thing of its own: a list item, a field ("Files: *"), a table row.
bool StartsItsOwnLine(const Line& line) {
    std::string_view t = line.Text;
    if (t.size() > 1 && (t[0] == '-' || t[0] == '*' || t[0] == 'o') && t[1] == ' ') {
        return true;
    }
    if (t.rfind("\xE2\x80\xA2", 0) == 0) {  // a bullet
        return true;
    }
    size_t i = t[0] == '(' ? 1 : 0;
    size_t marker = i;
    while (marker < t.size() && marker - i < 3 &&
           std::isalnum(static_cast<unsigned char>(t[marker]))) {
        ++marker;
    }
    if (marker > i && marker + 1 < t.size() && (t[marker] == '.' || t[marker] == ')') &&
        t[marker + 1] == ' ' && (i == 0 || t[marker] == ')') &&
        (std::isdigit(static_cast<unsigned char>(t[i])) || marker - i == 1)) {
        return true;
    }
    size_t colon = t.find(": ");
    if (line.Indent == 0 && colon != std::string_view::npos && colon > 0 &&
        std::isupper(static_cast<unsigned char>(t[0])) &&
        t.substr(0, colon).find_first_not_of(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-") == std::string_view::npos) {
        return true;
    }
    return false;
}

bool LooksLikeATable(const Line& line) {
    return line.Text.find("   ") != std::string_view::npos;
}

size_t FirstWordColumns(std::string_view text) {
    return Columns(text.substr(0, text.find(' ')));
}

}  // namespace

std::string LV_LicenceParagraphs(std::string_view text) {
    std::vector<Line> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        lines.push_back(Measure(text.substr(start, end - start)));
        start = end + 1;
    }
    // The width each block of lines was wrapped at: its longest line.
    std::vector<size_t> width(lines.size(), 0);
    for (size_t first = 0; first < lines.size();) {
        size_t last = first;
        size_t widest = 0;
        while (last < lines.size() && !IsBlank(lines[last])) {
            widest = std::max(widest, lines[last].Columns);
            ++last;
        }
        for (size_t i = first; i < last; ++i) {
            width[i] = widest;
        }
        first = last + 1;
    }

    std::string out;
    out.reserve(text.size());
    bool open = false;  // a paragraph line is being continued
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        auto endParagraph = [&] {
            if (open) {
                out += '\n';
            }
            open = false;
            if (!out.empty() && !out.ends_with("\n\n")) {
                out += '\n';
            }
        };
        if (IsBlank(line)) {
            endParagraph();
            continue;
        }
        std::string_view t = line.Text;
        bool heading = t.size() > 2 && t.front() == '[' && t.back() == ']' && line.Indent == 0 &&
                       ((i + 1 < lines.size() && lines[i + 1].Text.rfind("License: ", 0) == 0) ||
                        t.rfind("[Common licence ", 0) == 0);
        if (heading) {
            endParagraph();
            out +=
                "\xE2\x94\x81\xE2\x94\x81\xE2\x94\x81\xE2\x94\x81\xE2\x94\x81\xE2\x94\x81"
                "\xE2\x94\x81\xE2\x94\x81\xE2\x94\x81\xE2\x94\x81\xE2\x94\x81\xE2\x94\x81\n";
            out.append(t.substr(1, t.size() - 2));
            if (i + 1 < lines.size() && lines[i + 1].Text.rfind("License: ", 0) == 0) {
                out += " \xE2\x80\x94 ";  // an em dash
                out.append(lines[i + 1].Text.substr(9));
                ++i;
            }
            out += '\n';
            open = false;
            continue;
        }
        const Line* previous = open ? &lines[i - 1] : nullptr;
        bool join = previous && width[i] >= 40 && !StartsItsOwnLine(line) &&
                    !LooksLikeATable(line) && !LooksLikeATable(*previous) &&
                    previous->Columns + 1 + FirstWordColumns(t) > width[i];
        if (join) {
            std::string_view before = previous->Text;
            bool splitWord = before.size() > 1 && before.back() == '-' &&
                             std::isalpha(static_cast<unsigned char>(before[before.size() - 2]));
            if (!splitWord) {
                out += ' ';
            }
        } else {
            if (open) {
                out += '\n';
            }
            out.append(line.Indent, ' ');
        }
        out.append(t);
        open = true;
    }
    if (open) {
        out += '\n';
    }
    while (out.ends_with("\n\n")) {
        out.pop_back();
    }
    return out;
}

void LV_SetRightsDialogHook(LV_RightsDialogHook hook) {
    g_hook = std::move(hook);
}

float LV_SettingsGuiScale() {
    TC_App* app = TC_App::Instance();
    tb_int percent = app ? app->Settings().GetInt(u"GuiScale") : 100;
    return static_cast<float>(percent > 0 ? percent : 100) / 100.0f /
           TB_GetPlatform().WindowSystemScale();
}

LV_RightsDialog::LV_RightsDialog() {
    float s = LV_SettingsGuiScale();
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    // A text that is not UTF-8 still shows: the conversion marks what it cannot decode.
    std::string paragraphs = LV_LicenceParagraphs(
        std::string_view(LV_LicenseText(), static_cast<size_t>(LV_LicenseTextSize())));
    TB_String licences(paragraphs.data(), static_cast<tb_int64>(paragraphs.size()));
    Text = u"権利情報";
    SetSize(500 * s, 600 * s);
    StartPosition = 1;
    SetFlags(0);
    BackgroundColor = style.WidgetBackground;
    FillBackground = true;

    TitleLabel = new TB_Lable();
    TitleLabel->Id = u"lTitle";
    TitleFont = new TB_Font(14 * s);
    TitleLabel->Font->Release();
    TitleLabel->Font = TitleFont;
    TitleFont->AddRef();
    TitleLabel->AutoSizeToText();
    TB_String title;
    title.Format(u"%S Ver. %s", LV_kAppTitle, LV_kVersion);
    TitleLabel->SetText(title);
    AddChild(TitleLabel);

    MakerLabel = new TB_Lable();
    MakerLabel->Id = u"lCopyrights";
    MakerLabel->SetText(u"Copyright (c) 2026 The LumoVox developers");
    AddChild(MakerLabel);

    OpenSourceLabel = new TB_Lable();
    OpenSourceLabel->Id = u"lOpenSource";
    OpenSourceLabel->SetText(u"以下のオープンソースソフトウェアを含んでいます");
    AddChild(OpenSourceLabel);

    LicenceArea = new TC_LongTextArea();
    LicenceArea->SetText(licences);
    AddChild(LicenceArea);

    OkButton = new TB_Button(u"OK");
    OkButton->Id = u"okButton";
    // Posted, so the button's own click handling finishes before its window goes.
    OkButton->Click.Add([this](TB_MouseEventArg&) {
        TB_PostAction(this, new TB_Action([this](TB_EventArg&) {
                          if (Window) {
                              TB_GetPlatform().RequestClose(Window);
                          }
                      }));
    });
    AddChild(OkButton);
    // Keys no child took climb to the dialog: Escape and Enter close it, as OK does.
    KeyDown.Add([this](TB_KeyEventArg& arg) {
        if ((arg.KeyCode == TB_VK_ESCAPE || arg.KeyCode == TB_VK_RETURN) && !arg.Control &&
            !arg.Alt) {
            arg.Handled = true;
            OkButton->PerformClick();
        }
    });

    Resized.Add([this](TB_EventArg&) { Layout(); });
}

LV_RightsDialog::~LV_RightsDialog() {
    TitleFont->Release();
}

void LV_RightsDialog::Layout() {
    float t = LV_SettingsGuiScale();
    float e = 10 * t, f = 2 * e;
    TB_Vector2 client = GetClientSize();
    OkButton->SetPosition(client.x - OkButton->Width - f, client.y - OkButton->Height - f);
    TitleLabel->SetPosition(f, f);
    MakerLabel->SetPosition(f, TitleLabel->GetBottom() + e);
    OpenSourceLabel->SetPosition(f, MakerLabel->GetBottom() + f);
    float top = OpenSourceLabel->GetBottom() + e;
    LicenceArea->SetBounds(f, top, client.x - 4 * e, OkButton->Y - f - top);
}

void LV_RightsDialog::ShowModal(TB_Frame* owner) {
    auto dialog = TB_Ref<LV_RightsDialog>::Adopt(new LV_RightsDialog());
    dialog->Parent = owner;
    dialog->IsModal = true;
    if (g_hook) {
        LV_RightsDialog* shown = dialog.Get();
        dialog->Shown.Add([shown](TB_EventArg&) {
            if (g_hook) {
                g_hook(*shown);
            }
        });
    }
    if (owner) {
        owner->ModalChild = dialog.Get();
        owner->SetEnable(false);
    }
    TB_RunMessageLoop(dialog.Get());
    if (owner) {
        // The dialog's close enabled the window already; this keeps the stored state in step.
        owner->Enable = true;
        owner->SetEnable(true);
        owner->ModalChild = nullptr;
        if (owner->Window) {
            TB_GetPlatform().SetForegroundWindow(owner->Window);
        }
    }
    dialog->IsModal = false;
    dialog->Parent = nullptr;
}
