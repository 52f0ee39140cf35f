#include "lv_check_icon.h"

#include <cstdlib>

#include "tb_brush.h"
#include "tb_graphics.h"
#include "tb_gui.h"
#include "tb_svg.h"

namespace {

const char* kIconUsage =
    "usage: lumovox-check --render-icon FILE.svg --size N [--styles] --out FILE.png\n";

}  // namespace

int LV_RunRenderIcon(const std::vector<std::string>& arguments, std::FILE* err) {
    std::string input, output;
    long size = 0;
    bool styles = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--size" && i + 1 < arguments.size()) {
            size = std::strtol(arguments[++i].c_str(), nullptr, 10);
        } else if (a == "--out" && i + 1 < arguments.size()) {
            output = arguments[++i];
        } else if (a == "--styles") {
            styles = true;
        } else if (input.empty() && !a.empty() && a[0] != '-') {
            input = a;
        } else {
            std::fputs(kIconUsage, err);
            return 2;
        }
    }
    if (input.empty() || output.empty() || size < 1 || size > 8192) {
        std::fputs(kIconUsage, err);
        return 2;
    }
    // Drawing into an image needs no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TB_GraphicsStartup();
    auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
    if (!renderer->LoadFile(TB_Uri(TB_String(input.c_str())))) {
        std::fprintf(err, "%s: no SVG document could be read\n", input.c_str());
        TB_GraphicsShutdown();
        return 1;
    }
    int status = 0;
    {
        auto bitmap = TB_Ref<TB_NativeBitmap>::Adopt(
            new TB_NativeBitmap(static_cast<tb_int>(size), static_cast<tb_int>(size)));
        auto graphics = TB_Ref<TB_Graphics>::Adopt(new TB_Graphics(bitmap.Get()));
        graphics->Clear(TB_Color{0, 0, 0, 0});
        // Black where the icon itself gives no colour, as a button draws it in its text colour.
        TB_SolidBrush brush(TB_Color{0, 0, 0, 1});
        graphics->Brush = &brush;
        graphics->Pen = nullptr;
        auto side = static_cast<float>(size);
        renderer->Render(*graphics, TB_Rectangle<float>{0, 0, side, side}, styles);
        graphics->Brush = nullptr;
        graphics.Reset();
        if (!bitmap->SavePng(TB_Uri(TB_String(output.c_str())))) {
            std::fprintf(err, "%s: could not be written\n", output.c_str());
            status = 2;
        }
    }
    TB_GraphicsShutdown();
    return status;
}
