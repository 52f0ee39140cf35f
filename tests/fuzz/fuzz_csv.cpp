// The CSV field rule and the table loader: the input is a library's table, read from its
// file as an import or an index load reads it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "fuzz_support.h"
#include "tb_messagebox.h"
#include "tc_voiceloader.h"

namespace {

int g_messages = 0;

// A field ends at a separator outside quotes or at the end of the line.
void CheckSplit(const TB_String& text, tb_char separator) {
    size_t separators = 0;
    for (tb_char c : text.View()) {
        separators += c == separator ? 1 : 0;
    }
    if (TC_VoiceLoader::SplitFields(text, separator).size() > separators + 1) {
        LV_Fuzz::Fail("more fields than separators allow");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A short table ends the reading with a message; nobody is there to press OK.
    TB_SetMessageBoxHook([](TB_WindowHandle, const TB_String&, const TB_String&, tb_uint) {
        ++g_messages;
        return static_cast<tb_int>(TB_IDOK);
    });
    LV_Fuzz::CopySample("hikari", LV_Fuzz::ScratchPath("lib"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TB_String text(reinterpret_cast<const char*>(data), static_cast<tb_int64>(size));
    CheckSplit(text, u',');
    CheckSplit(text, u'\t');

    // Beside the sample's clips, so that relative paths of the seeds find real files.
    std::string path = LV_Fuzz::ScratchPath("lib/table.csv");
    LV_Fuzz::WriteFile(path, data, size);
    auto library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    library->Type = TC_VoiceLibraryType::Csv;
    g_messages = 0;
    if (!TC_VoiceLoader::LoadCsvLibrary(library.Get(), LV_Fuzz::ToUri(path))) {
        LV_Fuzz::Fail("an existing table did not open");
    }
    if (g_messages > 1) {
        LV_Fuzz::Fail("more than one message for one table");
    }
    // A category is made once per name; the clip list shows each once.
    std::unordered_set<std::u16string> names;
    for (TC_VoiceCategory* category : library->Categories) {
        if (!names.emplace(category->Name.View()).second) {
            LV_Fuzz::Fail("two categories of the same name");
        }
    }
    for (TC_VoiceData* voice : library->Voices) {
        if (voice->Categories.Count() != 1) {
            LV_Fuzz::Fail("a table clip without exactly one category");
        }
    }
    LV_Fuzz::ForgetErrors();
    return 0;
}
