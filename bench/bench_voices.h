#pragma once

// A library of 100,000 clips with Japanese lines and readings, built in memory, and the same
// texts joined in one buffer for the limit programs.
#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
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
            for (const TB_String* text : std::initializer_list<const TB_String*>{
                     &voice->Surface, &voice->Display, &full.GetPath(), &voice->Yomi}) {
                joined.append(reinterpret_cast<const char*>(text->Chars()),
                              static_cast<size_t>(text->Length()) * sizeof(char16_t));
            }
        }
        // A byte the texts never hold: a scan for it reads every byte and finds nothing.
        std::array<bool, 256> seen{};
        for (unsigned char byte : joined) {
            seen[byte] = true;
        }
        absent = static_cast<int>(std::find(seen.begin(), seen.end(), false) - seen.begin());
    }
    TB_Ref<TC_VoiceLibrary> library;
    std::vector<TC_VoiceData*> voices;
    std::string joined;  // every searched text of every clip, as UTF-16 bytes
    int absent = 0;
};

inline Library& Shared() {
    static Library library;
    return library;
}

// The limit of a keystroke, a real lower bound for any search of these texts: every byte of
// them read once (memchr for a byte they do not hold, at the memory's pace) and a flag written
// for each clip. Nothing is compared.
inline void ReadOnce(const Library& library, std::vector<uint8_t>& visible) {
    const void* found = std::memchr(library.joined.data(), library.absent, library.joined.size());
    visible.assign(library.voices.size(), found == nullptr ? 1 : 0);
}

}  // namespace bench
