#pragma once

#include <cstdio>
#include <string>
#include <vector>

// lumovox-check --render-icon FILE.svg --size N [--styles] --out FILE.png: draws the icon as
// the program's buttons do (the view box fills an N x N transparent image) and writes a PNG.
// Exit status 0 when a document loaded, 1 when not, 2 on a usage error.
int LV_RunRenderIcon(const std::vector<std::string>& arguments, std::FILE* err);
