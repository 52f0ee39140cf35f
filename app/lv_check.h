#pragma once

#include <cstdio>
#include <string>
#include <vector>

// lumovox-check: loads voice library folders, a library index or audio files the way the
// program does and prints what it found as one JSON document. Returns the exit status:
// 0 all loaded and every clip exists, 1 a message was shown or a clip is missing or does
// not play, 2 a folder or index could not be loaded (or the arguments were wrong).
int LV_RunCheck(const std::vector<std::string>& arguments, std::FILE* out);
