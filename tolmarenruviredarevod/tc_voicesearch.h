#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tc_voicelibrary.h"

// A hiragana and the katakana it stands for in a search.
struct TC_HiraganaKatakana {
    char16_t Hiragana;
    char16_t Katakana;
};

// The 83 pairs a search folds, in table order. ゐ, ゑ and ゔ have none.
const std::vector<TC_HiraganaKatakana>& TC_KanaTable();

// Each hiragana of the table becomes its katakana; nothing else changes (no case, width or
// voiced-mark folding).
std::u16string TC_FoldKana(std::u16string_view text);

// The searchable texts of a clip list, prepared once per library. The clips' own texts are
// searched where they are: no second copy of them is held, and a keystroke never touches the
// disk or allocates per clip. A full path is its library's root, held once, and the clip's
// relative path.
//
// A word matches a clip when it occurs in the clip's line, display text or full path, or when
// the whole folded search text occurs in its reading. Readings are folded as they are read, so
// a reading stored in hiragana matches like one stored in katakana.
class TC_VoiceSearch {
public:
    // Prepares the clips, in list order (the clips must outlive the search).
    void Build(const std::vector<TC_VoiceData*>& voices);
    size_t Count() const { return m_voices.size(); }
    const std::vector<TC_VoiceData*>& Voices() const { return m_voices; }
    // Whether it was built for exactly these clips, in this order.
    bool Covers(const std::vector<TC_VoiceData*>& voices) const { return m_voices == voices; }

    // Visible flags for every clip, in list order: favourites and categories first, then the
    // search text split at ASCII spaces.
    void Match(std::u16string_view searchText, bool favouritesOnly, std::vector<uint8_t>& visible);

private:
    // Clips from Begin on (up to the next run) have full paths Prefix + their relative path.
    struct PathRun {
        uint32_t Begin;
        std::u16string Prefix;
    };
    // A clip whose full path is not its root joined to its relative path (it was normalised).
    struct OddPath {
        uint32_t Clip;
        std::u16string Path;
    };
    // A word set against one run's prefix: in it, or reaching past its end by Reach units.
    struct RunWord {
        bool InPrefix;
        std::vector<size_t> Reach;
    };
    // Whether the word is in the clip's line, title or full path.
    bool FieldsHold(size_t clip, std::u16string_view word, const RunWord& run,
                    const OddPath* odd) const;

    std::vector<TC_VoiceData*> m_voices;
    std::vector<PathRun> m_runs;
    std::vector<OddPath> m_oddPaths;  // by clip
    // The categories the clips belong to, to tell at once when none is switched off.
    std::vector<TC_VoiceCategory*> m_categories;
    bool m_everyClipCategorised = true;
};
