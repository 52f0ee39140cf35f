#pragma once

#include <cstddef>
#include <cstdint>

// Fixed-width names used across the framework. Text is UTF-16 in char16_t units:
// wchar_t is 32 bits on Linux and never carries the program's text.
using tb_byte = std::uint8_t;
using tb_int = std::int32_t;
using tb_uint = std::uint32_t;
using tb_int64 = std::int64_t;
using tb_uint64 = std::uint64_t;
using tb_char = char16_t;
