#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>

#include <vector>

#include "tb_shiftjis.h"

namespace {

// Decodes one code with glibc's SHIFT_JISX0213 converter, an implementation independent of
// the one the table was generated from.
std::vector<tb_uint> DecodeWithIconv(iconv_t converter, tb_uint code) {
    unsigned char in[2];
    size_t inLeft;
    if (code < 256) {
        in[0] = static_cast<unsigned char>(code);
        inLeft = 1;
    } else {
        in[0] = static_cast<unsigned char>(code >> 8);
        in[1] = static_cast<unsigned char>(code & 0xFF);
        inLeft = 2;
    }
    tb_uint out[4] = {0, 0, 0, 0};
    char* inPtr = reinterpret_cast<char*>(in);
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv(converter, nullptr, nullptr, &outPtr, &outLeft);  // flush a held base character
    if (result == static_cast<size_t>(-1) || inLeft != 0) {
        return {};
    }
    return std::vector<tb_uint>(out, out + (sizeof out - outLeft) / 4);
}

std::vector<tb_uint> FromTable(const tb_uint* table, tb_uint code) {
    tb_uint entry = table[code];
    if (TB_ShiftJisCodePoint(entry) == 0) {
        return code == 0 ? std::vector<tb_uint>{0} : std::vector<tb_uint>{};
    }
    std::vector<tb_uint> cps{TB_ShiftJisCodePoint(entry)};
    if (tb_uint mark = TB_ShiftJisMark(entry)) {
        cps.push_back(mark);
    }
    return cps;
}

TEST(ShiftJis, FixedCodesAndSingleBytes) {
    const tb_uint* table = TB_ShiftJisTable();
    EXPECT_TRUE(TB_ShiftJisTableBuilt());
    EXPECT_EQ(table[0x815C], 0x2014u);
    EXPECT_EQ(table[0x8160], 0xFF5Eu);
    EXPECT_EQ(table[0x81D4], 0xFF5Fu);
    EXPECT_EQ(table[0x81D5], 0xFF60u);
    EXPECT_EQ(table[0x5C], 0xA5u);
    EXPECT_EQ(table[0x7E], 0x203Eu);
    EXPECT_EQ(table[0x41], 0x41u);
    EXPECT_EQ(table[0xA1], 0xFF61u);
    EXPECT_EQ(table[0xDF], 0xFF9Fu);
    for (tb_uint b : {0x80u, 0xA0u, 0xFDu, 0xFEu, 0xFFu}) {
        EXPECT_EQ(table[b], 0u) << b;
    }
    EXPECT_EQ(table[0x82A0], 0x3042u);   // hiragana a
    EXPECT_EQ(table[0xFCF4], 0x2A6B2u);  // plane 2, the last code
    EXPECT_EQ(TB_ShiftJisCodePoint(table[0x82F5]), 0x304Bu);
    EXPECT_EQ(TB_ShiftJisMark(table[0x82F5]), 0x309Au);
    TB_FreeShiftJisTable();
    EXPECT_FALSE(TB_ShiftJisTableBuilt());
}

TEST(ShiftJis, AgreesWithAnIndependentDecoderExceptDocumentedCodes) {
    iconv_t converter = iconv_open("UTF-32LE", "SHIFT_JISX0213");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        GTEST_SKIP() << "no SHIFT_JISX0213 converter in this C library";
    }
    const tb_uint* table = TB_ShiftJisTable();
    // 0x8160 is fixed by the program; glibc departs from the JIS X 0213:2004 table at
    // 0x815F (U+005C) and 0x81B0 (U+007E).
    const tb_uint documented[] = {0x8160, 0x815F, 0x81B0};
    int compared = 0;
    for (tb_uint code = 0; code < 0x10000; ++code) {
        if (code >= 0x100 && !TB_IsShiftJisLead(static_cast<tb_byte>(code >> 8))) {
            continue;
        }
        if (code >= 0x100 && !TB_IsShiftJisTrail(static_cast<tb_byte>(code & 0xFF))) {
            continue;
        }
        if (std::find(std::begin(documented), std::end(documented), code) != std::end(documented)) {
            continue;
        }
        if (code < 0x100 && TB_IsShiftJisLead(static_cast<tb_byte>(code))) {
            continue;  // a lone lead byte is no character
        }
        ASSERT_EQ(FromTable(table, code), DecodeWithIconv(converter, code)) << std::hex << code;
        ++compared;
    }
    iconv_close(converter);
    EXPECT_GT(compared, 11000);
}

}  // namespace
