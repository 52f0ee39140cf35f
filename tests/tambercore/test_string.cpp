#include <gtest/gtest.h>

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

TEST(String, Utf16ToUtf8RoundTripsAndStopsAtUnpairedSurrogates) {
    TB_String text(u"a\u00E9\u3042\U0001F600");
    EXPECT_STREQ(text.ToUtf8().Chars(), "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80");

    const tb_char loneThenText[] = {u'x', 0xD800, u'y', 0};
    EXPECT_STREQ(TB_String(loneThenText).ToUtf8().Chars(), "x");
    const tb_char loneAtEnd[] = {u'x', 0xDC01, 0};
    EXPECT_STREQ(TB_String(loneAtEnd).ToUtf8().Chars(), "x\xED\xB0\x81");
    EXPECT_STREQ(TB_String(static_cast<const tb_char*>(nullptr)).ToUtf8().Chars(), "");
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
