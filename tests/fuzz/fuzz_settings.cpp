// setting.json, loaded as at start-up and written back as at exit: what was written must
// load again to the very same settings.
#include <rapidjson/document.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "tb_messagebox.h"
#include "tc_settings.h"

namespace {

std::string g_folder;

std::string LoadAndSave(const std::string& path) {
    auto settings = TB_Ref<TC_AppSettings>::Adopt(new TC_AppSettings());
    // The program ends at a type mismatch; here the loader's answer is enough.
    settings->Load(LV_Fuzz::ToUri(path), false);
    return settings->ToJson();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TB_SetMessageBoxHook([](TB_WindowHandle, const TB_String&, const TB_String&, tb_uint) {
        return static_cast<tb_int>(TB_IDOK);
    });
    g_folder = LV_Fuzz::DataFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = g_folder + "/setting.json";
    LV_Fuzz::WriteFile(path, data, size);
    std::string first = LoadAndSave(path);

    rapidjson::Document document;
    document.Parse(first.data(), first.size());
    if (document.HasParseError() || !document.IsObject()) {
        LV_Fuzz::Fail("the settings written back are not a JSON object");
    }
    LV_Fuzz::WriteFile(path, first.data(), first.size());
    if (LoadAndSave(path) != first) {
        LV_Fuzz::Fail("the settings written back load to different settings");
    }
    // An unreadable file is moved aside; those copies go with each run.
    LV_Fuzz::EmptyFolder(g_folder);
    LV_Fuzz::ForgetErrors();
    return 0;
}
