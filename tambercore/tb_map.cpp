#include "tb_map.h"

#include <vector>

tb_uint TB_MapHash(const TB_String* key) {
    const tb_char* chars = key ? key->Chars() : nullptr;
    size_t length = key && chars ? static_cast<size_t>(key->Length()) : 0;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // The units already lie in memory as little-endian bytes.
    return XXH32(length ? chars : u"", length * 2, 107);
#else
    std::vector<unsigned char> bytes(length * 2);
    for (size_t i = 0; i < length; ++i) {
        bytes[i * 2] = static_cast<unsigned char>(chars[i] & 0xFF);
        bytes[i * 2 + 1] = static_cast<unsigned char>(chars[i] >> 8);
    }
    return XXH32(bytes.data(), bytes.size(), 107);
#endif
}
