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

// The searchable texts of a clip list, prepared once per library so that a keystroke costs
// one scan over contiguous text per search word and never touches the disk or allocates per
// clip.
//
// A word matches a clip when it occurs in the clip's line, display text or full path, or when
// the whole folded search text occurs in its reading. Readings are folded too, so a reading
// stored in hiragana matches like one stored in katakana.
class TC_VoiceSearch {
public:
    // Prepares the texts of the clips, in list order (the clips must outlive the search).
    void Build(const std::vector<TC_VoiceData*>& voices);
    size_t Count() const { return m_voices.size(); }
    const std::vector<TC_VoiceData*>& Voices() const { return m_voices; }
    // Whether it was built for exactly these clips, in this order.
    bool Covers(const std::vector<TC_VoiceData*>& voices) const { return m_voices == voices; }

    // Visible flags for every clip, in list order: favourites and categories first, then the
    // search text split at ASCII spaces.
    void Match(std::u16string_view searchText, bool favouritesOnly, std::vector<uint8_t>& visible);

private:
    // Sets hits[i] for every clip whose segment in text contains the needle.
    static void MarkHits(const std::u16string& text, const std::vector<uint32_t>& starts,
                         std::u16string_view needle, std::vector<uint8_t>& hits);

    std::vector<TC_VoiceData*> m_voices;
    // Line, display text and path of each clip separated by U+0000 (which no search word
    // holds, so no occurrence spans two fields); m_fieldStarts[i] is where clip i begins.
    std::u16string m_fields;
    std::vector<uint32_t> m_fieldStarts;
    std::u16string m_readings;
    std::vector<uint32_t> m_readingStarts;
    // The categories the clips belong to, to tell at once when none is switched off.
    std::vector<TC_VoiceCategory*> m_categories;
    bool m_everyClipCategorised = true;
    std::vector<uint8_t> m_wordHits;
    std::vector<uint8_t> m_allWords;
};
