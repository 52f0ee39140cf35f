#include "tc_voiceloader.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "tb_bitmaploader.h"
#include "tb_filestream.h"
#include "tb_nativebitmap.h"
#include "tb_streamreader.h"
#include "tc_messagebox.h"

extern const unsigned char lumovox_default_thumbnail[];
extern const unsigned long lumovox_default_thumbnail_size;

namespace TC_VoiceLoader {

namespace {

constexpr const tb_char* kUncategorized = u"未分類";

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
    while (reader.HasMore()) {
        TB_Ref<TB_String> line = TB_Ref<TB_String>::Adopt(reader.ReadLine());
        if (line->IsEmpty()) {
            continue;
        }
        std::vector<TB_String> fields = SplitFields(*line, u'\t');
        if (fields.size() < 2) {
            continue;
        }
        std::u16string key(fields[0].View());
        for (tb_char& c : key) {
            if (c >= u'A' && c <= u'Z') {
                c = static_cast<tb_char>(c - u'A' + u'a');
            }
        }
        if (key == u"name") {
            library->CharName = fields[1];
        }
    }
}

bool LoadFolderLibrary(TC_VoiceLibrary* library) {
    // A root written with a trailing slash or dot segments is the same library as without.
    if (!library->RootPath.IsNormalized()) {
        library->RootPath.Normalize();
    }
    TB_String rootName;
    library->RootPath.GetFileName(rootName);
    library->Name = TB_DisplayText(rootName);
    TB_List<TB_Uri*> files;
    library->RootPath.ListFiles(files, false);
    SortByName(files);
    bool tableFound = false;
    for (TB_Uri* file : files) {
        if (file->GetExtension().Equals(u"csv")) {
            LoadCsvLibrary(library, *file);
            tableFound = true;
            break;
        }
    }
    ReadCharacterIni(library);
    if (!tableFound) {
        TC_VoiceCategory* uncategorized = AddCategory(library, TB_String(kUncategorized));
        for (TB_Uri* file : files) {
            AddFile(library, uncategorized, *file);
        }
        TB_List<TB_Uri*> folders;
        library->RootPath.ListDirectories(folders);
        SortByName(folders);
        for (TB_Uri* folder : folders) {
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
    TB_ReleaseAll(files);
    UpdateExists(library);
    return true;
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

// Answers "is this an existing file that is not a folder" for many clips at once: each
// folder is read once, and only names the listing cannot settle (links, unknown kinds) are
// asked with stat. A table of 100,000 clips then costs a few folder reads, not 100,000
// path lookups.
class ExistsCache {
public:
    bool IsFile(const std::string& path) {
        size_t slash = path.rfind('/');
        if (slash == std::string::npos) {
            return Stat(path);
        }
        std::string folder = slash == 0 ? "/" : path.substr(0, slash);
        auto found = m_folders.find(folder);
        if (found == m_folders.end()) {
            found = m_folders.emplace(folder, Read(folder)).first;
        }
        const Folder& entries = found->second;
        if (!entries.readable) {
            return Stat(path);
        }
        std::string name = path.substr(slash + 1);
        if (entries.files.count(name)) {
            return true;
        }
        return entries.unsure.count(name) ? Stat(path) : false;
    }

private:
    struct Folder {
        bool readable = false;
        std::unordered_set<std::string> files;
        std::unordered_set<std::string> unsure;
    };

    static bool Stat(const std::string& path) {
        struct stat info;
        return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
    }

    static Folder Read(const std::string& folder) {
        Folder result;
        DIR* dir = opendir(folder.c_str());
        if (!dir) {
            return result;
        }
        result.readable = true;
        while (dirent* entry = readdir(dir)) {
            if (entry->d_type == DT_REG) {
                result.files.insert(entry->d_name);
            } else if (entry->d_type != DT_DIR) {
                result.unsure.insert(entry->d_name);
            }
        }
        closedir(dir);
        return result;
    }

    std::unordered_map<std::string, Folder> m_folders;
};

void UpdateExistsWith(TC_VoiceLibrary* library, ExistsCache& cache) {
    for (TC_VoiceData* voice : library->Voices) {
        TB_Uri path;
        voice->GetFullPath(path);
        voice->Exists = !path.GetPath().IsEmpty() && cache.IsFile(path.GetPath().ToStdString());
    }
    for (TC_VoiceLibrary* sub : library->SubLibs) {
        UpdateExistsWith(sub, cache);
    }
}

}  // namespace

std::vector<TB_String> SplitFields(const TB_String& line, tb_char separator) {
    std::vector<TB_String> fields;
    std::u16string_view text = line.View();
    std::u16string field;
    size_t i = 0;
    while (i < text.size()) {
        field.clear();
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
                        field.push_back(text[i + 1] == u'n' ? u'\n' : u'\\');
                        i += 2;
                    } else {
                        field.push_back(text[i++]);
                    }
                }
                ++i;  // the closing quote, or past the end of an unterminated one
                continue;
            }
            field.push_back(c);
            ++i;
        }
        fields.emplace_back(field.c_str(), static_cast<tb_int>(field.size()));
    }
    return fields;
}

bool LoadCsvLibrary(TC_VoiceLibrary* library, const TB_Uri& table, TB_Widget* owner) {
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
    tb_int lineNumber = 0;
    while (reader.HasMore()) {
        TB_Ref<TB_String> line = TB_Ref<TB_String>::Adopt(reader.ReadLine());
        ++lineNumber;
        if (line->IsEmpty()) {
            continue;
        }
        std::vector<TB_String> fields = SplitFields(*line, u',');
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
        voice->RelFilePath = fields[0];
        voice->Display = fields[1];
        voice->Surface = fields[2];
        voice->Yomi = fields[3];
        TC_VoiceCategory* category = library->FindCategory(fields[4]);
        if (!category) {
            category = AddCategory(library, fields[4]);
        }
        voice->AddCategory(category);
        library->Voices.Add(voice);
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
        library->SetThumbnail(library->SubLibs[library->SubLibs.Count() - 1]->Thumbnail);
    }
    if (!library->Thumbnail && defaultImage) {
        defaultImage->Seek(0, TB_SeekOrigin::Begin);
        DecodeInto(library, defaultImage);
    }
}

const unsigned char* DefaultThumbnailPng() {
    return lumovox_default_thumbnail;
}

unsigned long DefaultThumbnailPngSize() {
    return lumovox_default_thumbnail_size;
}

}  // namespace TC_VoiceLoader
