#pragma once

#include <unordered_set>

#include "tb_stream.h"
#include "tb_widget.h"
#include "tc_voicelibrary.h"

// The tree of libraries the user added (top-level libraries and character groups) and its
// index file voice-libs.json with the entries and the favourite clips.
class TC_VoiceLibraryList {
public:
    TC_VoiceLibraryList() = default;
    TC_VoiceLibraryList(const TC_VoiceLibraryList&) = delete;
    TC_VoiceLibraryList& operator=(const TC_VoiceLibraryList&) = delete;
    ~TC_VoiceLibraryList() { Clear(); }

    // Top-level entries in display order; the list holds one count on each.
    TB_List<TC_VoiceLibrary*>& Libraries() { return m_libraries; }
    bool IsIndexLoaded() const { return m_indexLoaded; }

    // Reads the index: entries whose library no longer loads are dropped, favourites are
    // matched by their normalised full path, thumbnails are found (defaultImage may be null).
    // An index that does not parse starts an empty list and is moved aside as
    // "voice-libs.json.broken" so the next save cannot erase it.
    // keepBrokenAside false leaves an unreadable file where it is (tools that only look).
    void LoadIndex(const TB_Uri& path, TB_Stream* defaultImage, bool keepBrokenAside = true);
    // Writes the index through a temporary file and a rename when it was loaded; false when
    // it was not loaded or could not be written (the old file then stays).
    bool SaveIndex(const TB_Uri& path);
    std::string IndexJson();
    // Releases every entry and clears the index-loaded flag.
    void Clear();

    // Adds a loaded library: refused (with a message) when a library of the same type and
    // root is already there; a second library of a character turns the entry into a group.
    bool AddLibrary(TC_VoiceLibrary* library, TB_Stream* defaultImage, TB_Widget* owner = nullptr);
    // Removes a library or group from wherever it stands in the tree and releases it; a
    // group left with one library is dissolved into it.
    bool RemoveLibrary(TC_VoiceLibrary* library);

    // Depth first, each library before its sub-libraries; sets each one's nesting depth.
    void FlattenLibraries(TB_List<TC_VoiceLibrary*>& out);
    void FlattenVoices(TB_List<TC_VoiceData*>& out);
    void FlattenCategories(TB_List<TC_VoiceCategory*>& out);

    // Entries nested deeper than this in an index are dropped.
    static constexpr int kMaxDepth = 32;

private:
    bool ReadEntry(const void* element, TC_VoiceLibrary* library, int depth);

    TB_List<TC_VoiceLibrary*> m_libraries;
    bool m_indexLoaded = false;
};
