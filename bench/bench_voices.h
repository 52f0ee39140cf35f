#pragma once

// A library of 100,000 clips with Japanese lines and readings, built in memory, and the same
// texts as plain strings for the limit programs' substring scans.
#include <array>
#include <random>
#include <string>
#include <vector>

#include "tc_voicesearch.h"

namespace bench {

constexpr int kClips = 100000;

inline std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

struct Library {
    Library() {
        library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
        library->RootPath = TB_Uri(u"file:///home/user/voices/ひかり");
        auto* category = new TC_VoiceCategory(u"通常");
        library->Categories.Add(category);
        std::mt19937 random(7);
        const std::u16string syllables =
            u"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれ"
            u"ろわをん";
        auto words = [&](int count) {
            std::u16string text;
            for (int i = 0; i < count; ++i) {
                text += syllables[random() % syllables.size()];
            }
            return text;
        };
        for (int i = 0; i < kClips; ++i) {
            auto* voice = new TC_VoiceData(library.Get());
            voice->Surface = TB_String((words(14) + u"です。").c_str());
            std::u16string number = Ascii(std::to_string(i));
            voice->Display = TB_String((u"台詞 " + number).c_str());
            voice->Yomi = TB_String(TC_FoldKana(words(16)).c_str());
            voice->RelFilePath = TB_String(
                (u"場面" + Ascii(std::to_string(i % 40)) + u"/voice_" + number + u".wav").c_str());
            voice->AddCategory(category);
            library->Voices.Add(voice);
            voices.push_back(voice);
            TB_Uri full;
            voice->GetFullPath(full);
            plain.push_back(
                {std::u16string(voice->Surface.View()), std::u16string(voice->Display.View()),
                 std::u16string(full.GetPath().View()), std::u16string(voice->Yomi.View())});
        }
    }
    TB_Ref<TC_VoiceLibrary> library;
    std::vector<TC_VoiceData*> voices;
    std::vector<std::array<std::u16string, 4>> plain;
};

inline Library& Shared() {
    static Library library;
    return library;
}

// The limit of a keystroke: one plain substring scan of each clip's four texts.
inline void PlainScan(const Library& library, const std::u16string& text,
                      std::vector<uint8_t>& visible) {
    visible.resize(library.plain.size());
    for (size_t i = 0; i < library.plain.size(); ++i) {
        const auto& clip = library.plain[i];
        visible[i] = clip[0].find(text) != std::u16string::npos ||
                     clip[1].find(text) != std::u16string::npos ||
                     clip[2].find(text) != std::u16string::npos ||
                     clip[3].find(text) != std::u16string::npos;
    }
}

}  // namespace bench
