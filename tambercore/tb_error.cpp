#include "tb_error.h"

#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "tb_filestream.h"
#include "tb_framework.h"

namespace {

std::recursive_mutex g_lock;
TB_List<TB_Error*>* g_records = nullptr;
TB_Uri g_logFolder;
std::map<std::pair<tb_int, tb_int>, TB_String>* g_descriptions = nullptr;

constexpr tb_int kKeepAfterTrim = 50;
constexpr tb_int kTrimAt = 101;
constexpr tb_int kLogFilesKept = 50;

void AppendToLog(const TB_Error& record) {
    if (g_logFolder.GetUri().IsEmpty() || g_logFolder.GetPath().IsEmpty() ||
        !g_logFolder.IsDirectory()) {
        return;
    }
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    TB_String name;
    name.Format(u"error_%04d%02d%02d.txt", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    TB_Uri file(g_logFolder);
    file.Normalize();
    file.Append(name);
    TB_FileStream stream(file, TB_FileMode::Append);
    if (!stream.IsOpen()) {
        return;
    }
    TB_String line;
    line.Format(u"%04d/%02d/%02d %02d:%02d:%02d\t%S\t% 4d\t% 6d\t%S\t%S", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                TB_GetVersionText(), record.Level(), record.Code(), record.Message().Chars(),
                record.Source().Chars());
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(line.Length() + 1) * 2);
    for (tb_int i = 0; i <= line.Length(); ++i) {
        tb_char unit = i < line.Length() ? line[i] : u'\n';
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    // One write per line: lines from two processes never interleave inside a line.
    stream.Write(bytes.data(), static_cast<tb_int64>(bytes.size()));
}

}  // namespace

TB_Error::TB_Error(tb_int level, tb_int code, const tb_char* message, const char* file, tb_int line)
    : m_level(level), m_code(code), m_message(message ? message : u"") {
    if (file) {
        m_source.Format(u"%s(%d)", file, line);
    }
}

void TB_Error::Init() {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (!g_records) {
        g_records = new TB_List<TB_Error*>();
    }
}

bool TB_Error::IsInitialized() {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return g_records != nullptr;
}

void TB_Error::Shutdown() {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (g_records) {
        TB_ReleaseAll(*g_records);
        g_records->Release();
        g_records = nullptr;
    }
    delete g_descriptions;
    g_descriptions = nullptr;
    g_logFolder = TB_Uri();
}

TB_Error* TB_Error::Report(tb_int level, tb_int code, const tb_char* message, const char* file,
                           tb_int line) {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto* record = new TB_Error(level, code, message, file, line);
    if (!g_records) {
        TB_DebugPrint(u"TB_Error is not initalized. Please call TB_Error::Init()!");
        return record;
    }
    g_records->Add(record);
    AppendToLog(*record);
    if (g_records->Count() >= kTrimAt) {
        tb_int drop = g_records->Count() - kKeepAfterTrim;
        for (tb_int i = 0; i < drop; ++i) {
            (*g_records)[i]->Release();
        }
        // Shift the survivors down in one move rather than one removal at a time.
        TB_List<TB_Error*> kept;
        for (tb_int i = drop; i < g_records->Count(); ++i) {
            kept.Add((*g_records)[i]);
        }
        g_records->Clear();
        for (TB_Error* survivor : kept) {
            g_records->Add(survivor);
        }
    }
    return record;
}

TB_Error* TB_Error::ReportFailedCheck(const char* file, tb_int line) {
    return Report(1, 3, u"", file, line);
}

void TB_Error::RegisterDescription(tb_int level, tb_int code, const TB_String& description) {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (!g_descriptions) {
        g_descriptions = new std::map<std::pair<tb_int, tb_int>, TB_String>();
    }
    g_descriptions->insert_or_assign({level, code}, description);
}

const TB_String* TB_Error::FindDescription(tb_int level, tb_int code) {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (g_descriptions) {
        auto found = g_descriptions->find({level, code});
        if (found != g_descriptions->end()) {
            return &found->second;
        }
    }
    TB_String pair;
    pair.Format(u"%d-%d", level, code);
    Report(1, 1001, pair.Chars(), TB_SOURCE_NAME, __LINE__);
    return nullptr;
}

void TB_Error::SetLogFolder(const TB_Uri& folder) {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    g_logFolder.Assign(folder);
}

TB_Uri TB_Error::GetLogFolder() {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return g_logFolder;
}

void TB_Error::PruneLogFiles() {
    TB_Uri folder = GetLogFolder();
    if (folder.GetPath().IsEmpty()) {
        return;
    }
    TB_List<TB_Uri*> files;
    folder.ListFiles(files, true);
    std::vector<TB_Uri*> sorted(files.begin(), files.end());
    std::sort(sorted.begin(), sorted.end(), [](const TB_Uri* a, const TB_Uri* b) {
        return a->GetUri().View() > b->GetUri().View();
    });
    for (size_t i = kLogFilesKept; i < sorted.size(); ++i) {
        if (!sorted[i]->GetUri().IsEmpty() && !sorted[i]->GetPath().IsEmpty()) {
            unlink(sorted[i]->GetPath().ToStdString().c_str());
        }
    }
    TB_ReleaseAll(files);
}

tb_int TB_Error::RecordCount() {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return g_records ? g_records->Count() : 0;
}

TB_Error* TB_Error::CopyRecord(tb_int index) {
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    if (!g_records || index < 0 || index >= g_records->Count()) {
        return nullptr;
    }
    TB_Error* record = (*g_records)[index];
    record->AddRef();
    return record;
}

void TB_DebugPrint(const tb_char* format, ...) {
    va_list args;
    va_start(args, format);
    TB_String text;
    text.FormatV(format, args);
    va_end(args);
    std::string utf8 = text.ToStdString();
    utf8.push_back('\n');
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}
