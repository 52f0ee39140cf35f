#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tb_canvas.h"
#include "tb_checkbox.h"
#include "tb_font.h"
#include "tb_uitimer.h"
#include "tc_soundinfo.h"

// The outline of the current clip with a playhead, and "elapsed / total" in a label beside it.
// A click or a drag on the outline asks for that place (Seek). While the clip plays a timer
// moves the playhead; while it does not, no timer runs.
class TC_WaveformStrip : public TB_Canvas {
public:
    explicit TC_WaveformStrip(TC_SoundInfo* info);
    ~TC_WaveformStrip() override;

    // The clip shown, as a native path; empty for none.
    void SetClip(const std::string& path);
    // Takes what the sound info has now (its news came).
    void Refresh();
    // Where the clip is (seconds), its length as the player knows it (0 unknown), and whether
    // it plays: the timer runs only then.
    void Follow(double position, double length, bool playing);

    // "0:03.5": minutes, seconds and tenths.
    static TB_String FormatTime(double seconds);
    // The outline's area, in the strip's coordinates.
    TB_Rectangle<float> WaveArea();
    // The seconds the outline spans: its own length, else the player's.
    double Span() const;

    // "WaveState" (none, loading, ready, failed), "PeakCount", "WaveDuration", "Position",
    // "TimeText", "Message" and "WaveRect" after the widget's properties.
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    // Seconds asked for by a click or drag.
    std::function<void(double)> Seek;
    // Each timer tick, for the owner to call Follow with the player's position.
    std::function<void()> Tick;
    // Where "elapsed / total" is shown (a widget of its own, so the time and the playhead
    // are painted apart); not owned.
    TB_Lable* TimeLabel = nullptr;

private:
    void OnPaintHandler(TB_PaintEventArg& arg);
    void OnDownHandler(TB_MouseEventArg& arg);
    void OnMoveHandler(TB_MouseEventArg& arg);
    void OnUpHandler(TB_MouseEventArg& arg);
    void SeekAt(float x);
    // Lowest and highest point per pixel column of the outline, for its current width.
    void MakeColumns(tb_int width);
    void PaintOutline(TB_Graphics& g, const TB_Rectangle<float>& area);
    float PlayheadWidth() const;
    // The playhead's left edge, in the strip's coordinates.
    float PlayheadX();
    TB_String TimeText() const;
    void ShowTime();

    TC_SoundInfo* m_info;  // not owned
    TB_Font* m_font;
    TB_UiTimer* m_timer;
    std::string m_path;
    TC_SoundInfo::PeaksState m_state = TC_SoundInfo::PeaksState::None;
    std::shared_ptr<const TB_SoundPeaks> m_peaks;
    std::vector<int8_t> m_columns;  // low, high per column
    tb_int m_columnsWidth = -1;
    float m_gain = 1;
    double m_position = 0;
    double m_length = 0;
    bool m_dragging = false;
};
