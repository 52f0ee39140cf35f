#include <gtest/gtest.h>

#include <random>

#include "tb_string.h"

namespace {

std::u16string Fmt(const tb_char* format, ...) {
    va_list args;
    va_start(args, format);
    TB_String text;
    text.FormatV(format, args);
    va_end(args);
    return std::u16string(text.View());
}

std::u16string FromUtf8(const std::string& bytes) {
    TB_String text(bytes.data(), static_cast<tb_int64>(bytes.size()));
    return std::u16string(text.View());
}

TEST(String, ConstructionForms) {
    TB_String empty;
    ASSERT_NE(empty.Chars(), nullptr);
    EXPECT_EQ(empty.Length(), 0);

    TB_String fromNull(static_cast<const tb_char*>(nullptr));
    EXPECT_EQ(fromNull.Chars(), nullptr);
    EXPECT_EQ(fromNull.Length(), 0);
    EXPECT_TRUE(fromNull.Equals(empty));

    // A counted copy stops early at an embedded 0 unit: the length is measured.
    const tb_char withZero[] = {u'a', u'b', 0, u'c'};
    TB_String counted(withZero, 4);
    EXPECT_EQ(counted.Length(), 2);

    TB_String utf8Null(static_cast<const char*>(nullptr));
    EXPECT_NE(utf8Null.Chars(), nullptr);
    EXPECT_EQ(utf8Null.Length(), 0);

    TB_String copy(counted);
    EXPECT_NE(copy.Chars(), counted.Chars());
    EXPECT_TRUE(copy == counted);
    EXPECT_EQ(copy.RefCount(), 1);

    TB_String assigned;
    assigned = u"xyz";
    EXPECT_TRUE(assigned == u"xyz");
    assigned = static_cast<const tb_char*>(nullptr);
    EXPECT_EQ(assigned.Chars(), nullptr);
}

TEST(String, FormatIntegersAndPadding) {
    EXPECT_EQ(Fmt(u"%04d", 7), u"0007");
    EXPECT_EQ(Fmt(u"% 6d", 123), u"   123");
    EXPECT_EQ(Fmt(u"%x", 255), u"ff");
    EXPECT_EQ(Fmt(u"%X", 255), u"FF");
    EXPECT_EQ(Fmt(u"%d", 0), u"0");
    EXPECT_EQ(Fmt(u"%05d", -42), u"00-42");
    EXPECT_EQ(Fmt(u"%2d", 5), u"5");  // pad character 2, width 0
    EXPECT_EQ(Fmt(u"%d", -2147483647 - 1), u"-2147483648");
    EXPECT_EQ(Fmt(u"%u", 4294967295u), u"4294967295");
    EXPECT_EQ(Fmt(u"%i|%ld", 3, 4), u"3|4");  // l is just a flag character
    EXPECT_EQ(Fmt(u"%*08x", 0xBEEF), u"****beef");
    EXPECT_EQ(Fmt(u"100%%"), u"100%");
}

TEST(String, FormatCharactersTextAndReals) {
    EXPECT_EQ(Fmt(u"%c", 'A'), u"A");
    EXPECT_EQ(Fmt(u"%c", 0xE9), std::u16string(1, static_cast<tb_char>(0xFFE9)));
    EXPECT_EQ(Fmt(u"%C", 0x13042), std::u16string(1, static_cast<tb_char>(0x3042)));
    EXPECT_EQ(Fmt(u"[%s]", "\xE3\x81\x82"), u"[\u3042]");
    EXPECT_EQ(Fmt(u"[%S]", u"wide"), u"[wide]");
    TB_String t(u"obj");
    EXPECT_EQ(Fmt(u"%T/%T", &t, static_cast<TB_String*>(nullptr)), u"obj/");
    EXPECT_EQ(Fmt(u"%.1f", 2.25), u"2.2");
    EXPECT_EQ(Fmt(u"%f", 1.5), u"1.500000");
    EXPECT_EQ(Fmt(nullptr), u"");
    EXPECT_EQ(Fmt(u"tail %"), u"tail ");

    TB_Ref<TB_String> made = TB_Ref<TB_String>::Adopt(TB_String::CreateFormat(u"%d-%d", 1, 2));
    EXPECT_EQ(made->RefCount(), 1);
    EXPECT_TRUE(*made == u"1-2");
}

TEST(String, SplitKeepsEmptyPieces) {
    auto split = [](const tb_char* text) {
        TB_Array<TB_String*>* pieces = TB_String(text).Split(u',');
        std::vector<std::u16string> out;
        for (TB_String* piece : *pieces) {
            out.emplace_back(piece->View());
            piece->Release();
        }
        pieces->Release();
        return out;
    };
    EXPECT_EQ(split(u"a,,b"), (std::vector<std::u16string>{u"a", u"", u"b"}));
    EXPECT_EQ(split(u""), (std::vector<std::u16string>{u""}));
    EXPECT_EQ(split(u"abc"), (std::vector<std::u16string>{u"abc"}));
    EXPECT_EQ(split(u",x,"), (std::vector<std::u16string>{u"", u"x", u""}));

    TB_List<TB_String*> words;
    TB_String(u" two  words").SplitAtSpaces(words);
    std::vector<std::u16string> out;
    for (TB_String* w : words) {
        out.emplace_back(w->View());
    }
    TB_ReleaseAll(words);
    EXPECT_EQ(out, (std::vector<std::u16string>{u"", u"two", u"", u"words"}));
}

TEST(String, Utf8ToUtf16StopsAtTheFirstInvalidSequence) {
    EXPECT_EQ(FromUtf8("\x41\xFF\x42"), u"A");
    EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80").size(), 2u);
    EXPECT_EQ(FromUtf8(std::string("x\xC0\x80y", 4)), u"x");
    EXPECT_EQ(FromUtf8("\xE0\x80\xAF"), u"");      // overlong three-byte form
    EXPECT_EQ(FromUtf8("\xF0\x80\x80\xAF"), u"");  // overlong four-byte form
    EXPECT_EQ(FromUtf8("a\xF4\x90\x80\x80"
                       "b"),
              u"ab");                          // above U+10FFFF: skipped
    EXPECT_EQ(FromUtf8("ok\xE3\x81"), u"ok");  // cut off by the count
    EXPECT_EQ(FromUtf8("\xC3\xA9\xE3\x81\x82"), u"\u00E9\u3042");
    EXPECT_EQ(std::u16string(TB_String("nul\0hidden").View()), u"nul");
}

TEST(String, EncodedSurrogatesAreInvalidAndLoneSurrogatesNeverCutText) {
    // ED A0 80 would decode to the lone unit U+D800; it is invalid UTF-8 like any other.
    EXPECT_EQ(FromUtf8("a\xED\xA0\x80z"), u"a");
    EXPECT_EQ(FromUtf8("a\xED\xBF\xBFz"), u"a");
    EXPECT_EQ(FromUtf8("\xED\x9F\xBF"), u"\uD7FF");  // the last code point before them
    tb_uint cp;
    int used;
    const tb_byte surrogate[] = {0xED, 0xB2, 0x80};
    EXPECT_FALSE(TB_DecodeUtf8(surrogate, 3, cp, used));
    EXPECT_EQ(used, 1);

    TB_String text(u"a\u00E9\u3042\U0001F600");
    EXPECT_STREQ(text.ToUtf8().Chars(), "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80");
    // A lone surrogate keeps its own value wherever it stands; the text after it stays.
    const tb_char loneThenText[] = {u'x', 0xD800, u'y', 0};
    EXPECT_STREQ(TB_String(loneThenText).ToUtf8().Chars(), "x\xED\xA0\x80y");
    EXPECT_EQ(TB_String(loneThenText).ToStdString(), "x\xED\xA0\x80y");
    const tb_char lowThenText[] = {u'x', 0xDC01, u'y', 0xDBFF, 0};
    EXPECT_STREQ(TB_String(lowThenText).ToUtf8().Chars(), "x\xED\xB0\x81y\xED\xAF\xBF");
    EXPECT_STREQ(TB_String(static_cast<const tb_char*>(nullptr)).ToUtf8().Chars(), "");
}

TEST(String, FileNameBytesRoundTripThroughText) {
    // Shift_JIS, Latin-1, a stray continuation byte, an encoded surrogate, a backslash.
    const std::string names[] = {"\x83\x65\x83\x58\x83\x67.wav",
                                 "caf\xE9",
                                 "\x80start",
                                 "\xED\xA0\x80",
                                 "back\\slash",
                                 "\xE3\x81\x82 ok"};
    for (const std::string& name : names) {
        TB_String text = TB_TextFromNative(name.c_str());
        EXPECT_EQ(text.ToStdString(), name);
        EXPECT_STREQ(text.ToUtf8().Chars(), name.c_str());
    }
    EXPECT_EQ(std::u16string(TB_TextFromNative("a\xE9\\").View()), u"a\xDCE9\xDC5C");
    EXPECT_EQ(std::u16string(TB_TextFromNative("\xE3\x81\x82").View()), u"\u3042");
    std::mt19937 random(15);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 12, '\0');
        for (char& b : bytes) {
            b = static_cast<char>(1 + random() % 255);
        }
        ASSERT_EQ(TB_TextFromNative(bytes.c_str()).ToStdString(), bytes);
    }

    // What a JSON escape of an escaped byte parses to comes back as the escape; a plain
    // backslash stays a separator for the location text.
    TB_String json = TB_TextFromEscapedUtf8("/\xED\xB2\x82\xED\xB1\x9C\\x\xFF", 10);
    EXPECT_EQ(std::u16string(json.View()), u"/\xDC82\xDC5C\\x\xDCFF");
    EXPECT_EQ(json.ToStdString(), "/\x82\\\\x\xFF");
}

TEST(String, DisplayTextDecodesEscapedNames) {
    auto display = [](const std::string& native) {
        return std::u16string(TB_DisplayText(TB_TextFromNative(native.c_str())).View());
    };
    // Each part is judged on its own: a Shift_JIS folder inside a UTF-8 one.
    EXPECT_EQ(display("/\xE9\x9F\xB3\xE5\xA3\xB0/\x83\x65\x83\x58\x83\x67/\x95\x5C.wav"),
              u"/\u97F3\u58F0/\u30C6\u30B9\u30C8/\u8868.wav");
    EXPECT_EQ(display("caf\xE9.wav"), u"caf\uFFFD.wav");    // not Shift_JIS either
    EXPECT_EQ(display("\x80\x80x"), u"\uFFFD\uFFFDx");      // one mark per bad byte
    EXPECT_EQ(display("a\\b~"), u"a\\b~");                  // valid UTF-8 stays UTF-8
    EXPECT_EQ(display("\xB1\xB2~\\"), u"\uFF71\uFF72~\\");  // ASCII stays ASCII
    EXPECT_EQ(display("plain/\xE3\x81\x82"), u"plain/\u3042");
    EXPECT_FALSE(TB_HasEscapedBytes(TB_DisplayText(TB_TextFromNative("\x82\xA0\xFF")).View()));
}

TEST(String, RawTextHelpers) {
    tb_char* joined = TB_ConcatText(nullptr, u"b");
    EXPECT_EQ(std::u16string(joined), u"b");
    TB_FreeText(joined);
    tb_char* replaced = TB_ReplaceChar(u"a/b/c", u'/', u"\\\\");
    EXPECT_EQ(std::u16string(replaced), u"a\\\\b\\\\c");
    TB_FreeText(replaced);
    EXPECT_EQ(TB_DuplicateText(nullptr), nullptr);
    EXPECT_EQ(TB_DuplicateText8(nullptr), nullptr);
}

}  // namespace
