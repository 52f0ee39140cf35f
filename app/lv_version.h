#pragma once

// The program's name as its windows show it, and its version.
inline constexpr const char16_t* LV_kAppTitle = u"ルモヴォクスアプリ";
inline constexpr const char* LV_kVersion = "1.0.0.0";
