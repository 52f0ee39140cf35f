#pragma once

#include "tb_stream.h"

// A stream over bytes in memory: either fixed (over existing data, never past its length)
// or growable (owns its data, grows by at least 1024 bytes).
class TB_MemoryStream : public TB_Stream {
public:
    // Growable: length 0, capacity 1024, owns its data.
    TB_MemoryStream();
    // Fixed over existing bytes; frees them at destruction only when ownsData is set.
    TB_MemoryStream(const void* data, tb_int64 length, bool ownsData);
    TB_MemoryStream(const TB_MemoryStream&) = delete;
    TB_MemoryStream& operator=(const TB_MemoryStream&) = delete;
    ~TB_MemoryStream() override;

    tb_int64 Read(void* buffer, tb_int64 count) override;
    tb_int64 Write(const void* buffer, tb_int64 count) override;
    tb_int64 Seek(tb_int64 offset, TB_SeekOrigin origin) override;
    tb_int64 GetLength() override { return m_length; }
    tb_int64 GetPosition() override { return m_position; }

    const tb_byte* Data() const { return m_data; }
    tb_int64 Capacity() const { return m_capacity; }
    bool IsGrowable() const { return m_growable; }

private:
    tb_int64 m_length = 0;
    tb_int64 m_position = 0;
    tb_byte* m_data = nullptr;
    bool m_ownsData = false;
    tb_int64 m_capacity = 0;
    bool m_growable = false;
};
