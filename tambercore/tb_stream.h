#pragma once

#include "tb_object.h"

enum class TB_SeekOrigin : tb_int { Current = 0, Begin = 1, End = 2 };

// Abstract byte stream; positions, lengths and counts are 64-bit.
class TB_Stream : public TB_Object {
public:
    // Copies up to count bytes from the current position; returns the number copied.
    virtual tb_int64 Read(void* buffer, tb_int64 count) = 0;
    // Writes count bytes at the current position; returns the number written.
    virtual tb_int64 Write(const void* buffer, tb_int64 count) = 0;
    virtual tb_int64 WriteByte(tb_byte value) { return Write(&value, 1); }
    // Returns the new position, or -1 when the move failed.
    virtual tb_int64 Seek(tb_int64 offset, TB_SeekOrigin origin) = 0;
    virtual tb_int64 GetLength() = 0;
    virtual tb_int64 GetPosition() = 0;
};
