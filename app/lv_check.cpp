#include "lv_check.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "lv_jsonvisitor.h"
#include "tb_audioplayer.h"
#include "tb_error.h"
#include "tb_filestream.h"
#include "tb_memorystream.h"
#include "tb_messagebox.h"
#include "tc_app_voice_lib.h"
#include "tc_voiceloader.h"

namespace {

using Allocator = rapidjson::Document::AllocatorType;

struct Message {
    std::string title;
    std::string text;
    tb_uint style;
};

const char* kUsage =
    "usage: lumovox-check FOLDER...\n"
    "       lumovox-check --index FILE\n"
    "       lumovox-check --probe-audio [--play] FILE...\n";

TB_Uri AbsoluteUri(const std::string& path) {
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) {
            absolute = std::string(cwd) + "/" + path;
        }
    }
    return TB_Uri(TB_TextFromNative(absolute.c_str(), static_cast<tb_int64>(absolute.size())));
}

// Adds what the tool reports beyond the model: each clip's presence and full path, each
// library's thumbnail size. Counts missing clips.
void AddFindings(TC_VoiceLibrary& library, LV_JsonVisitor& node, int& missing,
                 Allocator& allocator) {
    std::vector<LV_JsonVisitor*> voices = node.Items("Voices");
    for (tb_int i = 0; i < library.Voices.Count() && i < static_cast<tb_int>(voices.size()); ++i) {
        TC_VoiceData* voice = library.Voices[i];
        TB_Uri full;
        voice->GetFullPath(full);
        voices[static_cast<size_t>(i)]->Write("Exists", rapidjson::Value(voice->Exists));
        voices[static_cast<size_t>(i)]->Write("FullPath",
                                              LV_JsonVisitor::ToJson(full.GetUri(), allocator));
        missing += voice->Exists ? 0 : 1;
    }
    rapidjson::Value thumbnail;
    if (library.Thumbnail) {
        thumbnail.SetArray();
        thumbnail.PushBack(library.Thumbnail->Width, allocator)
            .PushBack(library.Thumbnail->Height, allocator);
    }
    node.Write("Thumbnail", std::move(thumbnail));
    std::vector<LV_JsonVisitor*> subs = node.Items("SubLibs");
    for (tb_int i = 0; i < library.SubLibs.Count() && i < static_cast<tb_int>(subs.size()); ++i) {
        AddFindings(*library.SubLibs[i], *subs[static_cast<size_t>(i)], missing, allocator);
    }
}

rapidjson::Value MessagesJson(const std::vector<Message>& messages, Allocator& allocator) {
    rapidjson::Value list(rapidjson::kArrayType);
    for (const Message& message : messages) {
        rapidjson::Value entry(rapidjson::kObjectType);
        entry.AddMember("title", rapidjson::Value(message.title.c_str(), allocator), allocator);
        entry.AddMember("text", rapidjson::Value(message.text.c_str(), allocator), allocator);
        entry.AddMember("style", message.style, allocator);
        list.PushBack(entry, allocator);
    }
    return list;
}

void Print(rapidjson::Document& document, std::FILE* out) {
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    writer.SetIndent(' ', 2);
    document.Accept(writer);
    std::fwrite(buffer.GetString(), 1, buffer.GetSize(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

int CheckLibraries(TC_VoiceLibraryList& list, std::vector<Message>& messages, int status,
                   std::FILE* out) {
    rapidjson::Document document(rapidjson::kObjectType);
    Allocator& allocator = document.GetAllocator();
    rapidjson::Value libraries(rapidjson::kArrayType);
    int missing = 0;
    for (TC_VoiceLibrary* library : list.Libraries()) {
        LV_JsonVisitor node;
        library->Inspect(node);
        AddFindings(*library, node, missing, allocator);
        libraries.PushBack(node.ToValue(allocator), allocator);
    }
    document.AddMember("libraries", libraries, allocator);
    document.AddMember("messages", MessagesJson(messages, allocator), allocator);
    Print(document, out);
    if (status == 0 && (!messages.empty() || missing > 0)) {
        status = 1;
    }
    return status;
}

int CheckFolders(const std::vector<std::string>& folders, std::vector<Message>& messages,
                 TB_Stream* thumbnail, std::FILE* out) {
    TC_VoiceLibraryList list;
    int status = 0;
    for (const std::string& folder : folders) {
        auto* library = new TC_VoiceLibrary();
        library->Type = TC_VoiceLibraryType::Folder;
        library->RootPath = AbsoluteUri(folder);
        if (!TC_VoiceLoader::LoadLibrary(library, true)) {
            std::fprintf(stderr, "lumovox-check: %s is not a folder that can be loaded\n",
                         folder.c_str());
            library->Release();
            status = 2;
            continue;
        }
        if (!list.AddLibrary(library, thumbnail)) {
            library->Release();
        }
    }
    return CheckLibraries(list, messages, status, out);
}

int CheckIndex(const std::string& file, std::vector<Message>& messages, TB_Stream* thumbnail,
               std::FILE* out) {
    TB_Uri uri = AbsoluteUri(file);
    {
        TB_FileStream stream(uri, TB_FileMode::Read);
        rapidjson::Document document;
        if (!stream.ParseJson<rapidjson::kParseIterativeFlag>(document) ||
            document.HasParseError() || !document.IsObject()) {
            std::fprintf(stderr, "lumovox-check: %s is not a readable library index\n",
                         file.c_str());
            TC_VoiceLibraryList empty;
            CheckLibraries(empty, messages, 2, out);
            return 2;
        }
    }
    TC_VoiceLibraryList list;
    list.LoadIndex(uri, thumbnail, false);
    return CheckLibraries(list, messages, 0, out);
}

int ProbeAudio(const std::vector<std::string>& files, bool play, std::vector<Message>& messages,
               std::FILE* out) {
    rapidjson::Document document(rapidjson::kObjectType);
    Allocator& allocator = document.GetAllocator();
    rapidjson::Value probes(rapidjson::kArrayType);
    int status = 0;
    auto* player = new TB_AudioPlayer();
    std::mutex lock;
    std::condition_variable ended;
    bool hasEnded = false;
    player->Ended.Add([&](TB_EventArg&) {
        std::lock_guard<std::mutex> guard(lock);
        hasEnded = true;
        ended.notify_all();
    });
    for (const std::string& file : files) {
        TB_Uri uri = AbsoluteUri(file);
        tb_int result = player->Open(uri.GetPath());
        rapidjson::Value probe(rapidjson::kObjectType);
        probe.AddMember("file", LV_JsonVisitor::ToJson(uri.GetPath(), allocator), allocator);
        probe.AddMember("result", result, allocator);
        probe.AddMember("state", static_cast<int>(player->GetState()), allocator);
        probe.AddMember("duration", player->GetDuration(), allocator);
        if (play) {
            rapidjson::Value endedAfter;
            if (result == 0) {
                {
                    std::lock_guard<std::mutex> guard(lock);
                    hasEnded = false;
                }
                auto start = std::chrono::steady_clock::now();
                player->Play();
                std::unique_lock<std::mutex> wait(lock);
                auto limit = std::chrono::milliseconds(
                    static_cast<long>(player->GetDuration() * 1000) + 10000);
                if (ended.wait_for(wait, limit, [&] { return hasEnded; })) {
                    endedAfter.SetDouble(
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                            .count());
                }
            }
            if (endedAfter.IsNull()) {
                status = 1;
            }
            probe.AddMember("ended", endedAfter, allocator);
        }
        if (result != 0) {
            status = 1;
        }
        player->Close();
        probes.PushBack(probe, allocator);
    }
    player->Release();
    document.AddMember("probes", probes, allocator);
    document.AddMember("messages", MessagesJson(messages, allocator), allocator);
    Print(document, out);
    return status;
}

}  // namespace

int LV_RunCheck(const std::vector<std::string>& arguments, std::FILE* out) {
    std::vector<Message> messages;
    TB_SetMessageBoxHook(
        [&messages](TB_WindowHandle, const TB_String& text, const TB_String& title, tb_uint style) {
            messages.push_back({title.ToStdString(), text.ToStdString(), style});
            return (style & 0x0F) == TB_MB_YESNO ? TB_IDNO : TB_IDOK;
        });
    auto thumbnail = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream(
        TC_VoiceLoader::DefaultThumbnailPng(),
        static_cast<tb_int64>(TC_VoiceLoader::DefaultThumbnailPngSize()), false));
    int status = 2;
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h") {
        std::fputs(kUsage, stderr);
    } else if (arguments[0] == "--index") {
        if (arguments.size() == 2) {
            status = CheckIndex(arguments[1], messages, thumbnail.Get(), out);
        } else {
            std::fputs(kUsage, stderr);
        }
    } else if (arguments[0] == "--probe-audio") {
        std::vector<std::string> files;
        bool play = false;
        for (size_t i = 1; i < arguments.size(); ++i) {
            if (arguments[i] == "--play") {
                play = true;
            } else {
                files.push_back(arguments[i]);
            }
        }
        if (files.empty()) {
            std::fputs(kUsage, stderr);
        } else {
            status = ProbeAudio(files, play, messages, out);
        }
    } else {
        status = CheckFolders(arguments, messages, thumbnail.Get(), out);
    }
    TB_SetMessageBoxHook(nullptr);
    return status;
}
