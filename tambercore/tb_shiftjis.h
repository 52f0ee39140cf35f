#pragma once

#include "tb_types.h"

// Shift_JIS-2004 decoding table: 65,535 entries indexed by a single byte or by
// lead * 256 + trail. Bits 0-23 of an entry hold the code point (0 for undefined codes).
// The 25 codes that map to a base character plus a combining mark keep the base character
// there and, in bits 24-31, the number of the mark: TB_ShiftJisMark gives it back.
constexpr tb_uint kShiftJisTableSize = 65535;

// Builds the table on first use; it lives until TB_FreeShiftJisTable.
const tb_uint* TB_ShiftJisTable();
bool TB_ShiftJisTableBuilt();
void TB_FreeShiftJisTable();

inline tb_uint TB_ShiftJisCodePoint(tb_uint entry) {
    return entry & 0xFFFFFF;
}
// The combining mark that follows the base character, or 0.
tb_uint TB_ShiftJisMark(tb_uint entry);
// True for the bytes that start a double-byte code: 81-9F and E0-FC.
inline bool TB_IsShiftJisLead(tb_byte b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
inline bool TB_IsShiftJisTrail(tb_byte b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}
