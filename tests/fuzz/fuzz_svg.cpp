// Icons as the program reads them: whole SVG documents (XML, the path and point lexer, style
// sheets) drawn into a rectangle, and bare path data. The first byte chooses which; every
// point drawn must be finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "tb_svg.h"

namespace {

// Checks every coordinate it is given and keeps the brush it is handed.
class CheckingRenderable : public TB_IPathRenderable {
public:
    void FillAndStroke() override {}
    void BeginPath(TB_Vector2 p) override { Check(p); }
    void MoveTo(TB_Vector2 p) override { Check(p); }
    void LineTo(TB_Vector2 p) override { Check(p); }
    void ArcTo(TB_Vector2 c, float r, double start, double sweep) override {
        Check(c);
        if (!std::isfinite(r) || !std::isfinite(start) || !std::isfinite(sweep)) {
            LV_Fuzz::Fail("an arc with a value that is not finite");
        }
    }
    void BezierTo(TB_Vector2 a, TB_Vector2 b, TB_Vector2 e) override {
        Check(a);
        Check(b);
        Check(e);
    }
    void ClosePath() override {}
    void DiscardPath() override {}
    void SetTransform(const float*) override {}
    void ResetTransform() override {}
    const float* GetTransform() override { return nullptr; }
    TB_Brush* GetBrush() override { return m_brush; }
    void SetBrush(TB_Brush* brush) override { m_brush = brush; }
    TB_Pen* GetPen() override { return nullptr; }
    void SetPen(TB_Pen*) override {}

private:
    static void Check(TB_Vector2 p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            LV_Fuzz::Fail("a point that is not finite");
        }
    }
    TB_Brush* m_brush = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    LV_Fuzz::ScratchFolder();
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    CheckingRenderable renderable;
    auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
    if (data[0] & 1) {
        // Bare path data inside a fixed document.
        std::string document = "<svg viewBox=\"0 0 24 24\"><path d=\"";
        for (char c : text) {
            if (c != '"' && c != '<' && c != '&' && c != '\0') {
                document += c;
            }
        }
        document += "\"/></svg>";
        renderer->LoadText(document.c_str());
    } else {
        renderer->LoadText(text.c_str());
    }
    float side = static_cast<float>(1 + (data[0] >> 1));
    renderer->Render(renderable, TB_Rectangle<float>{0, 0, side, side}, true);
    renderer->Render(renderable, TB_Rectangle<float>{3, 5, side * 2, side}, false);
    LV_Fuzz::ForgetErrors();
    return 0;
}
