// Locations as the program builds them from index entries, table fields and folder listings:
// normalising, appending a segment and the relative path from a base.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "tb_uri.h"

namespace {

// The input is "location \n segment \n base", each UTF-8 as read from an index file.
TB_String Piece(const uint8_t*& data, size_t& size) {
    size_t n = 0;
    while (n < size && data[n] != '\n') {
        ++n;
    }
    TB_String piece(reinterpret_cast<const char*>(data), static_cast<tb_int64>(n));
    size_t used = n < size ? n + 1 : n;
    data += used;
    size -= used;
    return piece;
}

void Touch(const TB_Uri& uri) {
    TB_String name;
    uri.GetFileName(name);
    uri.GetFileNameWithoutExtension(name);
    TB_Uri parent;
    uri.GetParent(parent);
    (void)uri.GetPath().ToStdString();
}

// A second normalisation must change nothing: the index stores normalised locations and
// compares favourites by their text after normalising again.
void CheckStable(const TB_Uri& uri) {
    TB_Uri again(uri);
    again.Normalize();
    if (!again.GetUri().Equals(uri.GetUri())) {
        LV_Fuzz::Fail("normalising a normalised location changed it");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TB_String location = Piece(data, size);
    TB_String segment = Piece(data, size);
    TB_String baseText = Piece(data, size);

    TB_Uri uri(location);
    Touch(uri);
    CheckStable(uri);

    TB_Uri raw;
    raw.SetUri(location);
    Touch(raw);

    TB_Uri appended(uri);
    appended.Append(segment);
    Touch(appended);
    appended.Normalize();
    CheckStable(appended);

    TB_Uri base(baseText);
    TB_String relative;
    if (appended.MakeRelative(base, relative)) {
        // The way a clip's full path is made again from its library root.
        TB_Uri rebuilt(base);
        rebuilt.Append(relative);
        rebuilt.Normalize();
        Touch(rebuilt);
    }
    return 0;
}
