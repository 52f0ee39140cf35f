// The library index voice-libs.json, loaded as at start-up (libraries, favourites and
// thumbnails) and written back as at exit. "@LIB@" in the input stands for a folder of this
// process holding copies of the sample libraries, so entries can name real libraries.
#include <rapidjson/document.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "tb_memorystream.h"
#include "tb_messagebox.h"
#include "tc_app_voice_lib.h"
#include "tc_voiceloader.h"

namespace {

std::string g_libraries;
std::string g_folder;
TB_MemoryStream* g_defaultThumbnail = nullptr;

std::string WithLibraries(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    const std::string marker = "@LIB@";
    for (size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + g_libraries.size())) {
        text.replace(at, marker.size(), g_libraries);
    }
    return text;
}

// Loads the index file and gives the text the program writes back at exit.
std::string LoadAndSave(const std::string& path) {
    TC_VoiceLibraryList list;
    list.LoadIndex(LV_Fuzz::ToUri(path), g_defaultThumbnail);
    return list.IndexJson();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TB_SetMessageBoxHook([](TB_WindowHandle, const TB_String&, const TB_String&, tb_uint) {
        return static_cast<tb_int>(TB_IDOK);
    });
    g_folder = LV_Fuzz::DataFolder();
    g_libraries = LV_Fuzz::ScratchPath("lib");
    LV_Fuzz::CopySample("hikari", g_libraries + "/hikari");
    LV_Fuzz::CopySample("tones", g_libraries + "/tones");
    g_defaultThumbnail = new TB_MemoryStream(
        TC_VoiceLoader::DefaultThumbnailPng(),
        static_cast<tb_int64>(TC_VoiceLoader::DefaultThumbnailPngSize()), false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = WithLibraries(data, size);
    std::string path = g_folder + "/voice-libs.json";
    LV_Fuzz::WriteFile(path, text.data(), text.size());
    std::string first = LoadAndSave(path);

    rapidjson::Document document;
    document.Parse(first.data(), first.size());
    if (document.HasParseError() || !document.IsObject() || !document.HasMember("libs")) {
        LV_Fuzz::Fail("the index written back does not read as an index");
    }
    // Entries that do not load are dropped and favourites of missing clips forgotten at the
    // first load; after that, every library and favourite must survive a restart.
    LV_Fuzz::WriteFile(path, first.data(), first.size());
    if (LoadAndSave(path) != first) {
        LV_Fuzz::Fail("the index written back loads to a different index");
    }
    // An unreadable index is moved aside; those copies go with each run.
    LV_Fuzz::EmptyFolder(g_folder);
    LV_Fuzz::ForgetErrors();
    return 0;
}
