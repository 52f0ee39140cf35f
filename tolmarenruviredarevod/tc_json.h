#pragma once

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <string>

#include "tb_string.h"
#include "tb_uri.h"

// The pretty writer of the application's JSON files: one tab per nesting level, one member
// or element per line, doubles in their shortest round-trip form, no trailing newline.
using TC_JsonWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

inline void TC_ConfigureJsonWriter(TC_JsonWriter& writer) {
    writer.SetIndent('\t', 1);
}

inline bool TC_WriteJsonString(TC_JsonWriter& writer, const TB_String& text) {
    std::string utf8 = text.ToStdString();
    return writer.String(utf8.c_str(), static_cast<rapidjson::SizeType>(utf8.size()));
}

inline TB_String TC_JsonText(const rapidjson::Value& value) {
    return value.IsString()
               ? TB_String(value.GetString(), static_cast<tb_int64>(value.GetStringLength()))
               : TB_String();
}

// Parses the text as Parse<kParseIterativeFlag> does, but reads every number that is not an
// integer exactly (correctly rounded, so each double the writer wrote comes back the same).
// RapidJSON 1.1's own full-precision reading hands zero to clz for a zero written with a
// large exponent ("0e39") and returns a huge number instead. A syntax error is left in the
// document as Parse leaves it.
void TC_ParseJsonExact(rapidjson::Document& document, const std::string& text);

// Moves an unreadable file aside as "<name>.broken" (or ".broken.1", ".broken.2" ... when an
// earlier copy is there: none is ever replaced) so that the next save cannot destroy the
// user's only copy; records the move in the error log.
void TC_KeepBrokenFile(const TB_Uri& path);

// Replaces the file with the text through a temporary file and a rename; a failure keeps
// the old file and is recorded in the error log.
bool TC_SaveJsonText(const TB_Uri& path, const std::string& text);
