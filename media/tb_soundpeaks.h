#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tb_types.h"

// The outline of a clip's sound: the lowest and highest sample of each stretch of
// SecondsPerPoint seconds, all channels mixed, scaled to -127..127.
struct TB_SoundPeaks {
    std::vector<int8_t> Points;  // min, max, min, max ...
    double SecondsPerPoint = 0;
    // Seconds: exact once Complete, before that the stream's own estimate (0 unknown).
    double Duration = 0;
    bool Complete = false;

    tb_int Count() const { return static_cast<tb_int>(Points.size() / 2); }
};

enum class TB_PeaksResult { Ready, Undecodable, Cancelled };

// Decodes the whole file (any format the player plays) into at most maxPoints pairs,
// streaming: memory does not grow with the clip's length. Progress gets the peaks so far
// about every 100 ms on the calling thread. A file that brings no sound, an error, or a
// stream that stops moving for 10 s is Undecodable; cancel is polled while decoding.
TB_PeaksResult TB_DecodePeaks(const std::string& path, const std::atomic<bool>& cancel,
                              const std::function<void(const TB_SoundPeaks&)>& progress,
                              TB_SoundPeaks& peaks, tb_int maxPoints = 2000);

// The clip's playing length in seconds, read from its header where the format has a
// trustworthy one (PCM and float WAV, MP3 with an encoder record), else from the media
// pipeline; -1 when the file cannot be played.
double TB_ReadSoundDuration(const std::string& path);
