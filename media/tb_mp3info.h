#pragma once

#include <string>

// The playing length of an MP3 file as its encoder recorded it: the frame count of the
// Xing/Info header less the encoder delay and padding of the LAME tag. False when the file
// has no such header (its length then comes from the pipeline alone).
bool TB_ReadMp3Length(const std::string& path, double& seconds);
