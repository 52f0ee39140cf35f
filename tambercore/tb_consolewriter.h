#pragma once

#include <cstdio>

#include "tb_textwriter.h"

// Writes UTF-8 to standard output. Colours become ANSI escapes, and only when standard
// output is a terminal, so logs and pipes stay plain text.
class TB_ConsoleWriter : public TB_TextWriter {
public:
    TB_ConsoleWriter();
    explicit TB_ConsoleWriter(std::FILE* out, bool colors);
    ~TB_ConsoleWriter() override;

    void WriteChar(tb_char ch) override;
    void SetColor(tb_int color) override;
    void ResetColor() override;

    // The one writer of the process, created at start-up; null before and after.
    static TB_ConsoleWriter* Shared();
    static void SetShared(TB_ConsoleWriter* writer);

private:
    std::FILE* m_out;
    bool m_colors;
    bool m_colorSet = false;
    tb_char m_pendingHigh = 0;
};
