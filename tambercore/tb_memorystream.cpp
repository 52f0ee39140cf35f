#include "tb_memorystream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

TB_MemoryStream::TB_MemoryStream()
    : m_data(static_cast<tb_byte*>(std::malloc(1024))),
      m_ownsData(true),
      m_capacity(1024),
      m_growable(true) {}

TB_MemoryStream::TB_MemoryStream(const void* data, tb_int64 length, bool ownsData)
    : m_length(length < 0 ? 0 : length),
      m_data(static_cast<tb_byte*>(const_cast<void*>(data))),
      m_ownsData(ownsData),
      m_capacity(m_length) {}

TB_MemoryStream::~TB_MemoryStream() {
    if (m_ownsData) {
        std::free(m_data);
    }
}

tb_int64 TB_MemoryStream::Read(void* buffer, tb_int64 count) {
    if (count <= 0 || m_position < 0 || m_position >= m_length) {
        return 0;
    }
    tb_int64 n = std::min(m_position + count, m_length) - m_position;
    std::memcpy(buffer, m_data + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

tb_int64 TB_MemoryStream::Write(const void* buffer, tb_int64 count) {
    if (count <= 0 || m_position < 0) {
        return 0;
    }
    if (!m_growable) {
        if (m_position >= m_length) {
            return 0;
        }
        tb_int64 n = std::min(m_position + count, m_length) - m_position;
        std::memcpy(m_data + m_position, buffer, static_cast<size_t>(n));
        m_position += n;
        return n;
    }
    if (m_capacity - m_position < count) {
        // Grows by at least the write; a position seeked past the capacity grows it further
        // so the copy below always stays inside the block.
        tb_int64 capacity = m_capacity + std::max<tb_int64>(count, 1024);
        capacity = std::max(capacity, m_position + count);
        m_data = static_cast<tb_byte*>(std::realloc(m_data, static_cast<size_t>(capacity)));
        m_capacity = capacity;
    }
    if (m_position > m_length) {
        std::memset(m_data + m_length, 0, static_cast<size_t>(m_position - m_length));
    }
    std::memcpy(m_data + m_position, buffer, static_cast<size_t>(count));
    m_length = m_position + count;
    m_position += count;
    return count;
}

tb_int64 TB_MemoryStream::Seek(tb_int64 offset, TB_SeekOrigin origin) {
    switch (origin) {
        case TB_SeekOrigin::Current:
            m_position += offset;
            break;
        case TB_SeekOrigin::Begin:
            m_position = offset;
            break;
        case TB_SeekOrigin::End:
            m_position = m_length + offset;
            break;
    }
    return m_position;
}
