#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tc_voicesearch.h"

namespace {

// A library of clips described by (line, display, reading, relative path, category).
class VoiceSearchTest : public ::testing::Test {
protected:
    VoiceSearchTest() {
        library = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
        library->RootPath = TB_Uri(u"file:///voices/ひかり");
        for (const char16_t* name : {u"通常", u"特別"}) {
            auto* category = new TC_VoiceCategory(name);
            library->Categories.Add(category);
        }
    }
    TC_VoiceData* Add(const char16_t* line, const char16_t* display, const char16_t* reading,
                      const char16_t* path, int category = 0) {
        auto* voice = new TC_VoiceData(library.Get());
        voice->Surface = line;
        voice->Display = display;
        voice->Yomi = reading;
        voice->RelFilePath = path;
        if (category >= 0) {
            voice->AddCategory(library->Categories[category]);
        }
        library->Voices.Add(voice);
        return voice;
    }
    // The display texts of the clips a search shows, in list order.
    std::vector<std::u16string> Shown(std::u16string_view text, bool favouritesOnly = false) {
        TC_VoiceSearch search;
        search.Build(std::vector<TC_VoiceData*>(library->Voices.begin(), library->Voices.end()));
        std::vector<uint8_t> visible;
        search.Match(text, favouritesOnly, visible);
        std::vector<std::u16string> shown;
        for (size_t i = 0; i < visible.size(); ++i) {
            if (visible[i]) {
                shown.emplace_back(library->Voices[static_cast<tb_int>(i)]->Display.View());
            }
        }
        return shown;
    }
    using Names = std::vector<std::u16string>;

    TB_Ref<TC_VoiceLibrary> library;
};

TEST(KanaTable, EightyThreePairsEachHiraganaBeforeItsKatakana) {
    const auto& table = TC_KanaTable();
    ASSERT_EQ(table.size(), 83u);
    EXPECT_EQ(table.front().Hiragana, u'あ');
    EXPECT_EQ(table.front().Katakana, u'ア');
    EXPECT_EQ(table.back().Hiragana, u'ゖ');
    EXPECT_EQ(table.back().Katakana, u'ヶ');
    for (const auto& pair : table) {
        EXPECT_EQ(pair.Katakana - pair.Hiragana, 0x60) << static_cast<int>(pair.Hiragana);
    }
    // Only the table folds: ゐ, ゑ, ゔ, half-width kana, voiced marks and Latin case stay.
    EXPECT_EQ(TC_FoldKana(u"ゐゑゔｱｲAaがか゛"), u"ゐゑゔｱｲAaガカ゛");
}

TEST_F(VoiceSearchTest, HiraganaAndKatakanaFindTheSameReading) {
    Add(u"こんにちは", u"挨拶", u"アイサツ", u"greet/01.wav");
    Add(u"花が咲く", u"花", u"ハナ", u"flower/02.wav");
    Add(u"バナナ", u"果物", u"バナナ", u"fruit/03.wav");
    Add(u"ひらがな読み", u"平仮名", u"あいさつ", u"greet/04.wav");
    EXPECT_EQ(Shown(u"あい"), (Names{u"挨拶", u"平仮名"}));
    EXPECT_EQ(Shown(u"アイ"), (Names{u"挨拶", u"平仮名"}));
    EXPECT_EQ(Shown(u"ｱｲ"), Names{});
    // Voiced marks are not folded: はな is ハナ, not バナ.
    EXPECT_EQ(Shown(u"はな"), Names{u"花"});
    EXPECT_EQ(Shown(u"ばな"), Names{u"果物"});
    // The line is compared as it is: no folding there.
    EXPECT_EQ(Shown(u"コンニチハ"), Names{});
    EXPECT_EQ(Shown(u"こんにちは"), Names{u"挨拶"});
}

TEST_F(VoiceSearchTest, EveryWordMustMatchSomewhere) {
    Add(u"ねこが鳴く", u"猫 01", u"ネコガナク", u"cat/01.wav");
    Add(u"ねこが寝る", u"猫 02", u"ネコガネル", u"cat/02.wav");
    Add(u"いぬ", u"犬 01", u"イヌ", u"dog/01.wav");
    EXPECT_EQ(Shown(u"ねこ 01"), Names{u"猫 01"});
    EXPECT_EQ(Shown(u"  ねこ   02 "), Names{u"猫 02"});
    // A full-width space is part of the word, not a separator.
    EXPECT_EQ(Shown(u"ねこ　01"), Names{});
    // The path counts, with the library folder in front; so does the display text.
    EXPECT_EQ(Shown(u"dog/"), Names{u"犬 01"});
    EXPECT_EQ(Shown(u"/voices/ひかり/cat"), (Names{u"猫 01", u"猫 02"}));
    EXPECT_EQ(Shown(u"犬"), Names{u"犬 01"});
    // Case matters; an empty text shows all; a word never spans two fields.
    EXPECT_EQ(Shown(u"CAT"), Names{});
    EXPECT_EQ(Shown(u"   ").size(), 3u);
    EXPECT_EQ(Shown(u"く猫"), Names{});
    // The whole folded text is tried on the reading, spaces included: ガ is in no line.
    Add(u"", u"二語", u"ネコ ガ", u"x.wav");
    EXPECT_EQ(Shown(u"ねこ ガ"), Names{u"二語"});
    EXPECT_EQ(Shown(u"ねこ  ガ"), Names{});
}

TEST_F(VoiceSearchTest, FavouritesAndCategoriesComeBeforeTheText) {
    Add(u"一", u"one", u"イチ", u"1.wav", 0)->Favorite = true;
    Add(u"二", u"two", u"ニ", u"2.wav", 1);
    Add(u"三", u"three", u"サン", u"3.wav", -1);  // a clip with no category is never shown
    EXPECT_EQ(Shown(u""), (Names{u"one", u"two"}));
    EXPECT_EQ(Shown(u"", true), Names{u"one"});
    EXPECT_EQ(Shown(u"二", true), Names{});
    library->Categories[1]->Active = false;
    EXPECT_EQ(Shown(u""), Names{u"one"});
    library->Categories[0]->Active = false;
    EXPECT_EQ(Shown(u""), Names{});
}

// A library's search is built once; categories switched and stars set later still count, and
// one clip's reading never runs on into the next one's.
TEST_F(VoiceSearchTest, OneSearchFollowsLaterSwitches) {
    Add(u"一", u"one", u"イチ", u"1.wav", 0);
    TC_VoiceData* two = Add(u"二", u"two", u"ニ", u"2.wav", 1);
    TC_VoiceSearch search;
    search.Build(std::vector<TC_VoiceData*>(library->Voices.begin(), library->Voices.end()));
    std::vector<uint8_t> visible;
    search.Match(u"", false, visible);
    EXPECT_EQ(visible, (std::vector<uint8_t>{1, 1}));
    library->Categories[0]->Active = false;
    search.Match(u"", false, visible);
    EXPECT_EQ(visible, (std::vector<uint8_t>{0, 1}));
    library->Categories[0]->Active = true;
    two->Favorite = true;
    search.Match(u"", true, visible);
    EXPECT_EQ(visible, (std::vector<uint8_t>{0, 1}));
    search.Match(u"いち", false, visible);
    EXPECT_EQ(visible, (std::vector<uint8_t>{1, 0}));
    search.Match(u"チニ", false, visible);
    EXPECT_EQ(visible, (std::vector<uint8_t>{0, 0}));
}

// Random clips of two libraries over a small alphabet, so that words hit at every offset, near
// the ends of the texts and across the joint of root and relative path (some of which are
// normalised), against the rule written out plainly: each word in the line, the display text
// or the full path, or the whole folded text in the folded reading.
TEST_F(VoiceSearchTest, AgreesWithThePlainRuleOnRandomTexts) {
    std::mt19937 random(11);
    const std::u16string alphabet = u"あアいイa0 り/.";
    auto text = [&](size_t most) {
        std::u16string made;
        for (size_t n = random() % (most + 1); n > 0; --n) {
            made += alphabet[random() % alphabet.size()];
        }
        return made;
    };
    auto other = TB_Ref<TC_VoiceLibrary>::Adopt(new TC_VoiceLibrary());
    other->RootPath = TB_Uri(u"file:///voices/あり");
    other->Categories.Add(new TC_VoiceCategory(u"通常"));
    std::vector<TC_VoiceData*> voices;
    for (int i = 0; i < 400; ++i) {
        std::u16string path = text(6) + u".wav";
        if (i < 300) {
            voices.push_back(Add(text(12).c_str(), text(4).c_str(), text(6).c_str(), path.c_str()));
        } else {
            auto* voice = new TC_VoiceData(other.Get());
            voice->Surface = text(12).c_str();
            voice->Yomi = text(6).c_str();
            voice->RelFilePath = path.c_str();
            voice->AddCategory(other->Categories[0]);
            other->Voices.Add(voice);
            voices.push_back(voice);
        }
    }
    TC_VoiceSearch search;
    search.Build(voices);
    std::vector<uint8_t> visible;
    for (int round = 0; round < 400; ++round) {
        std::u16string query = text(4);
        search.Match(query, false, visible);
        std::vector<std::u16string> words;
        for (size_t start = 0; start <= query.size();) {
            size_t end = std::min(query.find(u' ', start), query.size());
            if (end > start) {
                words.push_back(query.substr(start, end - start));
            }
            start = end + 1;
        }
        for (size_t i = 0; i < voices.size(); ++i) {
            const TC_VoiceData& voice = *voices[i];
            std::u16string line(voice.Surface.View()), display(voice.Display.View());
            TB_Uri full;
            voice.GetFullPath(full);
            std::u16string path(full.GetPath().View());
            bool every = true;
            for (const std::u16string& word : words) {
                every = every && (line.find(word) != std::u16string::npos ||
                                  display.find(word) != std::u16string::npos ||
                                  path.find(word) != std::u16string::npos);
            }
            bool reading =
                TC_FoldKana(voice.Yomi.View()).find(TC_FoldKana(query)) != std::u16string::npos;
            ASSERT_EQ(visible[i], words.empty() || every || reading ? 1 : 0)
                << "clip " << i << " round " << round;
        }
    }
}

TEST_F(VoiceSearchTest, ManyHitsInOneClipAndNoneAtTheEnd) {
    for (int i = 0; i < 50; ++i) {
        Add(u"ああああ", u"a", u"アアア", u"a.wav");
    }
    Add(u"いいい", u"last", u"イ", u"b.wav");
    EXPECT_EQ(Shown(u"ああ").size(), 50u);
    EXPECT_EQ(Shown(u"い"), Names{u"last"});
    EXPECT_EQ(Shown(u"wav").size(), 51u);
    // A stray NUL is dropped, not taken as a separator.
    EXPECT_EQ(Shown(std::u16string_view(u"b.w\0av", 6)), Names{u"last"});
}

}  // namespace
