#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tb_bitmap32.h"
#include "tb_eventargs.h"
#include "tb_inspectable.h"
#include "tb_list.h"
#include "tb_uri.h"

class TC_VoiceLibrary;

// A group of clips; the clip list shows a clip while one of its categories is active.
class TC_VoiceCategory : public TB_Object, public TB_IInspectable {
public:
    explicit TC_VoiceCategory(const TB_String& name) : Name(name) {}

    // "Name", "Active".
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    TB_String Name;
    bool Active = true;
};

// One clip of a library.
class TC_VoiceData : public TB_Object, public TB_IInspectable {
public:
    explicit TC_VoiceData(TC_VoiceLibrary* library) : Library(library) {}
    ~TC_VoiceData() override;

    // The library's root with the relative path appended, normalised.
    void GetFullPath(TB_Uri& path) const;
    // Adds a category (one more count on it).
    void AddCategory(TC_VoiceCategory* category);

    // "Surface", "Display", "Yomi", "RelFilePath", "Favorite", "Categories".
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    TC_VoiceLibrary* Library;               // not counted
    TB_String Surface;                      // the spoken line
    TB_String Display;                      // the title shown in lists
    TB_String Yomi;                         // the reading in kana
    TB_String RelFilePath;                  // relative to the library's root
    TB_List<TC_VoiceCategory*> Categories;  // one count each
    bool Favorite = false;
    bool Exists = false;
};

namespace TC_VoiceLibraryType {
enum : tb_int { Unset = -1, Folder = 0, Csv = 1, Group = 2 };
}

// A library (a folder or a CSV table) or a character group of libraries.
class TC_VoiceLibrary : public TB_Object, public TB_IInspectable {
public:
    TC_VoiceLibrary();
    ~TC_VoiceLibrary() override;

    // Releases every clip and category and empties both lists.
    void ClearContents();
    // Replaces the thumbnail (takes one more count on the new one).
    void SetThumbnail(TB_Bitmap32* thumbnail);
    TC_VoiceCategory* FindCategory(const TB_String& name) const;
    // Whether the library is this one or one of its sub-libraries, at any depth.
    bool Holds(const TC_VoiceLibrary* library) const;
    // Appends its clips, then those of its sub-libraries, depth first: the list's order.
    void CollectVoices(std::vector<TC_VoiceData*>& voices) const;

    // "Name", "Type", "CharName", "RootPath", "InfoFilePath", "Categories", "Voices",
    // "SubLibs", "Available".
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    // Never the same for two libraries of a run, even at the same address.
    const tb_uint64 Serial;
    TB_String Name;
    TB_Uri RootPath;
    tb_int Type = TC_VoiceLibraryType::Unset;
    TB_String CharName;
    TB_List<TC_VoiceCategory*> Categories;  // owned, in creation order
    TB_List<TC_VoiceData*> Voices;          // owned, in load order
    TB_Uri InfoFilePath;
    TB_Bitmap32* Thumbnail = nullptr;   // counted
    bool ThumbnailIsBuiltIn = false;    // the program's own picture, for want of one
    TB_List<TC_VoiceLibrary*> SubLibs;  // owned; groups only
    // False while the folder (or table) of an indexed library is missing: the entry is kept
    // as it was read, without clips, until it loads again.
    bool Available = true;
    // Listed from the index while its clips are still being read.
    bool Pending = false;
    // Where its clips were read from (native folders and tables), to watch for changes, and
    // whether they lie where changes must be looked for (a network mount).
    std::vector<std::string> Sources;
    bool NeedsPolling = false;
    // When its clips were last read (system clock, nanoseconds; 0 when not known): sources
    // changed since then, while nothing watched them, hold what the list does not show.
    tb_int64 ReadNs = 0;

    // View state of the library selector.
    tb_int FlatIndex = 0;
    tb_int Depth = 0;
    bool ViewFlag = false;
    bool Selected = false;
    TB_Rectangle<float> DisplayRect;
};

// Full paths of many clips, built in reused buffers: a relative path that needs no
// normalising is joined to its library's root as text rather than through a TB_Uri per
// clip. The results are exactly those of TC_VoiceData::GetFullPath, as long as no library
// root changes while the builder is used.
class TC_VoicePathBuilder {
public:
    // The URI text of the clip's full path; valid until the next call.
    std::u16string_view UriText(const TC_VoiceData& voice);
    // The clip's full path as operating-system bytes; valid until the next call.
    const std::string& NativePath(const TC_VoiceData& voice);

private:
    // True when the clip's path can be joined as text to the root.
    bool Joinable(const TC_VoiceData& voice);

    const TC_VoiceLibrary* m_library = nullptr;
    bool m_rootJoinable = false;
    std::u16string m_rootUri;  // with the separator
    std::string m_rootNative;  // with the separator
    std::u16string m_uri;
    std::string m_native;
    TB_Uri m_full;
};

// The argument of the library events of the clip list: kind 0 when a folder was imported;
// the selector's change says kChosen when the user picked the library in its list.
struct TC_VoiceLibraryEventArg : TB_EventArg {
    static constexpr tb_int kChosen = 1;
    tb_int Kind = 0;
    TC_VoiceLibrary* Library = nullptr;
};
