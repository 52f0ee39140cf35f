#pragma once

#include <rapidjson/document.h>

#include <string>

#include "tb_string.h"

// Locations in the program's JSON files. A path is written as UTF-8, except that an escaped
// byte of a file name (TB_IsEscapedByte) is written as the JSON escape of its unit, such as
// \udc82 for the byte 0x82: the form a path decoded with Python's "surrogateescape" takes in
// its json module. The file stays valid UTF-8, and TC_JsonPathText gives the same text back,
// so the location keeps its bytes. Text without escaped bytes is written as before.

// The JSON string literal (with its quotes) of a location that holds escaped bytes.
std::string TC_JsonPathLiteral(const TB_String& text);

template <class TWriter>
void TC_WriteJsonPath(TWriter& writer, const TB_String& text) {
    if (TB_HasEscapedBytes(text.View())) {
        std::string literal = TC_JsonPathLiteral(text);
        writer.RawValue(literal.c_str(), literal.size(), rapidjson::kStringType);
        return;
    }
    std::string utf8 = text.ToStdString();
    writer.String(utf8.c_str(), static_cast<rapidjson::SizeType>(utf8.size()));
}

// The location text of a JSON string written by TC_WriteJsonPath (empty for other values).
TB_String TC_JsonPathText(const rapidjson::Value& value);
