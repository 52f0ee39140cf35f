// The text reader over arbitrary bytes in each of its encodings, read from a file as tables,
// character.ini and the error logs are, and from memory: both must give the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tb_filestream.h"
#include "tb_memorystream.h"
#include "tb_streamreader.h"

namespace {

// The first input byte: bits 0-1 the encoding (3 is UTF-8 again), bit 2 keeps carriage
// returns, bits 3-4 the way of reading. The rest is the text.
struct Choice {
    TB_TextEncoding Encoding;
    bool KeepCarriageReturns;
    int Style;
};

Choice Decode(uint8_t byte) {
    static constexpr TB_TextEncoding kEncodings[] = {TB_TextEncoding::Utf8, TB_TextEncoding::Utf16,
                                                     TB_TextEncoding::ShiftJis,
                                                     TB_TextEncoding::Utf8};
    return Choice{kEncodings[byte & 3], (byte & 4) != 0, (byte >> 3) & 3};
}

void Take(std::vector<std::u16string>& out, TB_String* text) {
    if (!text) {
        out.emplace_back(u"<null>");
        return;
    }
    out.emplace_back(text->View());
    // Lines go back to UTF-8 whenever they are saved or shown; that conversion runs too.
    (void)text->ToStdString();
    text->Release();
}

std::vector<std::u16string> ReadAll(TB_Stream* stream, const Choice& choice) {
    TB_StreamReader reader(stream, choice.Encoding);
    reader.SetKeepCarriageReturns(choice.KeepCarriageReturns);
    std::vector<std::u16string> out;
    // Read() answers 0 without moving for Shift_JIS, so character-wise reading is not offered.
    int style =
        choice.Encoding == TB_TextEncoding::ShiftJis && choice.Style == 1 ? 0 : choice.Style;
    switch (style) {
        case 0:
            while (reader.HasMore()) {
                Take(out, reader.ReadLine());
            }
            break;
        case 1:
            while (reader.HasMore()) {
                out.emplace_back(1, static_cast<char16_t>(reader.Read()));
            }
            break;
        case 2:
            Take(out, reader.ReadToEnd());
            break;
        default:
            // A line, then the rest at once: the reader must resume where the line ended.
            if (reader.HasMore()) {
                Take(out, reader.ReadLine());
            }
            Take(out, reader.ReadToEnd());
            break;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    Choice choice = Decode(data[0]);
    const uint8_t* text = data + 1;
    size_t length = size - 1;

    std::string path = LV_Fuzz::ScratchPath("text.txt");
    LV_Fuzz::WriteFile(path, text, length);
    auto file =
        TB_Ref<TB_FileStream>::Adopt(new TB_FileStream(LV_Fuzz::ToUri(path), TB_FileMode::Read));
    if (!file->IsOpen()) {
        LV_Fuzz::Fail("the input file does not open");
    }
    auto memory = TB_Ref<TB_MemoryStream>::Adopt(
        new TB_MemoryStream(text, static_cast<tb_int64>(length), false));

    std::vector<std::u16string> fromFile = ReadAll(file.Get(), choice);
    std::vector<std::u16string> fromMemory = ReadAll(memory.Get(), choice);
    if (fromFile != fromMemory) {
        LV_Fuzz::Fail("a file and a memory stream of the same bytes read as different text");
    }
    return 0;
}
