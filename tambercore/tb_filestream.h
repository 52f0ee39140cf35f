#pragma once

#include <string>
#include <vector>

#include "tb_stream.h"
#include "tb_uri.h"

enum class TB_FileMode : tb_int { Read = 0, Create = 1, Append = 2, ReadWrite = 3 };

// A file opened for the life of the object. The length is taken once at open and is not
// updated by later writes. Reads are served from an internal buffer; every position the
// caller can observe is the same as without it.
class TB_FileStream : public TB_Stream {
public:
    TB_FileStream(const TB_Uri& uri, TB_FileMode mode);
    TB_FileStream(const TB_FileStream&) = delete;
    TB_FileStream& operator=(const TB_FileStream&) = delete;
    ~TB_FileStream() override;

    bool IsOpen() const { return m_fd >= 0; }

    tb_int64 Read(void* buffer, tb_int64 count) override;
    tb_int64 Write(const void* buffer, tb_int64 count) override;
    tb_int64 Seek(tb_int64 offset, TB_SeekOrigin origin) override;
    tb_int64 GetLength() override { return m_length; }
    tb_int64 GetPosition() override;

    // Pushes written data to the disk (fsync); false when the system refused.
    bool Flush();

    // Reads the rest of the file and parses it into a RapidJSON document (with the given
    // parse flags) after skipping a UTF-8 byte-order mark. False only when the file is not
    // open; a syntax error is left in the document for the caller.
    template <unsigned Flags = 0, class TDocument>
    bool ParseJson(TDocument& document) {
        std::string text;
        if (!ReadText(text)) {
            return false;
        }
        document.template Parse<Flags>(text.data(), text.size());
        return true;
    }
    // The rest of the file after a UTF-8 byte-order mark; false only when it is not open.
    bool ReadText(std::string& text);

    // Skips each of EF, BB, BF that is the next byte; returns the offset after them.
    static tb_int64 SkipByteOrderMark(const char* bytes, tb_int64 count);

private:
    void DropBuffer();

    int m_fd = -1;
    tb_int64 m_length = 0;
    // Read buffer: bytes [m_bufferStart, m_bufferStart + m_buffer.size()) of the file;
    // the logical position is m_bufferStart + m_bufferPos while it holds data.
    std::vector<unsigned char> m_buffer;
    tb_int64 m_bufferStart = 0;
    size_t m_bufferPos = 0;
    bool m_buffered = false;
};

// Replaces the file's content as one step: the bytes go to a temporary file in the same
// folder, are flushed to the disk and renamed over the target. On any failure the old file
// stays as it was and false is returned; a crash leaves either the old or the new file (and
// a "<name>.tmp-<pid>" that TB_RemoveStaleTemporaries clears later). The old file's
// permission bits are kept, and a symbolic link is written through to its target.
bool TB_WriteFileAtomically(const TB_Uri& target, const void* data, tb_int64 count);
// Removes the temporary files that interrupted atomic writes of the target left behind:
// "<name>.tmp-<pid>" whose process no longer runs. Returns how many were removed.
tb_int TB_RemoveStaleTemporaries(const TB_Uri& target);
