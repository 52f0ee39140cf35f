#include "tc_voicesearch.h"

#include <algorithm>
#include <array>

namespace {

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
    m_voices = voices;
    m_fields.clear();
    m_readings.clear();
    m_fieldStarts.clear();
    m_readingStarts.clear();
    m_fieldStarts.reserve(voices.size() + 1);
    m_readingStarts.reserve(voices.size() + 1);
    TC_VoicePathBuilder paths;
    for (TC_VoiceData* voice : voices) {
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
    std::u16string_view all(text);
    size_t pos = all.find(needle);
    while (pos != std::u16string_view::npos) {
        // The clip whose segment holds the hit; its remaining text need not be searched.
        auto next = std::upper_bound(starts.begin(), starts.end(), static_cast<uint32_t>(pos));
        hits[static_cast<size_t>(next - starts.begin()) - 1] = 1;
        if (next == starts.end()) {
            break;
        }
        pos = all.find(needle, *next);
    }
}

void TC_VoiceSearch::Match(std::u16string_view searchText, bool favouritesOnly,
                           std::vector<uint8_t>& visible) {
    const size_t count = m_voices.size();
    visible.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
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
    // in the clips still in the running, and the reading only where the words failed.
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
    // The reading is tested with the whole folded text, spaces included.
    std::u16string folded = TC_FoldKana(text);
    std::u16string_view readings(m_readings);
    for (size_t i = 0; i < count; ++i) {
        if (visible[i] && !shown[i]) {
            std::u16string_view reading =
                readings.substr(m_readingStarts[i], m_readingStarts[i + 1] - m_readingStarts[i]);
            visible[i] = reading.find(folded) != std::u16string_view::npos;
        }
    }
}
