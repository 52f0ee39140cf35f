#pragma once

#include <cstdio>
#include <string>
#include <vector>

// lumovox-check --style FOLDER|NAME: loads a style folder as the program would and prints JSON:
// the 23 colours as read (or why not), each icon with loaded / not loaded and its view box,
// the title bitmap's size and the contrast ratio of each text / background pair. Exit status
// 0 when everything loaded, 1 when something did not, 2 on a usage error. An argument without
// a slash names a style, found where the program finds it (LV_StyleFolder).
int LV_RunStyleCheck(const std::vector<std::string>& arguments, std::FILE* out);
