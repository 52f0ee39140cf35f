#include "tc_voiceloader.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "tb_bitmaploader.h"
#include "tb_filestream.h"
#include "tb_folderreader.h"
#include "tb_nativebitmap.h"
#include "tb_streamreader.h"
#include "tc_messagebox.h"

extern const unsigned char lumovox_default_thumbnail[];
extern const unsigned long lumovox_default_thumbnail_size;

namespace TC_VoiceLoader {

namespace {

// The counter of the thread that reads, if it keeps one.
thread_local std::atomic<tb_int>* t_progress = nullptr;

void Counted() {
    if (t_progress) {
        t_progress->fetch_add(1, std::memory_order_relaxed);
    }
}

thread_local const std::atomic<bool>* t_cancel = nullptr;

bool Cancelled() {
    return t_cancel && t_cancel->load(std::memory_order_relaxed);
}

constexpr const tb_char* kUncategorized = u"未分類";
constexpr size_t kMaxTableLine = 1 << 20;

// Files and folders in name order: the listing order of the file system is arbitrary on
// Linux, and the first table found must be the same one every time.
void SortByName(TB_List<TB_Uri*>& list) {
    std::sort(list.begin(), list.end(), [](const TB_Uri* a, const TB_Uri* b) {
        return a->GetUri().View() < b->GetUri().View();
    });
}

// The text after the last dot of the name, exactly as written (upper case is not accepted).
bool HasAudioExtension(const TB_Uri& file) {
    std::u16string_view uri = file.GetUri().View();
    size_t dot = uri.rfind(u'.');
    if (dot == std::u16string_view::npos) {
        return false;
    }
    std::u16string_view extension = uri.substr(dot + 1);
    return extension == u"wav" || extension == u"mp3" || extension == u"m4a";
}

void AddFile(TC_VoiceLibrary* library, TC_VoiceCategory* category, const TB_Uri& file) {
    if (!HasAudioExtension(file)) {
        return;
    }
    auto* voice = new TC_VoiceData(library);
    TB_String name;
    file.GetFileNameWithoutExtension(name);
    voice->Surface = TB_DisplayText(name);
    voice->Display = voice->Surface;
    file.MakeRelative(library->RootPath, voice->RelFilePath);
    voice->AddCategory(category);
    library->Voices.Add(voice);
    Counted();
}

TC_VoiceCategory* AddCategory(TC_VoiceLibrary* library, const TB_String& name) {
    auto* category = new TC_VoiceCategory(name);
    library->Categories.Add(category);
    return category;
}

void ReadCharacterIni(TC_VoiceLibrary* library) {
    TB_Uri ini(library->RootPath);
    ini.Append(TB_String(u"character.ini"));
    if (!ini.IsFile()) {
        return;
    }
    auto* stream = new TB_FileStream(ini, TB_FileMode::Read);
    TB_StreamReader reader(stream, TB_TextEncoding::Utf8);
    stream->Release();
    // Only a key and its value are read from a line, and no line costs more than a table's.
    reader.SetMaxLineLength(kMaxTableLine);
    std::u16string line;
    std::vector<std::u16string_view> fields;
    std::u16string scratch;
    while (reader.HasMore()) {
        reader.ReadLine(line);
        if (line.empty() || reader.LastLineCut()) {
            continue;
        }
        SplitFields(line, u'\t', fields, scratch, 2);
        if (fields.size() < 2) {
            continue;
        }
        std::u16string key(fields[0]);
        for (tb_char& c : key) {
            if (c >= u'A' && c <= u'Z') {
                c = static_cast<tb_char>(c - u'A' + u'a');
            }
        }
        if (key == u"name") {
            library->CharName = TB_String(fields[1].data(), static_cast<tb_int>(fields[1].size()));
        }
    }
}

bool DecodeInto(TC_VoiceLibrary* library, TB_Stream* stream) {
    auto bitmap = TB_Ref<TB_Bitmap32>::Adopt(new TB_NativeBitmap());
    TB_BitmapLoaderPng loader;
    if (loader.Load(stream, bitmap.Get()) != 0) {
        return false;
    }
    library->SetThumbnail(bitmap.Get());
    return true;
}

void DecodeFile(TC_VoiceLibrary* library, const TB_Uri& file) {
    auto stream = TB_Ref<TB_FileStream>::Adopt(new TB_FileStream(file, TB_FileMode::Read));
    if (stream->IsOpen()) {
        DecodeInto(library, stream.Get());
    }
}

struct StringHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// The names of a folder's files: all in one block, found through an open-addressing table
// of their hashes. A folder of a million files costs a few allocations, not a million.
class NameTable {
public:
    void Add(std::string_view name) {
        m_entries.push_back({StringHash()(name), m_names.size(), name.size()});
        m_names.append(name);
    }

    // Builds the table; call once after the last Add.
    void Finish() {
        size_t size = 16;
        while (size < m_entries.size() * 2) {
            size *= 2;
        }
        m_slots.assign(size, 0);
        for (size_t i = 0; i < m_entries.size(); ++i) {
            size_t slot = m_entries[i].hash & (size - 1);
            while (m_slots[slot] != 0) {
                slot = (slot + 1) & (size - 1);
            }
            m_slots[slot] = static_cast<uint32_t>(i + 1);
        }
    }

    bool Contains(std::string_view name) const {
        size_t hash = StringHash()(name);
        size_t mask = m_slots.size() - 1;
        for (size_t slot = hash & mask; m_slots[slot] != 0; slot = (slot + 1) & mask) {
            const Entry& entry = m_entries[m_slots[slot] - 1];
            if (entry.hash == hash && entry.length == name.size() &&
                std::string_view(m_names).substr(entry.offset, entry.length) == name) {
                return true;
            }
        }
        return false;
    }

    template <class F>
    void ForEach(F&& visit) const {
        for (const Entry& entry : m_entries) {
            visit(std::string_view(m_names).substr(entry.offset, entry.length));
        }
    }

private:
    struct Entry {
        size_t hash;
        size_t offset;
        size_t length;
    };
    std::string m_names;
    std::vector<Entry> m_entries;
    std::vector<uint32_t> m_slots;  // entry index + 1; 0 is a free slot
};

// Answers "is this an existing regular file" for many clips at once: each
// folder is read once, and only names whose kind the listing cannot tell (links, unknown
// kinds) are asked with stat. A table of 100,000 clips then costs a few folder reads, not
// 100,000 path lookups.
class ExistsCache {
public:
    // Takes over the files of a folder that was just read, so it is not read again.
    void AddFolder(const std::string& folder, NameTable&& files) {
        m_last = nullptr;
        Folder& added = m_folders[folder];
        added.readable = true;
        added.files = std::move(files);
    }

    bool IsFile(std::string_view path) {
        size_t slash = path.rfind('/');
        if (slash == std::string_view::npos) {
            return Stat(path);
        }
        const Folder& entries = Find(slash == 0 ? std::string_view("/") : path.substr(0, slash));
        if (!entries.readable) {
            return Stat(path);
        }
        return entries.files.Contains(path.substr(slash + 1));
    }

private:
    struct Folder {
        bool readable = false;
        NameTable files;
    };

    static bool Stat(std::string_view path) {
        struct stat info;
        return stat(std::string(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
    }

    // Clips of one folder mostly follow each other: the last folder is kept at hand.
    const Folder& Find(std::string_view name) {
        if (m_last && name == m_lastName) {
            return *m_last;
        }
        auto found = m_folders.find(name);
        if (found == m_folders.end()) {
            found = m_folders.emplace(std::string(name), Folder()).first;
            Folder& folder = found->second;
            TB_FolderReader reader(found->first);
            std::string_view entry;
            TB_FolderEntry::Kind kind;
            while (reader.Next(entry, kind)) {
                if (kind == TB_FolderEntry::File) {
                    folder.files.Add(entry);
                }
            }
            folder.readable = reader.IsOpen();
            folder.files.Finish();
        }
        m_last = &found->second;
        m_lastName = found->first;
        return *m_last;
    }

    std::unordered_map<std::string, Folder, StringHash, std::equal_to<>> m_folders;
    const Folder* m_last = nullptr;
    std::string m_lastName;
};

void UpdateExistsWith(TC_VoiceLibrary* library, ExistsCache& cache) {
    TC_VoicePathBuilder paths;
    for (TC_VoiceData* voice : library->Voices) {
        if (Cancelled()) {
            return;
        }
        const std::string& path = paths.NativePath(*voice);
        voice->Exists = !path.empty() && cache.IsFile(path);
    }
    for (TC_VoiceLibrary* sub : library->SubLibs) {
        UpdateExistsWith(sub, cache);
    }
}

// A field as a string; like every string it ends at a NUL unit.
TB_String Text(std::u16string_view field) {
    return TB_String(field.data(), static_cast<tb_int>(field.size()));
}

// TC_VoiceLibrary::FindCategory for a field that is not a string yet.
TC_VoiceCategory* FindCategory(TC_VoiceLibrary* library, std::u16string_view name) {
    for (TC_VoiceCategory* category : library->Categories) {
        if (category->Name.View() == name) {
            return category;
        }
    }
    return nullptr;
}

// The table's clips without their exists flags (LoadCsvLibrary and a folder's table set
// them once the whole library is read). A line with fewer than five fields shows a message
// owned by owner and ends the reading.
bool ReadCsvTable(TC_VoiceLibrary* library, const TB_Uri& table, TB_Widget* owner) {
    library->InfoFilePath = table;
    table.GetParent(library->RootPath);
    TB_String tableName;
    table.GetFileNameWithoutExtension(tableName);
    library->Name = TB_DisplayText(tableName);
    auto* stream = new TB_FileStream(table, TB_FileMode::Read);
    if (!stream->IsOpen()) {
        stream->Release();
        return false;
    }
    TB_StreamReader reader(stream, TB_TextEncoding::Utf8);
    stream->Release();
    // A row costs at most this much: a hostile table of one endless line cannot exhaust the
    // memory (only five fields are ever read from a row).
    reader.SetMaxLineLength(kMaxTableLine);
    tb_int lineNumber = 0;
    std::u16string line;
    std::vector<std::u16string_view> fields;
    std::u16string scratch;
    TC_VoiceCategory* category = nullptr;
    while (reader.HasMore()) {
        reader.ReadLine(line);
        ++lineNumber;
        if (line.empty()) {
            continue;
        }
        if (reader.LastLineCut()) {
            TB_String text;
            text.Format(
                u"音声ライブラリ設定用CSVファイルの読み込みに失敗しました。\r\n"
                u"1行が長すぎます（%d文字まで）。\r\n"
                u"エラー行: %d行目",
                static_cast<tb_int>(kMaxTableLine), lineNumber);
            TC_ShowMessage(owner, text, library->Name, TB_MB_OK | TB_MB_ICONERROR);
            break;
        }
        SplitFields(line, u',', fields, scratch, 5);
        if (fields.size() < 5) {
            TB_String text;
            text.Format(
                u"音声ライブラリ設定用CSVファイルの読み込みに失敗しました。\r\n"
                u"\"ファイル名, 表示, セリフ, 読み, カテゴリ\" の5列を設定してください。\r\n"
                u"エラー行: %d行目",
                lineNumber);
            TC_ShowMessage(owner, text, library->Name, TB_MB_OK | TB_MB_ICONERROR);
            break;
        }
        auto* voice = new TC_VoiceData(library);
        voice->RelFilePath = Text(fields[0]);
        voice->Display = Text(fields[1]);
        voice->Surface = Text(fields[2]);
        voice->Yomi = Text(fields[3]);
        // Lines of one category mostly follow each other; the search finds the first of
        // equal names either way. (A line holds no NUL unit, so a field is its string.)
        if (!category || category->Name.View() != fields[4]) {
            category = FindCategory(library, fields[4]);
            if (!category) {
                category = AddCategory(library, Text(fields[4]));
            }
        }
        voice->AddCategory(category);
        library->Voices.Add(voice);
        Counted();
        if (Cancelled()) {
            break;
        }
    }
    return true;
}

// The entry is a table: its name ends in ".csv", the extension compared as GetExtension
// gives it (A-Z lowered).
bool IsTableName(std::string_view name) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.size() - dot != 4) {
        return false;
    }
    return (name[dot + 1] | 0x20) == 'c' && (name[dot + 2] | 0x20) == 's' &&
           (name[dot + 3] | 0x20) == 'v';
}

TB_String NameText(std::string_view name) {
    return TB_TextFromNative(name.data(), static_cast<tb_int64>(name.size()));
}

// A library's root, read once: to find the table, to list the files when there is none,
// and to tell which clips in it exist. A root of a million clips is kept as one block of
// names rather than an entry each.
struct RootListing {
    explicit RootListing(const std::string& native) {
        if (native.empty()) {
            return;
        }
        TB_FolderReader reader(native);
        std::string_view name;
        TB_FolderEntry::Kind kind;
        while (reader.Next(name, kind)) {
            if (kind == TB_FolderEntry::Directory) {
                folders.emplace_back(name);
                continue;
            }
            if (kind == TB_FolderEntry::File) {
                files.Add(name);
                if (IsTableName(name)) {
                    tables.emplace_back(name);
                }
            } else {
                // Listed as a file, but there is none to read: a broken link, a pipe, a device.
                missing.emplace_back(name);
            }
        }
        files.Finish();
        readable = reader.IsOpen();
    }

    // The first table in name order, or null.
    const std::string* FirstTable() const {
        const std::string* first = nullptr;
        TB_String firstName;
        for (const std::string& table : tables) {
            TB_String name = NameText(table);
            if (!first || name.View() < firstName.View()) {
                first = &table;
                firstName = name;
            }
        }
        return first;
    }

    bool readable = false;
    NameTable files;
    std::vector<std::string> missing;
    std::vector<std::string> folders;
    std::vector<std::string> tables;
};

TB_Uri* EntryUri(const TB_Uri& root, std::string_view name) {
    auto* uri = new TB_Uri(root);
    uri->Append(NameText(name));
    return uri;
}

bool LoadFolderLibrary(TC_VoiceLibrary* library) {
    // A root written with a trailing slash or dot segments is the same library as without.
    if (!library->RootPath.IsNormalized()) {
        library->RootPath.Normalize();
    }
    TB_String rootName;
    library->RootPath.GetFileName(rootName);
    library->Name = TB_DisplayText(rootName);
    std::string rootNative = library->RootPath.GetPath().ToStdString();
    RootListing root(rootNative);
    const std::string* table = root.FirstTable();
    if (table) {
        auto tableUri = TB_Ref<TB_Uri>::Adopt(EntryUri(library->RootPath, *table));
        ReadCsvTable(library, *tableUri, nullptr);
    }
    ReadCharacterIni(library);
    if (!table) {
        TC_VoiceCategory* uncategorized = AddCategory(library, TB_String(kUncategorized));
        TB_List<TB_Uri*> files;
        root.files.ForEach(
            [&](std::string_view name) { files.Add(EntryUri(library->RootPath, name)); });
        for (const std::string& name : root.missing) {
            files.Add(EntryUri(library->RootPath, name));
        }
        SortByName(files);
        for (TB_Uri* file : files) {
            AddFile(library, uncategorized, *file);
        }
        TB_ReleaseAll(files);
        TB_List<TB_Uri*> folders;
        for (const std::string& name : root.folders) {
            folders.Add(EntryUri(library->RootPath, name));
        }
        SortByName(folders);
        for (TB_Uri* folder : folders) {
            if (Cancelled()) {
                break;
            }
            TB_String name;
            folder->GetFileName(name);
            TC_VoiceCategory* category = AddCategory(library, TB_DisplayText(name));
            TB_List<TB_Uri*> inside;
            folder->ListFiles(inside, false);
            SortByName(inside);
            for (TB_Uri* file : inside) {
                AddFile(library, category, *file);
            }
            TB_ReleaseAll(inside);
        }
        TB_ReleaseAll(folders);
    }
    ExistsCache cache;
    if (root.readable) {
        cache.AddFolder(rootNative, std::move(root.files));
    }
    UpdateExistsWith(library, cache);
    return true;
}

}  // namespace

std::vector<TB_String> SplitFields(const TB_String& line, tb_char separator) {
    std::vector<std::u16string_view> views;
    std::u16string scratch;
    SplitFields(line.View(), separator, views, scratch);
    std::vector<TB_String> fields;
    fields.reserve(views.size());
    for (std::u16string_view view : views) {
        fields.emplace_back(view.data(), static_cast<tb_int>(view.size()));
    }
    return fields;
}

void SplitFields(std::u16string_view text, tb_char separator,
                 std::vector<std::u16string_view>& fields, std::u16string& scratch,
                 size_t maxFields) {
    fields.clear();
    scratch.clear();
    // What quotes leave of a field is never longer than the field: views into scratch stay
    // valid because it never has to grow.
    scratch.reserve(text.size());
    size_t i = 0;
    while (i < text.size() && fields.size() < maxFields) {
        size_t start = i;
        while (i < text.size() && text[i] != separator && text[i] != u'"') {
            ++i;
        }
        if (i == text.size() || text[i] == separator) {  // a plain field is a piece of the line
            fields.push_back(text.substr(start, i - start));
            i += i < text.size() ? 1 : 0;
            continue;
        }
        size_t from = scratch.size();
        scratch.append(text.substr(start, i - start));
        while (i < text.size()) {
            tb_char c = text[i];
            if (c == separator) {
                ++i;
                break;
            }
            if (c == u'"') {
                ++i;
                while (i < text.size() && text[i] != u'"') {
                    if (text[i] == u'\\' && i + 1 < text.size() &&
                        (text[i + 1] == u'\\' || text[i + 1] == u'n')) {
                        scratch.push_back(text[i + 1] == u'n' ? u'\n' : u'\\');
                        i += 2;
                    } else {
                        scratch.push_back(text[i++]);
                    }
                }
                ++i;  // the closing quote, or past the end of an unterminated one
                continue;
            }
            scratch.push_back(c);
            ++i;
        }
        fields.push_back(std::u16string_view(scratch).substr(from));
    }
}

bool LoadCsvLibrary(TC_VoiceLibrary* library, const TB_Uri& table, TB_Widget* owner) {
    if (!ReadCsvTable(library, table, owner)) {
        return false;
    }
    UpdateExists(library);
    return true;
}

bool LoadLibrary(TC_VoiceLibrary* library, bool checkRoot) {
    if (!library) {
        return false;
    }
    if (library->Type == TC_VoiceLibraryType::Folder && checkRoot &&
        !library->RootPath.IsDirectory()) {
        return false;
    }
    library->ClearContents();
    switch (library->Type) {
        case TC_VoiceLibraryType::Csv:
            return LoadCsvLibrary(library, library->InfoFilePath);
        case TC_VoiceLibraryType::Group:
            for (TC_VoiceLibrary* sub : library->SubLibs) {
                LoadLibrary(sub, false);
            }
            return true;
        case TC_VoiceLibraryType::Folder:
            return LoadFolderLibrary(library);
        default:
            return false;
    }
}

void UpdateExists(TC_VoiceLibrary* library) {
    ExistsCache cache;
    UpdateExistsWith(library, cache);
}

void LoadThumbnail(TC_VoiceLibrary* library, TB_Stream* defaultImage) {
    for (TC_VoiceLibrary* sub : library->SubLibs) {
        LoadThumbnail(sub, defaultImage);
    }
    library->SetThumbnail(nullptr);
    library->ThumbnailIsBuiltIn = false;
    if (library->Type == TC_VoiceLibraryType::Folder) {
        TB_Uri file(library->RootPath);
        file.Append(TB_String(u"thumbnail.png"));
        if (file.IsFile()) {
            DecodeFile(library, file);
            return;
        }
    } else if (library->Type == TC_VoiceLibraryType::Csv) {
        TB_String base;
        library->InfoFilePath.GetFileNameWithoutExtension(base);
        TB_String name;
        name.Format(u"%T.png", &base);
        TB_Uri file(library->RootPath);
        file.Append(name);
        if (file.IsFile()) {
            DecodeFile(library, file);
            return;
        }
    } else if (library->Type == TC_VoiceLibraryType::Group && library->SubLibs.Count() > 0) {
        TC_VoiceLibrary* last = library->SubLibs[library->SubLibs.Count() - 1];
        library->SetThumbnail(last->Thumbnail);
        library->ThumbnailIsBuiltIn = last->ThumbnailIsBuiltIn;
    }
    if (!library->Thumbnail && defaultImage) {
        defaultImage->Seek(0, TB_SeekOrigin::Begin);
        library->ThumbnailIsBuiltIn = DecodeInto(library, defaultImage);
    }
}

const unsigned char* DefaultThumbnailPng() {
    return lumovox_default_thumbnail;
}

unsigned long DefaultThumbnailPngSize() {
    return lumovox_default_thumbnail_size;
}

std::vector<std::string> SourcesOf(TC_VoiceLibrary* library) {
    std::vector<std::string> out;
    if (library->Type == TC_VoiceLibraryType::Group || library->RootPath.GetUri().IsEmpty()) {
        return out;
    }
    std::unordered_set<std::string> seen;
    auto add = [&](std::string path) {
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        if (!path.empty() && seen.insert(path).second) {
            out.push_back(std::move(path));
        }
    };
    auto native = [](const TB_Uri& uri) {
        return std::string(TB_StringUTF8(uri.GetPath()).Chars());
    };
    add(native(library->RootPath));
    if (!library->InfoFilePath.GetUri().IsEmpty()) {
        add(native(library->InfoFilePath));
    }
    // The folders of a folder library are categories even while they hold no clip.
    if (library->Type == TC_VoiceLibraryType::Folder) {
        for (TC_VoiceCategory* category : library->Categories) {
            TB_Uri folder(library->RootPath);
            folder.Append(category->Name);
            if (folder.IsDirectory()) {
                add(native(folder));
            }
        }
    }
    TC_VoicePathBuilder paths;
    std::string last;
    for (TC_VoiceData* voice : library->Voices) {
        const std::string& file = paths.NativePath(*voice);
        size_t slash = file.rfind('/');
        if (slash != std::string::npos && slash > 0 &&
            (last.size() != slash || file.compare(0, slash, last) != 0)) {
            last = file.substr(0, slash);
            add(last);
        }
    }
    return out;
}

void SetProgressCounter(std::atomic<tb_int>* counter) {
    t_progress = counter;
}

void SetCancelFlag(const std::atomic<bool>* flag) {
    t_cancel = flag;
}

}  // namespace TC_VoiceLoader
