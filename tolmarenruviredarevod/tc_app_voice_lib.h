#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "tb_stream.h"
#include "tb_widget.h"
#include "tc_voicelibrary.h"

struct TC_LoadedLibrary;

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

    // Reads the index: favourites are matched by their normalised full path, thumbnails are
    // found (defaultImage may be null). A library whose folder or table is missing keeps its
    // entry as read, marked unavailable, and the favourites no clip took are kept for it.
    // An index that does not parse starts an empty list and is moved aside as
    // "voice-libs.json.broken" so the next save cannot erase it.
    // keepBrokenAside false leaves an unreadable file where it is (tools that only look).
    // With deferContents the entries are only listed, marked pending, and their clips and
    // thumbnails are left for Adopt; every favourite then waits in the kept list.
    void LoadIndex(const TB_Uri& path, TB_Stream* defaultImage, bool keepBrokenAside = true,
                   bool deferContents = false);
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
    // group left with one library is dissolved into it. Favourites kept for it go with it.
    bool RemoveLibrary(TC_VoiceLibrary* library);
    // Loads a listed library (or every library of a group) again from disk, keeping its
    // favourites: one whose folder or table is missing becomes unavailable, one that is back
    // becomes available with the favourites it had. False when the library (or a library of
    // the group) is unavailable afterwards.
    bool Refresh(TC_VoiceLibrary* library, TB_Stream* defaultImage) {
        return Refresh(library, m_keptFavourites, defaultImage);
    }
    // The same for a library of no list: kept holds the favourites waiting for a library.
    static bool Refresh(TC_VoiceLibrary* library, std::vector<std::u16string>& kept,
                        TB_Stream* defaultImage);
    // The favourites that go with the library (or group): its starred clips, and those kept
    // for it while it is unavailable.
    tb_int FavouriteCount(TC_VoiceLibrary* library);
    // The favourites of the index that no loaded clip took (normalised full-path URI texts).
    const std::vector<std::u16string>& KeptFavourites() const { return m_keptFavourites; }

    // Takes the clips, categories and thumbnails of a read into the libraries it stands for
    // that are still listed; false when its library is not listed any more. The stars of the
    // old clips go to the new clips of the same files; a star whose file the read did not
    // find waits in the kept favourites. A change on disk that found the folder gone keeps
    // the clips, none of them there, and the library unavailable. The read's tree is left
    // holding the old clips and no bitmap: any thread may release it.
    bool Adopt(TC_LoadedLibrary& loaded);
    // Whether the library of that serial is listed anywhere in the tree.
    bool IsListed(const TC_VoiceLibrary* library, tb_uint64 serial);

    // Reads the clips of a library (every library's, for a group): one whose folder or table
    // is missing or unreadable keeps its entry without clips and becomes unavailable; false
    // then (for a group: when any of its libraries is).
    static bool LoadContents(TC_VoiceLibrary* library);
    // Stars the clips of the library whose paths are kept, and forgets those paths.
    static void ApplyKeptFavourites(TC_VoiceLibrary* library, std::vector<std::u16string>& kept);

    // Depth first, each library before its sub-libraries; sets each one's nesting depth.
    void FlattenLibraries(TB_List<TC_VoiceLibrary*>& out);
    void FlattenVoices(TB_List<TC_VoiceData*>& out);
    void FlattenCategories(TB_List<TC_VoiceCategory*>& out);

    // Entries nested deeper than this in an index are not read; the reading says so, and the
    // program keeps the file aside as "voice-libs.json.broken" (keepBrokenAside).
    static constexpr int kMaxDepth = 32;

private:
    bool ReadEntry(const void* element, TC_VoiceLibrary* library, int depth);
    static void ApplyKeptFavourites(TB_List<TC_VoiceData*>& voices,
                                    std::vector<std::u16string>& kept);

    TB_List<TC_VoiceLibrary*> m_libraries;
    bool m_indexLoaded = false;
    bool m_tooDeep = false;        // the last index read held entries deeper than kMaxDepth
    bool m_deferContents = false;  // entries are listed pending, their clips read later
    // Favourites waiting for their library: written back while any library is unavailable,
    // so a folder on a drive that is not mounted yet loses none.
    std::vector<std::u16string> m_keptFavourites;
};
