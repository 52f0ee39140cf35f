// character.ini of a folder library, read while the folder loads.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "tc_voiceloader.h"

namespace {

std::string g_folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_folder = LV_Fuzz::ScratchPath("character");
    std::filesystem::create_directories(g_folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LV_Fuzz::WriteFile(g_folder + "/character.ini", data, size);
    auto library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    library->Type = TC_VoiceLibraryType::Folder;
    library->RootPath = LV_Fuzz::ToUri(g_folder);
    if (!TC_VoiceLoader::LoadLibrary(library.Get(), true)) {
        LV_Fuzz::Fail("an existing folder did not load");
    }
    // The name goes into the index and the group title as UTF-8.
    (void)library->CharName.ToStdString();
    LV_Fuzz::ForgetErrors();
    return 0;
}
