#include "tc_json.h"

#include <fcntl.h>
#include <stdio.h>

#include <locale.h>
#include <rapidjson/encodedstream.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tb_error.h"
#include "tb_filestream.h"

namespace {

// Hands the reader's events to the document, each number read from its text: integers as
// RapidJSON reads them, the others by strtod in the C locale, which rounds correctly.
class ExactNumbers {
public:
    explicit ExactNumbers(rapidjson::Document& target) : m_target(target) {}

    bool Null() { return m_target.Null(); }
    bool Bool(bool value) { return m_target.Bool(value); }
    bool Int(int value) { return m_target.Int(value); }
    bool Uint(unsigned value) { return m_target.Uint(value); }
    bool Int64(int64_t value) { return m_target.Int64(value); }
    bool Uint64(uint64_t value) { return m_target.Uint64(value); }
    bool Double(double value) { return m_target.Double(value); }
    bool String(const char* text, rapidjson::SizeType length, bool copy) {
        return m_target.String(text, length, copy);
    }
    bool StartObject() { return m_target.StartObject(); }
    bool Key(const char* text, rapidjson::SizeType length, bool copy) {
        return m_target.Key(text, length, copy);
    }
    bool EndObject(rapidjson::SizeType count) { return m_target.EndObject(count); }
    bool StartArray() { return m_target.StartArray(); }
    bool EndArray(rapidjson::SizeType count) { return m_target.EndArray(count); }

    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        std::string number(text, length);
        if (number.find_first_of(".eE") == std::string::npos) {
            errno = 0;
            if (number[0] == '-') {
                long long value = std::strtoll(number.c_str(), nullptr, 10);
                if (errno == 0) {
                    return value >= INT32_MIN ? Int(static_cast<int>(value)) : Int64(value);
                }
            } else {
                unsigned long long value = std::strtoull(number.c_str(), nullptr, 10);
                if (errno == 0) {
                    return value <= UINT32_MAX ? Uint(static_cast<unsigned>(value)) : Uint64(value);
                }
            }
            // Beyond 64 bits: a double, as RapidJSON reads it.
        }
        static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        double value = strtod_l(number.c_str(), nullptr, c);
        return std::isfinite(value) && Double(value);
    }

private:
    rapidjson::Document& m_target;
};

struct ExactParse {
    bool operator()(rapidjson::Document& document) {
        ExactNumbers handler(document);
        rapidjson::MemoryStream memory(text.data(), text.size());
        rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> stream(memory);
        rapidjson::Reader reader;
        ok = !reader
                  .Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag>(
                      stream, handler)
                  .IsError();
        return ok;
    }
    const std::string& text;
    bool ok = false;
};

}  // namespace

void TC_ParseJsonExact(rapidjson::Document& document, const std::string& text) {
    // The library's own pass finds the syntax errors and reports them as the callers expect;
    // a second pass then reads the numbers exactly.
    document.Parse<rapidjson::kParseIterativeFlag>(text.data(), text.size());
    if (document.HasParseError()) {
        return;
    }
    rapidjson::Document exact;
    ExactParse parse{text};
    exact.Populate(parse);
    if (parse.ok) {
        document.Swap(exact);
    }
}

void TC_KeepBrokenFile(const TB_Uri& path) {
    std::string from = path.GetPath().ToStdString();
    std::string to;
    bool moved = false;
    for (int number = 0; number < 1000 && !moved; ++number) {
        to = from + ".broken" + (number == 0 ? std::string() : "." + std::to_string(number));
        // RENAME_NOREPLACE: an earlier broken copy is never overwritten, not even by a race.
        moved = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
        if (!moved && errno != EEXIST) {
            break;
        }
    }
    TB_String message;
    if (moved) {
        message.Format(u"Kept the unreadable file as %s", to.c_str());
    } else {
        message.Format(u"Could not keep the unreadable file %s", from.c_str());
    }
    TB_Error::Report(2, 6, message.Chars(), TB_SOURCE_NAME, __LINE__);
}

bool TC_SaveJsonText(const TB_Uri& path, const std::string& text) {
    if (TB_WriteFileAtomically(path, text.data(), static_cast<tb_int64>(text.size()))) {
        return true;
    }
    TB_String message;
    message.Format(u"Failed to write %s; the previous file was kept",
                   path.GetPath().ToStdString().c_str());
    TB_Error::Report(2, 7, message.Chars(), TB_SOURCE_NAME, __LINE__);
    return false;
}
