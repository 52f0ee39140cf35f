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

char16_t Folded(char16_t c) {
    char16_t folded = c >= kFirstHiragana && c <= kLastHiragana ? FoldMap()[c - kFirstHiragana] : 0;
    return folded ? folded : c;
}

// Whether the folded needle occurs in the text once the text is folded too.
bool FindFolded(std::u16string_view text, std::u16string_view needle) {
    if (needle.size() > text.size()) {
        return false;
    }
    for (size_t at = 0; at + needle.size() <= text.size(); ++at) {
        size_t k = 0;
        while (k < needle.size() && Folded(text[at + k]) == needle[k]) {
            ++k;
        }
        if (k == needle.size()) {
            return true;
        }
    }
    return false;
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
    for (char16_t c : text) {
        folded.push_back(Folded(c));
    }
    return folded;
}

void TC_VoiceSearch::Build(const std::vector<TC_VoiceData*>& voices) {
    std::vector<TC_VoiceData*> list = voices;
    // Fresh buffers: a large library's stay no longer than it is shown.
    *this = TC_VoiceSearch();
    m_voices = std::move(list);
    std::unordered_set<TC_VoiceCategory*> seen;
    TC_VoicePathBuilder paths;
    for (size_t i = 0; i < m_voices.size(); ++i) {
        const TC_VoiceData& voice = *m_voices[i];
        m_everyClipCategorised = m_everyClipCategorised && voice.Categories.Count() > 0;
        for (TC_VoiceCategory* category : voice.Categories) {
            if (seen.insert(category).second) {
                m_categories.push_back(category);
            }
        }
        std::u16string_view uri = paths.UriText(voice);
        size_t scheme = uri.find(u"://");
        std::u16string_view full =
            scheme == std::u16string_view::npos ? uri : uri.substr(scheme + 3);
        std::u16string_view relative = voice.RelFilePath.View();
        if (full.size() < relative.size() ||
            full.substr(full.size() - relative.size()) != relative) {
            m_oddPaths.push_back({static_cast<uint32_t>(i), std::u16string(full)});
            continue;
        }
        std::u16string_view prefix = full.substr(0, full.size() - relative.size());
        if (m_runs.empty() || m_runs.back().Prefix != prefix) {
            m_runs.push_back({static_cast<uint32_t>(i), std::u16string(prefix)});
        }
    }
}

bool TC_VoiceSearch::FieldsHold(size_t clip, std::u16string_view word, const RunWord& run,
                                const OddPath* odd) const {
    constexpr size_t npos = std::u16string_view::npos;
    const TC_VoiceData& voice = *m_voices[clip];
    if (FindUnits(voice.Surface.View(), word, 0) != npos ||
        FindUnits(voice.Display.View(), word, 0) != npos) {
        return true;
    }
    if (odd) {
        return FindUnits(odd->Path, word, 0) != npos;
    }
    std::u16string_view relative = voice.RelFilePath.View();
    if (run.InPrefix || FindUnits(relative, word, 0) != npos) {
        return true;
    }
    // Across the joint: the root ends with the word's start and the path begins with the rest.
    return std::any_of(run.Reach.begin(), run.Reach.end(), [&](size_t reach) {
        return relative.substr(0, reach) == word.substr(word.size() - reach);
    });
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
    // Each word against each root, once: in it, or how far past its end the word would reach.
    std::vector<std::vector<RunWord>> runWords(m_runs.size());
    for (size_t r = 0; r < m_runs.size(); ++r) {
        std::u16string_view prefix = m_runs[r].Prefix;
        for (std::u16string_view word : words) {
            RunWord set{FindUnits(prefix, word, 0) != std::u16string_view::npos, {}};
            for (size_t head = 1; head < word.size(); ++head) {
                if (prefix.size() >= head &&
                    prefix.substr(prefix.size() - head) == word.substr(0, head)) {
                    set.Reach.push_back(word.size() - head);
                }
            }
            runWords[r].push_back(std::move(set));
        }
    }
    // The reading is tested with the whole folded text, spaces included.
    std::u16string folded = TC_FoldKana(text);
    const RunWord none{false, {}};
    size_t run = 0;
    size_t odd = 0;
    for (size_t i = 0; i < count; ++i) {
        while (run + 1 < m_runs.size() && m_runs[run + 1].Begin <= i) {
            ++run;
        }
        while (odd < m_oddPaths.size() && m_oddPaths[odd].Clip < i) {
            ++odd;
        }
        if (!visible[i]) {
            continue;
        }
        const OddPath* oddPath =
            odd < m_oddPaths.size() && m_oddPaths[odd].Clip == i ? &m_oddPaths[odd] : nullptr;
        bool all = true;
        for (size_t w = 0; w < words.size() && all; ++w) {
            const RunWord& set = m_runs.empty() ? none : runWords[run][w];
            all = FieldsHold(i, words[w], set, oddPath);
        }
        visible[i] = all || FindFolded(m_voices[i]->Yomi.View(), folded);
    }
}
