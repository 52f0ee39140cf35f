#include "tc_voicesearch.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Where the needle next occurs in the text at or after `from`, or npos. The first unit is
// looked for eight at a time where the processor can compare them so: a keystroke's search
// reads the text of every clip, and this is most of its cost.
size_t FindUnits(std::u16string_view text, std::u16string_view needle, size_t from) {
    if (needle.empty() || needle.size() > text.size()) {
        return needle.empty() && from <= text.size() ? from : std::u16string_view::npos;
    }
    const char16_t* data = text.data();
    const size_t lastStart = text.size() - needle.size();
    const char16_t first = needle[0];
    std::u16string_view rest = needle.substr(1);
    size_t at = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(first));
    while (at + 8 <= lastStart + 1) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, wanted)));
        while (mask != 0) {
            size_t candidate = at + static_cast<size_t>(__builtin_ctz(mask)) / 2;
            if (text.substr(candidate + 1, rest.size()) == rest) {
                return candidate;
            }
            mask &= mask - 1;  // the candidate's two bytes
            mask &= mask - 1;
        }
        at += 8;
    }
#endif
    for (; at <= lastStart; ++at) {
        if (data[at] == first && text.substr(at + 1, rest.size()) == rest) {
            return at;
        }
    }
    return std::u16string_view::npos;
}

constexpr char16_t kFirstHiragana = u'\u3041';
constexpr char16_t kLastHiragana = u'\u3096';

// Katakana of each hiragana in the table's range, 0 where there is none.
const std::array<char16_t, kLastHiragana - kFirstHiragana + 1>& FoldMap() {
    static const auto map = [] {
        std::array<char16_t, kLastHiragana - kFirstHiragana + 1> m{};
        for (const TC_HiraganaKatakana& pair : TC_KanaTable()) {
            m[pair.Hiragana - kFirstHiragana] = pair.Katakana;
        }
        return m;
    }();
    return map;
}

void AppendFolded(std::u16string& out, std::u16string_view text) {
    const auto& map = FoldMap();
    for (char16_t c : text) {
        char16_t folded = c >= kFirstHiragana && c <= kLastHiragana ? map[c - kFirstHiragana] : 0;
        out.push_back(folded ? folded : c);
    }
}

// Field texts never carry U+0000 into the joined buffer: it separates the fields.
void AppendField(std::u16string& out, std::u16string_view text) {
    for (char16_t c : text) {
        if (c != 0) {
            out.push_back(c);
        }
    }
    out.push_back(0);
}

}  // namespace

const std::vector<TC_HiraganaKatakana>& TC_KanaTable() {
    static const std::vector<TC_HiraganaKatakana> table = [] {
        const std::u16string_view pairs =
            u"あアいイうウえエおオかカきキくクけケこコさサしシすスせセそソたタちチつツてテとト"
            u"なナにニぬヌねネのノはハひヒふフへヘほホまマみミむムめメもモやヤゆユよヨらラりリ"
            u"るルれレろロわワをヲんンがガぎギぐグげゲごゴざザじジずズぜゼぞゾだダぢヂづヅでデ"
            u"どドばバびビぶブべベぼボぱパぴピぷプぺペぽポぁァぃィぅゥぇェぉォゃャゅュょョゎヮ"
            u"っッゕヵゖヶ";
        std::vector<TC_HiraganaKatakana> list;
        for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
            list.push_back({pairs[i], pairs[i + 1]});
        }
        return list;
    }();
    return table;
}

std::u16string TC_FoldKana(std::u16string_view text) {
    std::u16string folded;
    folded.reserve(text.size());
    AppendFolded(folded, text);
    return folded;
}

void TC_VoiceSearch::Build(const std::vector<TC_VoiceData*>& voices) {
    // Fresh buffers: a large library's stay no longer than it is shown.
    *this = TC_VoiceSearch();
    m_voices = voices;
    m_fieldStarts.reserve(voices.size() + 1);
    m_readingStarts.reserve(voices.size() + 1);
    m_categories.clear();
    m_everyClipCategorised = true;
    std::unordered_set<TC_VoiceCategory*> seen;
    TC_VoicePathBuilder paths;
    for (TC_VoiceData* voice : voices) {
        m_everyClipCategorised = m_everyClipCategorised && voice->Categories.Count() > 0;
        for (TC_VoiceCategory* category : voice->Categories) {
            if (seen.insert(category).second) {
                m_categories.push_back(category);
            }
        }
        m_fieldStarts.push_back(static_cast<uint32_t>(m_fields.size()));
        AppendField(m_fields, voice->Surface.View());
        AppendField(m_fields, voice->Display.View());
        std::u16string_view uri = paths.UriText(*voice);
        size_t scheme = uri.find(u"://");
        AppendField(m_fields, scheme == std::u16string_view::npos ? uri : uri.substr(scheme + 3));
        m_readingStarts.push_back(static_cast<uint32_t>(m_readings.size()));
        AppendFolded(m_readings, voice->Yomi.View());
        m_readings.push_back(0);
    }
    m_fieldStarts.push_back(static_cast<uint32_t>(m_fields.size()));
    m_readingStarts.push_back(static_cast<uint32_t>(m_readings.size()));
}

void TC_VoiceSearch::MarkHits(const std::u16string& text, const std::vector<uint32_t>& starts,
                              std::u16string_view needle, std::vector<uint8_t>& hits) {
    if (starts.size() < 2) {
        return;  // no clips
    }
    std::u16string_view all(text);
    size_t clip = 0;
    const size_t clips = starts.size() - 1;
    for (size_t pos = FindUnits(all, needle, 0); pos != std::u16string_view::npos;) {
        // Hits come in text order: the clip holding this one is found by walking on from the
        // last, which over all hits reads the starts once, in order.
        while (starts[clip + 1] <= pos) {
            ++clip;
        }
        hits[clip] = 1;
        if (++clip == clips) {
            break;
        }
        pos =
            FindUnits(all, needle, starts[clip]);  // the rest of a clip with a hit need not be read
    }
}

void TC_VoiceSearch::Match(std::u16string_view searchText, bool favouritesOnly,
                           std::vector<uint8_t>& visible) {
    const size_t count = m_voices.size();
    // Mostly nothing is switched off: then no clip need be looked at for it.
    bool allActive = m_everyClipCategorised &&
                     std::all_of(m_categories.begin(), m_categories.end(),
                                 [](const TC_VoiceCategory* category) { return category->Active; });
    bool everyClip = !favouritesOnly && allActive;
    visible.assign(count, everyClip ? 1 : 0);
    for (size_t i = 0; i < count && !everyClip; ++i) {
        const TC_VoiceData& voice = *m_voices[i];
        if (favouritesOnly && !voice.Favorite) {
            continue;
        }
        for (TC_VoiceCategory* category : voice.Categories) {
            if (category->Active) {
                visible[i] = 1;
                break;
            }
        }
    }
    std::u16string text;
    for (char16_t c : searchText) {
        if (c != 0) {
            text.push_back(c);
        }
    }
    std::vector<std::u16string_view> words;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(u' ', start);
        end = end == std::u16string::npos ? text.size() : end;
        if (end > start) {
            words.push_back(std::u16string_view(text).substr(start, end - start));
        }
        start = end + 1;
    }
    if (words.empty()) {
        return;
    }
    // The first word is looked for in one scan over every clip's text; each further word only
    // in the clips still in the running.
    std::vector<uint8_t>& shown = m_allWords;
    m_wordHits.assign(count, 0);
    MarkHits(m_fields, m_fieldStarts, words[0], m_wordHits);
    shown.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        shown[i] = visible[i] & m_wordHits[i];
    }
    std::u16string_view fields(m_fields);
    for (size_t w = 1; w < words.size(); ++w) {
        for (size_t i = 0; i < count; ++i) {
            if (shown[i]) {
                std::u16string_view clip =
                    fields.substr(m_fieldStarts[i], m_fieldStarts[i + 1] - m_fieldStarts[i]);
                shown[i] = clip.find(words[w]) != std::u16string_view::npos;
            }
        }
    }
    // The reading is tested with the whole folded text, spaces included, in one scan too.
    std::u16string folded = TC_FoldKana(text);
    m_wordHits.assign(count, 0);
    MarkHits(m_readings, m_readingStarts, folded, m_wordHits);
    for (size_t i = 0; i < count; ++i) {
        visible[i] &= shown[i] | m_wordHits[i];
    }
}
