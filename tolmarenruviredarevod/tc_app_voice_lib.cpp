#include "tc_app_voice_lib.h"

#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tb_error.h"
#include "tb_filestream.h"
#include "tc_json.h"
#include "tc_jsonpath.h"
#include "tc_libraryloader.h"
#include "tc_messagebox.h"
#include "tc_voiceloader.h"

namespace {

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::u16string_view text) const {
        return std::hash<std::u16string_view>{}(text);
    }
};

void FlattenInto(TB_List<TC_VoiceLibrary*>& libraries, TB_List<TC_VoiceLibrary*>& out,
                 tb_int depth) {
    for (TC_VoiceLibrary* library : libraries) {
        library->Depth = depth;
        out.Add(library);
        FlattenInto(library->SubLibs, out, depth + 1);
    }
}

void VoicesOf(TC_VoiceLibrary* library, TB_List<TC_VoiceData*>& out) {
    for (TC_VoiceData* voice : library->Voices) {
        out.Add(voice);
    }
    for (TC_VoiceLibrary* sub : library->SubLibs) {
        VoicesOf(sub, out);
    }
}

void CategoriesOf(TC_VoiceLibrary* library, TB_List<TC_VoiceCategory*>& out) {
    for (TC_VoiceCategory* category : library->Categories) {
        out.Add(category);
    }
    for (TC_VoiceLibrary* sub : library->SubLibs) {
        CategoriesOf(sub, out);
    }
}

void WriteEntry(TC_JsonWriter& writer, const TC_VoiceLibrary* library) {
    writer.StartObject();
    writer.Key("name");
    TC_WriteJsonString(writer, library->Name);
    writer.Key("type");
    writer.Int(library->Type);
    writer.Key("root");
    TC_WriteJsonPath(writer, library->RootPath.GetUri());
    writer.Key("info");
    TC_WriteJsonPath(writer, library->InfoFilePath.GetUri());
    writer.Key("char-name");
    TC_WriteJsonString(writer, library->CharName);
    writer.Key("sub-libs");
    writer.StartArray();
    for (const TC_VoiceLibrary* sub : library->SubLibs) {
        WriteEntry(writer, sub);
    }
    writer.EndArray();
    writer.EndObject();
}

// Finds the list that holds the library, and the group owning that list (null for the
// top level), anywhere in the tree.
bool FindHolder(TB_List<TC_VoiceLibrary*>& list, TC_VoiceLibrary* group, TC_VoiceLibrary* library,
                TB_List<TC_VoiceLibrary*>*& holder, TC_VoiceLibrary*& holderGroup) {
    if (list.Contains(library)) {
        holder = &list;
        holderGroup = group;
        return true;
    }
    for (TC_VoiceLibrary* entry : list) {
        if (FindHolder(entry->SubLibs, entry, library, holder, holderGroup)) {
            return true;
        }
    }
    return false;
}

// Calls visit with the root URI text (with its separator) of every library of the tree.
template <class Visit>
void ForEachRoot(TC_VoiceLibrary* library, Visit&& visit) {
    if (library->Type != TC_VoiceLibraryType::Group && !library->RootPath.GetUri().IsEmpty()) {
        std::u16string root(library->RootPath.GetUri().View());
        if (root.back() != u'/') {
            root += u'/';
        }
        visit(root);
    }
    for (TC_VoiceLibrary* sub : library->SubLibs) {
        ForEachRoot(sub, visit);
    }
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// An empty text stays an empty location (a group has neither root nor table), so a saved
// index reads back to the same text.
TB_Uri UriFromIndex(const rapidjson::Value& value) {
    TB_String text = TC_JsonPathText(value);
    return text.IsEmpty() ? TB_Uri() : TB_Uri(text);
}

}  // namespace

bool TC_VoiceLibraryList::LoadContents(TC_VoiceLibrary* library) {
    library->Pending = false;
    if (library->Type == TC_VoiceLibraryType::Group) {
        bool all = true;
        for (TC_VoiceLibrary* sub : library->SubLibs) {
            all = LoadContents(sub) && all;
        }
        return all;
    }
    TB_String name = library->Name;
    TB_Uri root = library->RootPath;
    TB_Uri info = library->InfoFilePath;
    library->ReadNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
    // A folder that cannot be listed would read as one without clips, also when it goes or
    // is shut while being read: it is looked at before and after.
    auto readable = [&] {
        return library->Type != TC_VoiceLibraryType::Folder ||
               (root.IsDirectory() &&
                ::access(TB_StringUTF8(root.GetPath()).Chars(), R_OK | X_OK) == 0);
    };
    library->Available = readable() && TC_VoiceLoader::LoadLibrary(library, true) && readable();
    if (!library->Available) {
        library->ClearContents();
        library->Name = name;
        library->RootPath = root;
        library->InfoFilePath = info;
    }
    library->Sources = TC_VoiceLoader::SourcesOf(library);
    library->NeedsPolling =
        !library->Sources.empty() && TC_LibraryLoader::NeedsPolling(library->Sources[0]);
    return library->Available;
}

void TC_VoiceLibraryList::Clear() {
    TB_ReleaseAll(m_libraries);
    m_tooDeep = false;
    m_keptFavourites.clear();
    m_indexLoaded = false;
}

bool TC_VoiceLibraryList::ReadEntry(const void* element, TC_VoiceLibrary* library, int depth) {
    const auto& entry = *static_cast<const rapidjson::Value*>(element);
    if (depth > kMaxDepth) {
        m_tooDeep = true;  // said after the reading: a user's entry is never dropped unseen
        return false;
    }
    if (!entry.IsObject() || !entry.HasMember("name") || !entry.HasMember("type") ||
        !entry.HasMember("root") || !entry.HasMember("info") || !entry["type"].IsInt()) {
        return false;
    }
    library->Name = TC_JsonText(entry["name"]);
    library->Type = entry["type"].GetInt();
    library->RootPath = UriFromIndex(entry["root"]);
    library->InfoFilePath = UriFromIndex(entry["info"]);
    if (entry.HasMember("char-name")) {
        library->CharName = TC_JsonText(entry["char-name"]);
    }
    switch (library->Type) {
        case TC_VoiceLibraryType::Folder:
        case TC_VoiceLibraryType::Csv:
            // A missing folder (a drive not mounted yet) keeps its entry; only the user
            // removes one.
            if (m_deferContents) {
                library->Pending = true;
            } else {
                LoadContents(library);
            }
            return true;
        case TC_VoiceLibraryType::Group: {
            if (!entry.HasMember("sub-libs") || !entry["sub-libs"].IsArray()) {
                return true;
            }
            for (const auto& subEntry : entry["sub-libs"].GetArray()) {
                auto* sub = new TC_VoiceLibrary();
                if (ReadEntry(&subEntry, sub, depth + 1)) {
                    library->SubLibs.Add(sub);
                } else {
                    sub->Release();
                }
            }
            return true;
        }
        default:
            return false;
    }
}

void TC_VoiceLibraryList::LoadIndex(const TB_Uri& path, TB_Stream* defaultImage,
                                    bool keepBrokenAside, bool deferContents) {
    Clear();
    m_indexLoaded = true;
    m_deferContents = deferContents;
    TB_FileStream file(path, TB_FileMode::Read);
    rapidjson::Document document;
    if (!file.ParseJson<rapidjson::kParseIterativeFlag>(document)) {
        return;
    }
    if (document.HasParseError() || !document.IsObject()) {
        if (keepBrokenAside) {
            TC_KeepBrokenFile(path);
        }
        return;
    }
    if (document.HasMember("libs") && document["libs"].IsArray()) {
        for (const auto& element : document["libs"].GetArray()) {
            auto* library = new TC_VoiceLibrary();
            if (ReadEntry(&element, library, 0)) {
                m_libraries.Add(library);
            } else {
                library->Release();
            }
        }
    }
    if (document.HasMember("favs") && document["favs"].IsArray()) {
        std::unordered_set<std::u16string, TextHash, std::equal_to<>> seen;
        for (const auto& element : document["favs"].GetArray()) {
            if (element.IsString()) {
                std::u16string text(TB_Uri(TC_JsonPathText(element)).GetUri().View());
                if (seen.insert(text).second) {
                    m_keptFavourites.push_back(std::move(text));
                }
            }
        }
        TB_List<TC_VoiceData*> voices;
        FlattenVoices(voices);
        ApplyKeptFavourites(voices, m_keptFavourites);
    }
    for (TC_VoiceLibrary* library : m_libraries) {
        if (!deferContents) {
            TC_VoiceLoader::LoadThumbnail(library, defaultImage);
        }
    }
    if (m_tooDeep) {
        // The next save cannot hold what was not read: the file as it was is kept aside.
        TB_String shown = TB_DisplayText(path.GetPath());
        TB_String text;
        text.Format(
            u"ライブラリの一覧「%T」は入れ子が深すぎるため、%d 段より深いライブラリを"
            u"読み込めませんでした。",
            &shown, kMaxDepth + 1);
        if (keepBrokenAside) {
            TC_KeepBrokenFile(path);
            TB_String kept;
            kept.Format(u"\n元のファイルは「%T.broken」として残してあります。", &shown);
            text = TB_String((std::u16string(text.View()) + std::u16string(kept.View())).c_str());
        }
        TB_Error::Report(2, 12, text.Chars(), TB_SOURCE_NAME, __LINE__);
        TC_ShowMessage(nullptr, text, TB_String(u"ルモヴォクスアプリ"),
                       TB_MB_OK | TB_MB_ICONWARNING);
    }
}

std::string TC_VoiceLibraryList::IndexJson() {
    rapidjson::StringBuffer buffer;
    TC_JsonWriter writer(buffer);
    TC_ConfigureJsonWriter(writer);
    writer.StartObject();
    writer.Key("libs");
    writer.StartArray();
    for (TC_VoiceLibrary* library : m_libraries) {
        WriteEntry(writer, library);
    }
    writer.EndArray();
    writer.Key("favs");
    writer.StartArray();
    TC_VoicePathBuilder paths;
    std::unordered_set<std::u16string, TextHash, std::equal_to<>> written;
    auto write = [&](std::u16string_view full) {
        if (written.emplace(full).second) {
            TC_WriteJsonPath(writer, TB_String(full.data(), static_cast<tb_int>(full.size())));
        }
    };
    // In the order of the flattened clips; a missing library's favourites wait in its place,
    // so an index read while a drive is away is written back as it was.
    TB_List<TC_VoiceLibrary*> all;
    FlattenLibraries(all);
    bool anyMissing = false;
    for (TC_VoiceLibrary* library : all) {
        for (TC_VoiceData* voice : library->Voices) {
            if (voice->Favorite) {
                write(paths.UriText(*voice));
            }
        }
        // A library not read yet, or read while its table was half written, has not taken
        // every star that belongs to it.
        anyMissing = anyMissing || !library->Available || library->Pending;
        ForEachRoot(library, [&](const std::u16string& root) {
            for (const std::u16string& kept : m_keptFavourites) {
                if (StartsWith(kept, root)) {
                    write(kept);
                }
            }
        });
    }
    // Any other favourite no clip took may belong to a missing library too (a table's path
    // can leave its folder); once every library loads, they belong to none and are dropped.
    if (anyMissing) {
        for (const std::u16string& kept : m_keptFavourites) {
            write(kept);
        }
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

bool TC_VoiceLibraryList::SaveIndex(const TB_Uri& path) {
    if (!m_indexLoaded) {
        return false;
    }
    return TC_SaveJsonText(path, IndexJson());
}

bool TC_VoiceLibraryList::AddLibrary(TC_VoiceLibrary* library, TB_Stream* defaultImage,
                                     TB_Widget* owner) {
    TB_List<TC_VoiceLibrary*> all;
    FlattenLibraries(all);
    for (TC_VoiceLibrary* existing : all) {
        if (existing->Type == library->Type &&
            existing->RootPath.GetUri().Equals(library->RootPath.GetUri())) {
            TB_String text;
            TB_String root = TB_DisplayText(existing->RootPath.GetPath());
            text.Format(u"「%T」は、すでに読みこまれています。", &root);
            TC_ShowMessage(owner, text, TB_String(u"フォルダを追加"), TB_MB_OK | TB_MB_ICONWARNING);
            return false;
        }
    }
    tb_int entryIndex = -1;
    if (!library->CharName.IsEmpty()) {
        for (tb_int i = 0; i < m_libraries.Count(); ++i) {
            if (m_libraries[i]->CharName.Equals(library->CharName)) {
                entryIndex = i;
                break;
            }
        }
    }
    TC_VoiceLoader::LoadThumbnail(library, defaultImage);
    if (entryIndex < 0) {
        m_libraries.Add(library);
        return true;
    }
    TC_VoiceLibrary* entry = m_libraries[entryIndex];
    if (entry->Type == TC_VoiceLibraryType::Group) {
        entry->SubLibs.Add(library);
        return true;
    }
    auto* group = new TC_VoiceLibrary();
    group->Type = TC_VoiceLibraryType::Group;
    group->Name = entry->CharName;
    group->CharName = entry->CharName;
    group->SubLibs.Add(entry);  // the list's count moves into the group
    group->SubLibs.Add(library);
    m_libraries.RemoveAt(entryIndex);
    m_libraries.Insert(entryIndex, group);
    TC_VoiceLoader::LoadThumbnail(group, defaultImage);
    return true;
}

bool TC_VoiceLibraryList::RemoveLibrary(TC_VoiceLibrary* library) {
    TB_List<TC_VoiceLibrary*>* holder = nullptr;
    TC_VoiceLibrary* group = nullptr;
    if (!FindHolder(m_libraries, nullptr, library, holder, group)) {
        return false;
    }
    ForEachRoot(library, [this](const std::u16string& root) {
        std::erase_if(m_keptFavourites,
                      [&root](const std::u16string& kept) { return StartsWith(kept, root); });
    });
    holder->Remove(library);
    if (group && group->SubLibs.Count() <= 1) {
        // The group dissolves: its last library, if any, takes the group's place.
        TB_List<TC_VoiceLibrary*>* groupHolder = nullptr;
        TC_VoiceLibrary* outer = nullptr;
        FindHolder(m_libraries, nullptr, group, groupHolder, outer);
        tb_int index = groupHolder->IndexOf(group);
        groupHolder->RemoveAt(index);
        if (group->SubLibs.Count() == 1) {
            TC_VoiceLibrary* remaining = group->SubLibs[0];
            group->SubLibs.Clear();  // its count moves to the outer list
            groupHolder->Insert(index, remaining);
        }
        group->Release();
    }
    library->Release();
    return true;
}

bool TC_VoiceLibraryList::Refresh(TC_VoiceLibrary* library, std::vector<std::u16string>& keep,
                                  TB_Stream* defaultImage) {
    // The stars wait in the kept list while the clips are rebuilt, and go back to the new
    // clips of the same paths; a library that is now missing keeps them there.
    std::unordered_set<std::u16string, TextHash, std::equal_to<>> kept(keep.begin(), keep.end());
    TB_List<TC_VoiceData*> voices;
    VoicesOf(library, voices);
    TC_VoicePathBuilder paths;
    for (TC_VoiceData* voice : voices) {
        if (voice->Favorite) {
            std::u16string text(paths.UriText(*voice));
            if (kept.insert(text).second) {
                keep.push_back(std::move(text));
            }
        }
    }
    bool available = LoadContents(library);
    ApplyKeptFavourites(library, keep);
    TC_VoiceLoader::LoadThumbnail(library, defaultImage);
    return available;
}

bool TC_VoiceLibraryList::IsListed(const TC_VoiceLibrary* library, tb_uint64 serial) {
    TB_List<TC_VoiceLibrary*> all;
    FlattenLibraries(all);
    return all.Contains(const_cast<TC_VoiceLibrary*>(library)) && library->Serial == serial;
}

bool TC_VoiceLibraryList::Adopt(TC_LoadedLibrary& loaded) {
    TB_List<TC_VoiceLibrary*> all;
    FlattenLibraries(all);
    std::unordered_set<TC_VoiceLibrary*> listed(all.begin(), all.end());
    auto stillThere = [&](size_t i) {
        return i < loaded.Keys.size() && i < loaded.Serials.size() &&
               listed.count(loaded.Keys[i]) && loaded.Keys[i]->Serial == loaded.Serials[i];
    };
    if (!stillThere(0)) {
        return false;
    }
    TB_List<TC_VoiceLibrary*> copies;
    FlattenInto(loaded.Contents->SubLibs, copies, 1);
    copies.Insert(0, loaded.Contents.Get());
    if (!loaded.TakenFavourites.empty()) {
        std::unordered_set<std::u16string_view, TextHash> taken(loaded.TakenFavourites.begin(),
                                                                loaded.TakenFavourites.end());
        std::erase_if(m_keptFavourites,
                      [&taken](const std::u16string& kept) { return taken.count(kept) != 0; });
    }
    std::unordered_set<std::u16string_view, TextHash> keptNow(m_keptFavourites.begin(),
                                                              m_keptFavourites.end());
    std::vector<std::u16string> waiting;
    TC_VoicePathBuilder paths;
    for (tb_int i = 0; i < copies.Count(); ++i) {
        if (!stillThere(static_cast<size_t>(i))) {
            continue;
        }
        TC_VoiceLibrary* library = loaded.Keys[static_cast<size_t>(i)];
        TC_VoiceLibrary* copy = copies[i];
        if (library->Type != copy->Type) {
            continue;
        }
        bool vanished = loaded.Reason == TC_LoadReason::Disk && !copy->Available &&
                        copy->Type != TC_VoiceLibraryType::Group && library->Voices.Count() > 0;
        library->Pending = false;
        if (vanished) {
            for (TC_VoiceData* voice : library->Voices) {
                voice->Exists = false;
            }
            library->Available = false;
            continue;
        }
        // The stars go by file within the library: its root is the same on both sides.
        std::unordered_map<std::u16string_view, TC_VoiceData*, TextHash> starred;
        for (TC_VoiceData* voice : library->Voices) {
            if (voice->Favorite) {
                starred.emplace(voice->RelFilePath.View(), voice);
            }
        }
        for (TC_VoiceData* voice : copy->Voices) {
            auto found = starred.find(voice->RelFilePath.View());
            if (found != starred.end()) {
                voice->Favorite = true;
                found->second = nullptr;
            }
        }
        for (auto& [relative, voice] : starred) {
            if (voice && !keptNow.count(paths.UriText(*voice))) {
                waiting.emplace_back(paths.UriText(*voice));
            }
        }
        // A category switched off stays off in the new read (by name, as its namesakes do).
        for (TC_VoiceCategory* category : copy->Categories) {
            if (TC_VoiceCategory* old = library->FindCategory(category->Name)) {
                category->Active = old->Active;
            }
        }
        // The old clips go into the read's tree in exchange, for whoever drops it (the loader's
        // thread: a hundred thousand clips take a while to free).
        std::vector<TC_VoiceCategory*> oldCategories(library->Categories.begin(),
                                                     library->Categories.end());
        std::vector<TC_VoiceData*> oldVoices(library->Voices.begin(), library->Voices.end());
        library->Categories.Clear();
        library->Voices.Clear();
        for (TC_VoiceCategory* category : copy->Categories) {
            library->Categories.Add(category);
        }
        for (TC_VoiceData* voice : copy->Voices) {
            voice->Library = library;
            library->Voices.Add(voice);
        }
        copy->Categories.Clear();
        copy->Voices.Clear();
        for (TC_VoiceCategory* category : oldCategories) {
            copy->Categories.Add(category);
        }
        for (TC_VoiceData* voice : oldVoices) {
            voice->Library = copy;
            copy->Voices.Add(voice);
        }
        if (copy->Type != TC_VoiceLibraryType::Group) {
            library->Name = copy->Name;
            library->CharName = copy->CharName;
            library->RootPath = copy->RootPath;
            library->InfoFilePath = copy->InfoFilePath;
        }
        library->Available = copy->Available;
        library->Sources = std::move(copy->Sources);
        library->NeedsPolling = copy->NeedsPolling;
        library->ReadNs = copy->ReadNs;
        library->SetThumbnail(copy->Thumbnail);
        library->ThumbnailIsBuiltIn = copy->ThumbnailIsBuiltIn;
    }
    for (std::u16string& path : waiting) {
        m_keptFavourites.push_back(std::move(path));
    }
    // Bitmaps are shared with the listed libraries: the read's tree lets go of them here.
    for (TC_VoiceLibrary* copy : copies) {
        copy->SetThumbnail(nullptr);
    }
    return true;
}

tb_int TC_VoiceLibraryList::FavouriteCount(TC_VoiceLibrary* library) {
    TB_List<TC_VoiceData*> voices;
    VoicesOf(library, voices);
    tb_int count = 0;
    for (TC_VoiceData* voice : voices) {
        count += voice->Favorite ? 1 : 0;
    }
    ForEachRoot(library, [this, &count](const std::u16string& root) {
        for (const std::u16string& kept : m_keptFavourites) {
            count += StartsWith(kept, root) ? 1 : 0;
        }
    });
    return count;
}

void TC_VoiceLibraryList::ApplyKeptFavourites(TC_VoiceLibrary* library,
                                              std::vector<std::u16string>& keep) {
    TB_List<TC_VoiceData*> voices;
    VoicesOf(library, voices);
    ApplyKeptFavourites(voices, keep);
}

void TC_VoiceLibraryList::ApplyKeptFavourites(TB_List<TC_VoiceData*>& voices,
                                              std::vector<std::u16string>& keep) {
    if (keep.empty()) {
        return;
    }
    // Exact code-unit comparison of normalised paths, through a hash set. Two libraries may
    // hold the same file: each clip of the path is starred before the path is forgotten.
    std::unordered_set<std::u16string_view, TextHash> kept(keep.begin(), keep.end());
    std::unordered_set<std::u16string_view, TextHash> taken;
    TC_VoicePathBuilder paths;
    for (TC_VoiceData* voice : voices) {
        auto found = kept.find(paths.UriText(*voice));
        if (found != kept.end()) {
            voice->Favorite = true;
            taken.insert(*found);
        }
    }
    if (taken.empty()) {
        return;
    }
    // Decided before anything moves: the views in taken point into the kept texts.
    std::vector<bool> stays;
    for (const std::u16string& text : keep) {
        stays.push_back(taken.count(text) == 0);
    }
    std::vector<std::u16string> left;
    for (size_t i = 0; i < stays.size(); ++i) {
        if (stays[i]) {
            left.push_back(std::move(keep[i]));
        }
    }
    keep = std::move(left);
}

void TC_VoiceLibraryList::FlattenLibraries(TB_List<TC_VoiceLibrary*>& out) {
    FlattenInto(m_libraries, out, 0);
}

void TC_VoiceLibraryList::FlattenVoices(TB_List<TC_VoiceData*>& out) {
    for (TC_VoiceLibrary* library : m_libraries) {
        VoicesOf(library, out);
    }
}

void TC_VoiceLibraryList::FlattenCategories(TB_List<TC_VoiceCategory*>& out) {
    for (TC_VoiceLibrary* library : m_libraries) {
        CategoriesOf(library, out);
    }
}
