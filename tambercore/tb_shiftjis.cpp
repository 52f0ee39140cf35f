#include "tb_shiftjis.h"

#include <cstdlib>
#include <mutex>

namespace {

#include "tb_shiftjis_data.inc"

const tb_uint kMarks[] = {0x309A, 0x0300, 0x0301, 0x02E5, 0x02E9};

std::mutex g_tableLock;
tb_uint* g_table = nullptr;

tb_uint MarkNumber(tb_uint mark) {
    for (tb_uint i = 0; i < sizeof kMarks / sizeof kMarks[0]; ++i) {
        if (kMarks[i] == mark) {
            return i + 1;
        }
    }
    std::abort();  // the generator produced a mark this table does not know
}

void Build(tb_uint* table) {
    for (tb_uint b = 0; b < 0x80; ++b) {
        table[b] = b;
    }
    table[0x5C] = 0x00A5;
    table[0x7E] = 0x203E;
    for (tb_uint b = 0xA1; b <= 0xDF; ++b) {
        table[b] = 0xFF61 + (b - 0xA1);
    }
    for (size_t row = 0; row < sizeof kSjisLeads; ++row) {
        for (tb_uint t = 0; t < 189; ++t) {
            table[kSjisLeads[row] * 256u + 0x40 + t] = kSjisCells[row][t];
        }
    }
    for (const auto& wide : kSjisWide) {
        table[wide[0]] = wide[1];
    }
    for (const auto& pair : kSjisPairs) {
        table[pair[0]] = pair[1] | (MarkNumber(pair[2]) << 24);
    }
    // Codes on which published tables differ, fixed by the program.
    table[0x815C] = 0x2014;
    table[0x8160] = 0xFF5E;
    table[0x81D4] = 0xFF5F;
    table[0x81D5] = 0xFF60;
}

}  // namespace

const tb_uint* TB_ShiftJisTable() {
    std::lock_guard<std::mutex> guard(g_tableLock);
    if (!g_table) {
        g_table = static_cast<tb_uint*>(std::calloc(kShiftJisTableSize, sizeof(tb_uint)));
        Build(g_table);
    }
    return g_table;
}

bool TB_ShiftJisTableBuilt() {
    std::lock_guard<std::mutex> guard(g_tableLock);
    return g_table != nullptr;
}

void TB_FreeShiftJisTable() {
    std::lock_guard<std::mutex> guard(g_tableLock);
    std::free(g_table);
    g_table = nullptr;
}

tb_uint TB_ShiftJisMark(tb_uint entry) {
    tb_uint number = entry >> 24;
    return number == 0 ? 0 : kMarks[number - 1];
}
