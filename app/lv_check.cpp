#include "lv_check.h"

#include <rapidjson/document.h>
#include <rapidjson/filewritestream.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
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

// The document goes out as it is written: a library of 100,000 clips never stands in
// memory as JSON.
class Output {
public:
    explicit Output(std::FILE* out)
        : m_file(out), m_stream(out, m_buffer, sizeof m_buffer), m_writer(m_stream) {
        m_writer.SetIndent(' ', 2);
    }
    LV_JsonWriter& Writer() { return m_writer; }
    void Finish() {
        m_stream.Flush();
        std::fputc('\n', m_file);
        std::fflush(m_file);
    }

private:
    std::FILE* m_file;
    char m_buffer[64 * 1024];
    rapidjson::FileWriteStream m_stream;
    LV_JsonWriter m_writer;
};

void WriteMessages(LV_JsonWriter& writer, const std::vector<Message>& messages) {
    writer.Key("messages");
    writer.StartArray();
    for (const Message& message : messages) {
        writer.StartObject();
        writer.Key("title");
        writer.String(message.title.c_str());
        writer.Key("text");
        writer.String(message.text.c_str());
        writer.Key("style");
        writer.Uint(message.style);
        writer.EndObject();
    }
    writer.EndArray();
}

// Adds what the tool reports beyond the model, as each item of the model is closed: a
// clip's presence and full path, a library's thumbnail size. Counts missing clips and
// libraries.
class Findings {
public:
    explicit Findings(TC_VoiceLibraryList& list) : m_list(list) {}

    void operator()(LV_JsonVisitor& item, const std::vector<LV_JsonVisitor::Place>& places) {
        static const TB_String kExists(u"Exists");
        static const TB_String kFullPath(u"FullPath");
        static const TB_String kThumbnail(u"Thumbnail");
        TC_VoiceLibrary* library = nullptr;
        TC_VoiceData* voice = nullptr;
        for (const LV_JsonVisitor::Place& place : places) {
            if (place.List == "libraries" && place.Index < m_list.Libraries().Count()) {
                library = m_list.Libraries()[place.Index];
            } else if (place.List == "SubLibs" && library &&
                       place.Index < library->SubLibs.Count()) {
                library = library->SubLibs[place.Index];
            } else if (place.List == "Voices" && library && place.Index < library->Voices.Count()) {
                voice = library->Voices[place.Index];
            } else {
                return;  // categories get nothing
            }
        }
        if (voice) {
            item.WriteBool(kExists, voice->Exists);
            std::u16string_view full = m_paths.UriText(*voice);
            item.WriteString(kFullPath, TB_String(full.data(), static_cast<tb_int>(full.size())));
            m_missing += voice->Exists ? 0 : 1;
            return;
        }
        // A library whose folder is missing is a finding like a missing clip.
        m_missing += library && !library->Available ? 1 : 0;
        if (library && library->Thumbnail) {
            item.WriteInt2(kThumbnail, library->Thumbnail->Width, library->Thumbnail->Height);
        } else if (library) {
            item.WriteNull(kThumbnail);
        }
    }

    int Missing() const { return m_missing; }

private:
    TC_VoiceLibraryList& m_list;
    TC_VoicePathBuilder m_paths;
    int m_missing = 0;
};

int CheckLibraries(TC_VoiceLibraryList& list, std::vector<Message>& messages, int status,
                   std::FILE* out) {
    auto output = std::make_unique<Output>(out);
    LV_JsonWriter& writer = output->Writer();
    writer.StartObject();
    writer.Key("libraries");
    Findings findings(list);
    {
        LV_JsonVisitor libraries(writer, "libraries", std::ref(findings));
        for (TC_VoiceLibrary* library : list.Libraries()) {
            library->Inspect(libraries.AddItem());
        }
        libraries.Close();
    }
    WriteMessages(writer, messages);
    writer.EndObject();
    output->Finish();
    if (status == 0 && (!messages.empty() || findings.Missing() > 0)) {
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
    auto output = std::make_unique<Output>(out);
    LV_JsonWriter& writer = output->Writer();
    writer.StartObject();
    writer.Key("probes");
    writer.StartArray();
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
        writer.StartObject();
        writer.Key("file");
        LV_JsonVisitor::WriteText(writer, uri.GetPath());
        writer.Key("result");
        writer.Int(result);
        writer.Key("state");
        writer.Int(static_cast<int>(player->GetState()));
        writer.Key("duration");
        writer.Double(player->GetDuration());
        if (play) {
            bool hasTime = false;
            double endedAfter = 0;
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
                    hasTime = true;
                    endedAfter =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                            .count();
                }
            }
            if (!hasTime) {
                status = 1;
            }
            writer.Key("ended");
            if (hasTime) {
                writer.Double(endedAfter);
            } else {
                writer.Null();
            }
        }
        writer.EndObject();
        if (result != 0) {
            status = 1;
        }
        player->Close();
    }
    player->Release();
    writer.EndArray();
    WriteMessages(writer, messages);
    writer.EndObject();
    output->Finish();
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
