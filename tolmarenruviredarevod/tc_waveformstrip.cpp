#include "tc_waveformstrip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tb_globalstyle.h"
#include "tb_graphics.h"

namespace {

// Fast enough to look smooth, slow enough to cost next to nothing: 30 frames a second.
constexpr tb_int kFrameInterval = 33;

TB_Color WithAlpha(TB_Color color, float alpha) {
    color.a *= alpha;
    return color;
}

const char16_t* StateName(TC_SoundInfo::PeaksState state) {
    switch (state) {
        case TC_SoundInfo::PeaksState::Loading:
            return u"loading";
        case TC_SoundInfo::PeaksState::Ready:
            return u"ready";
        case TC_SoundInfo::PeaksState::Failed:
            return u"failed";
        default:
            return u"none";
    }
}

}  // namespace

TC_WaveformStrip::TC_WaveformStrip(TC_SoundInfo* info)
    : m_info(info),
      m_font(new TB_Font(TB_GetGlobalStyle().FontSize)),
      m_timer(new TB_UiTimer(this)) {
    m_timer->SetInterval(kFrameInterval);
    m_timer->Tick.Add([this](TB_EventArg&) {
        if (Tick) {
            Tick();
        }
    });
    BackgroundColor = TB_GetGlobalStyle().TextBoxBackground;
    Paint.Add(this, &TC_WaveformStrip::OnPaintHandler);
    MouseDown.Add(this, &TC_WaveformStrip::OnDownHandler);
    MouseMove.Add(this, &TC_WaveformStrip::OnMoveHandler);
    MouseUp.Add(this, &TC_WaveformStrip::OnUpHandler);
}

TC_WaveformStrip::~TC_WaveformStrip() {
    m_timer->Stop();
    m_timer->Release();
    m_font->Release();
}

TB_String TC_WaveformStrip::FormatTime(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) {
        seconds = 0;
    }
    auto tenths = static_cast<long long>(std::min(seconds, 1e9) * 10);
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld.%lld", tenths / 600, tenths / 10 % 60,
                  tenths % 10);
    return TB_String(text);
}

void TC_WaveformStrip::SetClip(const std::string& path) {
    if (path == m_path) {
        return;
    }
    m_path = path;
    m_position = 0;
    m_length = 0;
    m_dragging = false;
    Refresh();
    ShowTime();
}

void TC_WaveformStrip::Refresh() {
    std::shared_ptr<const TB_SoundPeaks> peaks;
    TC_SoundInfo::PeaksState state =
        m_info ? m_info->Peaks(m_path, peaks) : TC_SoundInfo::PeaksState::None;
    if (state == m_state && peaks == m_peaks) {
        return;
    }
    m_state = state;
    m_peaks = std::move(peaks);
    m_columnsWidth = -1;
    Invalidate();
    ShowTime();
}

void TC_WaveformStrip::Follow(double position, double length, bool playing) {
    if (playing != m_timer->Running) {
        if (playing) {
            m_timer->Start();
        } else {
            m_timer->Stop();
        }
    }
    if (!std::isfinite(position) || position < 0) {
        position = 0;
    }
    if (length != m_length) {
        m_length = length;
        m_position = position;
        m_columnsWidth = -1;
        Invalidate();
        ShowTime();
        return;
    }
    // Only what changed is painted again: the stretch the playhead crossed and the time.
    float before = PlayheadX();
    m_position = position;
    float after = PlayheadX();
    if (std::floor(before) != std::floor(after)) {
        TB_Rectangle<float> area = WaveArea();
        float w = PlayheadWidth();
        float from = std::min(before, after) - 1, to = std::max(before, after) + w + 1;
        Invalidate(TB_Rectangle<float>{from, area.y, to - from, area.height});
    }
    ShowTime();
}

void TC_WaveformStrip::ShowTime() {
    TB_String time = TimeText();
    if (TimeLabel && !(TimeLabel->Text == time)) {
        TimeLabel->SetText(time);
    }
}

float TC_WaveformStrip::PlayheadWidth() const {
    return std::max(1.0f, std::round(2 * TB_GetGlobalStyle().Scale));
}

float TC_WaveformStrip::PlayheadX() {
    TB_Rectangle<float> area = WaveArea();
    double span = Span();
    float along = span > 0 ? static_cast<float>(std::clamp(m_position / span, 0.0, 1.0)) : 0;
    return area.x + std::min(along * area.width, area.width - PlayheadWidth());
}

double TC_WaveformStrip::Span() const {
    if (m_peaks && m_peaks->Complete && m_peaks->Duration > 0) {
        return m_peaks->Duration;
    }
    double estimate = m_peaks ? m_peaks->Duration : 0;
    return std::max(estimate, m_length);
}

TB_Rectangle<float> TC_WaveformStrip::WaveArea() {
    TB_Rectangle<float> client = GetClientRectangle();
    float s = TB_GetGlobalStyle().Scale;
    float inset = std::round(2 * s);
    return TB_Rectangle<float>{inset, inset, std::max(0.0f, client.width - 2 * inset),
                               std::max(0.0f, client.height - 2 * inset)};
}

TB_String TC_WaveformStrip::TimeText() const {
    if (m_path.empty()) {
        return TB_String();
    }
    double total = m_length > 0 ? m_length : Span();
    std::u16string text(FormatTime(m_position).View());
    text += u" / ";
    text += FormatTime(total).View();
    return TB_String(text.c_str());
}

void TC_WaveformStrip::MakeColumns(tb_int width) {
    m_columnsWidth = width;
    m_gain = 1;
    m_columns.assign(static_cast<size_t>(std::max(0, width)) * 2, 0);
    double span = Span();
    if (!m_peaks || m_peaks->Count() == 0 || span <= 0 || m_peaks->SecondsPerPoint <= 0 ||
        width <= 0) {
        return;
    }
    const std::vector<int8_t>& points = m_peaks->Points;
    tb_int count = m_peaks->Count();
    double pointsPerColumn = span / m_peaks->SecondsPerPoint / width;
    for (tb_int x = 0; x < width; ++x) {
        auto from = static_cast<tb_int>(std::floor(x * pointsPerColumn));
        auto to = static_cast<tb_int>(std::floor((x + 1) * pointsPerColumn));
        to = std::max(to, from + 1);
        if (from >= count) {
            break;  // not decoded yet
        }
        to = std::min(to, count);
        int8_t low = 127, high = -127;
        for (tb_int i = from; i < to; ++i) {
            low = std::min(low, points[2 * static_cast<size_t>(i)]);
            high = std::max(high, points[2 * static_cast<size_t>(i) + 1]);
        }
        m_columns[2 * static_cast<size_t>(x)] = low;
        m_columns[2 * static_cast<size_t>(x) + 1] = high;
    }
    // Quiet clips are drawn larger (up to eight times) so their shape can be seen.
    int loudest = 1;
    for (int8_t point : m_columns) {
        loudest = std::max(loudest, std::abs(static_cast<int>(point)));
    }
    m_gain = std::min(8.0f, 0.95f * 127 / static_cast<float>(loudest));
}

void TC_WaveformStrip::PaintOutline(TB_Graphics& g, const TB_Rectangle<float>& area) {
    auto width = static_cast<tb_int>(area.width);
    if (width != m_columnsWidth) {
        MakeColumns(width);
    }
    // Only the columns the painting may touch: mostly the few the playhead moved over.
    TB_Rectangle<int> clip = g.GetClipBounds();
    tb_int from = std::clamp(static_cast<tb_int>(clip.x - area.x) - 1, 0, width);
    tb_int to = std::clamp(static_cast<tb_int>(clip.x + clip.width - area.x) + 1, from, width);
    if (from == to) {
        return;
    }
    float middle = area.y + area.height / 2;
    float half = area.height / 2 * m_gain;
    // One shape: the highs left to right, the lows back; a silent stretch keeps a hairline.
    g.BeginPath(TB_Vector2{area.x + from, middle});
    for (tb_int x = from; x < to; ++x) {
        float high = m_columns[2 * static_cast<size_t>(x) + 1] / 127.0f;
        g.LineTo(TB_Vector2{area.x + x, middle - std::max(high * half, 0.5f)});
        g.LineTo(TB_Vector2{area.x + x + 1, middle - std::max(high * half, 0.5f)});
    }
    for (tb_int x = to - 1; x >= from; --x) {
        float low = m_columns[2 * static_cast<size_t>(x)] / 127.0f;
        g.LineTo(TB_Vector2{area.x + x + 1, middle - std::min(low * half, -0.5f)});
        g.LineTo(TB_Vector2{area.x + x, middle - std::min(low * half, -0.5f)});
    }
    g.ClosePath();
    g.FillAndStroke();
}

void TC_WaveformStrip::OnPaintHandler(TB_PaintEventArg& arg) {
    TB_Graphics& g = *arg.Graphics;
    const TB_GlobalStyle& style = TB_GetGlobalStyle();
    TB_Font* fontBefore = g.Font;
    TB_Brush* brushBefore = g.Brush;
    TB_Pen* penBefore = g.Pen;
    g.Font = m_font;
    g.Clear(BackgroundColor);
    TB_Rectangle<float> client = GetClientRectangle();
    TB_Pen border(style.ContentsDisabledBorder, 1);
    g.Pen = &border;
    g.Brush = nullptr;
    g.DrawRectangle(TB_Rectangle<float>{0, 0, client.width - 1, client.height - 1});

    TB_Rectangle<float> area = WaveArea();
    g.Pen = nullptr;
    if (m_state == TC_SoundInfo::PeaksState::Failed) {
        TB_String message(u"波形を表示できません");
        TB_SolidBrush dim(style.DisabledTextColor);
        g.Brush = &dim;
        float w = g.MeasureString(message).x;
        g.DrawString(message, TB_Vector2{area.x + std::max(0.0f, (area.width - w) / 2),
                                         area.y + (area.height - g.MeasureString(message).y) / 2});
    } else if (!m_path.empty()) {
        float playhead = PlayheadX();
        TB_SolidBrush played(style.FocusFrame);
        TB_SolidBrush ahead(WithAlpha(style.ContentsForeColor, 0.4f));
        g.PushClip(TB_Rectangle<float>{area.x, area.y, playhead - area.x, area.height});
        g.Brush = &played;
        PaintOutline(g, area);
        g.PopClip();
        g.PushClip(
            TB_Rectangle<float>{playhead, area.y, area.x + area.width - playhead, area.height});
        g.Brush = &ahead;
        PaintOutline(g, area);
        g.PopClip();
        TB_SolidBrush head(style.ContentsForeColor);
        g.Brush = &head;
        g.DrawRectangle(TB_Rectangle<float>{playhead, area.y, PlayheadWidth(), area.height});
    }
    g.Font = fontBefore;
    g.Brush = brushBefore;
    g.Pen = penBefore;
}

void TC_WaveformStrip::SeekAt(float x) {
    TB_Rectangle<float> area = WaveArea();
    double span = Span();
    if (!Seek || span <= 0 || area.width <= 0 || m_state == TC_SoundInfo::PeaksState::Failed) {
        return;
    }
    double fraction = std::clamp(static_cast<double>((x - area.x) / area.width), 0.0, 1.0);
    Seek(fraction * span);
}

void TC_WaveformStrip::OnDownHandler(TB_MouseEventArg& arg) {
    TB_Rectangle<float> area = WaveArea();
    if (!arg.Left || arg.X < area.x || arg.X > area.x + area.width) {
        return;
    }
    m_dragging = true;
    SeekAt(arg.X);
}

void TC_WaveformStrip::OnMoveHandler(TB_MouseEventArg& arg) {
    if (m_dragging && arg.Left) {
        SeekAt(arg.X);
    }
}

void TC_WaveformStrip::OnUpHandler(TB_MouseEventArg&) {
    m_dragging = false;
}

bool TC_WaveformStrip::Inspect(TB_IPropertyVisitor& visitor) {
    TB_Canvas::Inspect(visitor);
    visitor.WriteString(u"WaveState", TB_String(StateName(m_state)));
    visitor.WriteInt(u"PeakCount", m_peaks ? m_peaks->Count() : 0);
    visitor.WriteReal(u"WaveDuration", Span());
    visitor.WriteReal(u"Position", m_position);
    visitor.WriteString(u"TimeText", TimeText());
    visitor.WriteString(u"Message", m_state == TC_SoundInfo::PeaksState::Failed
                                        ? TB_String(u"波形を表示できません")
                                        : TB_String());
    visitor.WriteRectangle(u"WaveRect", WaveArea());
    return true;
}
