#include "tb_consolewriter.h"

#include <unistd.h>

namespace {

TB_ConsoleWriter* g_shared = nullptr;

void PutUtf8(std::FILE* out, tb_uint cp) {
    char bytes[4];
    int n;
    if (cp < 0x80) {
        bytes[0] = static_cast<char>(cp);
        n = 1;
    } else if (cp < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 2;
    } else if (cp < 0x10000) {
        bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 3;
    } else {
        bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
        bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
        n = 4;
    }
    std::fwrite(bytes, 1, static_cast<size_t>(n), out);
}

}  // namespace

TB_ConsoleWriter::TB_ConsoleWriter() : TB_ConsoleWriter(stdout, isatty(STDOUT_FILENO) == 1) {}

TB_ConsoleWriter::TB_ConsoleWriter(std::FILE* out, bool colors) : m_out(out), m_colors(colors) {}

TB_ConsoleWriter::~TB_ConsoleWriter() {
    ResetColor();
    std::fflush(m_out);
}

void TB_ConsoleWriter::WriteChar(tb_char ch) {
    // A surrogate pair arrives in two calls; hold the first half until the second.
    if (ch >= 0xD800 && ch <= 0xDBFF) {
        m_pendingHigh = ch;
        return;
    }
    if (ch >= 0xDC00 && ch <= 0xDFFF && m_pendingHigh) {
        PutUtf8(m_out, 0x10000 + ((m_pendingHigh - 0xD800u) << 10) + (ch - 0xDC00u));
        m_pendingHigh = 0;
        return;
    }
    m_pendingHigh = 0;
    PutUtf8(m_out, ch);
}

void TB_ConsoleWriter::SetColor(tb_int color) {
    if (!m_colors) {
        return;
    }
    int ansi = ((color & 4) ? 1 : 0) | ((color & 2) ? 2 : 0) | ((color & 1) ? 4 : 0);
    std::fprintf(m_out, "\x1b[%dm", ((color & 8) ? 90 : 30) + ansi);
    m_colorSet = true;
}

void TB_ConsoleWriter::ResetColor() {
    if (m_colors && m_colorSet) {
        std::fputs("\x1b[0m", m_out);
        m_colorSet = false;
    }
}

TB_ConsoleWriter* TB_ConsoleWriter::Shared() {
    return g_shared;
}

void TB_ConsoleWriter::SetShared(TB_ConsoleWriter* writer) {
    g_shared = writer;
}
