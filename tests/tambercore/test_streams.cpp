#include <gtest/gtest.h>
#include <iconv.h>
#include <rapidjson/document.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "tb_filestream.h"
#include "tb_memorystream.h"
#include "tb_shiftjis.h"
#include "tb_streamreader.h"
#include "test_util.h"

namespace {

TB_Uri UriOf(const std::string& path) {
    return TB_Uri(TB_String(path.c_str()));
}

std::vector<std::u16string> ReadLines(TB_Stream* stream, TB_TextEncoding encoding,
                                      bool keepCr = false) {
    TB_StreamReader reader(stream, encoding);
    reader.SetKeepCarriageReturns(keepCr);
    std::vector<std::u16string> lines;
    while (reader.HasMore()) {
        TB_Ref<TB_String> line = TB_Ref<TB_String>::Adopt(reader.ReadLine());
        lines.emplace_back(line->View());
    }
    return lines;
}

std::vector<std::u16string> ReadMemory(const std::string& bytes, TB_TextEncoding encoding,
                                       bool keepCr = false) {
    auto stream = TB_Ref<TB_MemoryStream>::Adopt(
        new TB_MemoryStream(bytes.data(), static_cast<tb_int64>(bytes.size()), false));
    return ReadLines(stream.Get(), encoding, keepCr);
}

std::vector<std::u16string> ReadFileLines(const std::string& path, TB_TextEncoding encoding) {
    auto stream = TB_Ref<TB_FileStream>::Adopt(new TB_FileStream(UriOf(path), TB_FileMode::Read));
    EXPECT_TRUE(stream->IsOpen());
    return ReadLines(stream.Get(), encoding);
}

using Lines = std::vector<std::u16string>;

TEST(StreamReader, Utf8LineEndsAndByteOrderMarks) {
    EXPECT_EQ(ReadMemory("a\r\nb", TB_TextEncoding::Utf8), (Lines{u"a", u"b"}));
    EXPECT_EQ(ReadMemory("a\r\nb", TB_TextEncoding::Utf8, true), (Lines{u"a\r", u"b"}));
    EXPECT_EQ(ReadMemory("one\ntwo\n", TB_TextEncoding::Utf8), (Lines{u"one", u"two"}));
    EXPECT_EQ(ReadMemory("\n\nx", TB_TextEncoding::Utf8), (Lines{u"", u"", u"x"}));
    // A byte-order mark is dropped wherever it stands, in long and in short chunks.
    EXPECT_EQ(ReadMemory("\xEF\xBB\xBFhead,er\nmid\xEF\xBB\xBF"
                         "dle line\n",
                         TB_TextEncoding::Utf8),
              (Lines{u"head,er", u"middle line"}));
    EXPECT_EQ(ReadMemory("\xEF\xBB\xBFok", TB_TextEncoding::Utf8), (Lines{u"ok"}));
}

TEST(StreamReader, Utf8FourByteCharactersAtChunkBordersAndAtTheEnd) {
    const std::string smile = "\xF0\x9F\x98\x80";
    for (size_t prefix = 248; prefix <= 256; ++prefix) {
        std::string text = std::string(prefix, 'x') + smile + "y\n" + smile;
        Lines lines = ReadMemory(text, TB_TextEncoding::Utf8);
        ASSERT_EQ(lines.size(), 2u) << prefix;
        EXPECT_EQ(lines[0], std::u16string(prefix, u'x') + u"\U0001F600y") << prefix;
        EXPECT_EQ(lines[1], u"\U0001F600");
    }
}

TEST(StreamReader, LongLinesAreAssembledWithoutLossOrDoubling) {
    std::string line;
    for (int i = 0; i < 1000; ++i) {
        line += "\xE3\x81\x82" + std::to_string(i % 10);  // three-byte characters cross borders
    }
    Lines lines = ReadMemory(line + "\n" + line, TB_TextEncoding::Utf8);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 2000u);
    EXPECT_EQ(lines[0], lines[1]);
    EXPECT_EQ(lines[0].substr(0, 4), u"\u30420\u30421");

    TempFolder temp;
    std::string huge(10 * 1024 * 1024, 'z');
    WriteFile(temp / "huge.txt", huge + "\nend\n");
    Lines fromFile = ReadFileLines(temp / "huge.txt", TB_TextEncoding::Utf8);
    ASSERT_EQ(fromFile.size(), 2u);
    EXPECT_EQ(fromFile[0].size(), huge.size());
    EXPECT_EQ(fromFile[1], u"end");
}

TEST(StreamReader, InvalidUtf8DecodesToNothingAndNeverStalls) {
    // Stray continuation bytes, a bad lead, an overlong form, a truncated sequence at the end.
    EXPECT_EQ(ReadMemory("a\x80\xBF"
                         "b\xFF"
                         "c\xC0\xAF"
                         "d\n\xE3\x81",
                         TB_TextEncoding::Utf8),
              (Lines{u"abcd", u""}));
    EXPECT_EQ(ReadMemory("long enough line\xE3", TB_TextEncoding::Utf8),
              (Lines{u"long enough line"}));
    EXPECT_EQ(ReadMemory(std::string("nul\0byte", 8), TB_TextEncoding::Utf8), (Lines{u"nulbyte"}));
    // An encoded surrogate is invalid too: it never becomes a lone unit in the line.
    EXPECT_EQ(ReadMemory("a\xED\xA0\x80z\xED\xBF\xBF\n", TB_TextEncoding::Utf8), (Lines{u"az"}));

    auto stream =
        TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream("\xF0\x9F\x98\x80z", 5, false));
    TB_StreamReader reader(stream.Get(), TB_TextEncoding::Utf8);
    EXPECT_EQ(reader.Read(), 0x1F600u);
    EXPECT_EQ(stream->GetPosition(), 4);
    EXPECT_EQ(reader.Read(), u'z');
    EXPECT_EQ(reader.Read(), 0u);
}

TEST(StreamReader, Utf16AndReadToEnd) {
    std::string bytes("a\0\r\0\n\0\x42\x30", 8);
    EXPECT_EQ(ReadMemory(bytes, TB_TextEncoding::Utf16), (Lines{u"a", u"\u3042"}));
    EXPECT_EQ(ReadMemory(bytes + "x", TB_TextEncoding::Utf16), (Lines{u"a", u"\u3042"}));

    auto utf16 = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream(bytes.data(), 8, false));
    TB_StreamReader reader16(utf16.Get(), TB_TextEncoding::Utf16);
    EXPECT_EQ(TB_Ref<TB_String>::Adopt(reader16.ReadToEnd())->View(), u"a\r\n\u3042");

    const std::string text = "first\nsecond \xE3\x81\x82";
    auto utf8 = TB_Ref<TB_MemoryStream>::Adopt(
        new TB_MemoryStream(text.data(), static_cast<tb_int64>(text.size()), false));
    TB_StreamReader reader8(utf8.Get(), TB_TextEncoding::Utf8);
    TB_Ref<TB_String>::Adopt(reader8.ReadLine());
    EXPECT_EQ(TB_Ref<TB_String>::Adopt(reader8.ReadToEnd())->View(), u"second \u3042");
    EXPECT_FALSE(reader8.HasMore());

    auto sjis = TB_Ref<TB_MemoryStream>::Adopt(new TB_MemoryStream("x", 1, false));
    TB_StreamReader readerSjis(sjis.Get(), TB_TextEncoding::ShiftJis);
    EXPECT_EQ(readerSjis.ReadToEnd(), nullptr);
    EXPECT_EQ(readerSjis.Read(), 0u);
}

TEST(StreamReader, ShiftJisSpecialCases) {
    // Half-width katakana, a combining pair, a plane-2 character, a lead byte at a chunk end.
    std::string text = "\xB1\x82\xF5\n\xFC\xF4\n";
    EXPECT_EQ(ReadMemory(text, TB_TextEncoding::ShiftJis),
              (Lines{u"\uFF71\u304B\u309A", u"\U0002A6B2"}));
    std::string border = std::string(255, 'a') + "\x82\xA0" + "b";
    Lines lines = ReadMemory(border, TB_TextEncoding::ShiftJis);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::u16string(255, u'a') + u"\u3042b");
    // A lead byte with no trail byte neither swallows the line feed nor stalls at the end.
    EXPECT_EQ(ReadMemory("x\x82\ny\x82", TB_TextEncoding::ShiftJis), (Lines{u"x", u"y"}));
    EXPECT_EQ(ReadMemory("\x82", TB_TextEncoding::ShiftJis), (Lines{u""}));
}

// Decodes a Shift_JIS-2004 byte string with glibc into UTF-16.
std::u16string IconvDecode(const std::string& bytes) {
    iconv_t converter = iconv_open("UTF-16LE", "SHIFT_JISX0213");
    std::string out(bytes.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv(converter, nullptr, nullptr, &outPtr, &outLeft);
    iconv_close(converter);
    size_t units = (out.size() - outLeft) / 2;
    std::u16string result(units, u'\0');
    std::memcpy(result.data(), out.data(), units * 2);
    return result;
}

TEST(StreamReader, ShiftJisFileMatchesAnIndependentDecoderLineByLine) {
    iconv_t probe = iconv_open("UTF-16LE", "SHIFT_JISX0213");
    if (probe == reinterpret_cast<iconv_t>(-1)) {
        GTEST_SKIP() << "no SHIFT_JISX0213 converter";
    }
    iconv_close(probe);
    const tb_uint* table = TB_ShiftJisTable();
    std::vector<std::string> codes;
    for (tb_uint code = 0x8140; code <= 0xFCFC; ++code) {
        tb_byte lead = static_cast<tb_byte>(code >> 8);
        tb_byte trail = static_cast<tb_byte>(code & 0xFF);
        if (TB_IsShiftJisLead(lead) && TB_IsShiftJisTrail(trail) && table[code] != 0 &&
            code != 0x8160 && code != 0x815F && code != 0x81B0) {
            codes.push_back(std::string{static_cast<char>(lead), static_cast<char>(trail)});
        }
    }
    for (char c = 0x20; c < 0x7F; ++c) {
        codes.push_back(std::string(1, c));
    }
    std::mt19937 random(2026);
    std::string file;
    std::vector<std::string> sourceLines;
    for (int line = 0; line < 400; ++line) {
        std::string bytes;
        int length = static_cast<int>(random() % 300);
        for (int k = 0; k < length; ++k) {
            bytes += codes[random() % codes.size()];
        }
        sourceLines.push_back(bytes);
        file += bytes + (line % 3 == 0 ? "\r\n" : "\n");
    }
    TempFolder temp;
    WriteFile(temp / "table.csv", file);
    Lines lines = ReadFileLines(temp / "table.csv", TB_TextEncoding::ShiftJis);
    ASSERT_EQ(lines.size(), sourceLines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i], IconvDecode(sourceLines[i])) << "line " << i + 1;
    }
}

TEST(StreamReader, RandomBytesNeverCrashOrLoop) {
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(random() % 700, '\0');
        for (char& b : bytes) {
            b = static_cast<char>(random() % 4 == 0 ? "\n\r\xEF\x82"[random() % 4] : random());
        }
        for (TB_TextEncoding encoding :
             {TB_TextEncoding::Utf8, TB_TextEncoding::Utf16, TB_TextEncoding::ShiftJis}) {
            Lines lines = ReadMemory(bytes, encoding);
            EXPECT_LE(lines.size(), bytes.size() + 1);
        }
    }
}

// The reader's rules, one sequence at a time over the whole text: a line ends at a line
// feed; NUL, byte-order marks, code points above U+10FFFF, bytes that do not decode and
// carriage returns give nothing. Read() returns one decoded code point (0 for none).
struct ReferenceReader {
    const std::string& bytes;
    size_t at = 0;

    tb_uint Next(bool& valid) {
        tb_uint cp;
        int used;
        valid = TB_DecodeUtf8(reinterpret_cast<const tb_byte*>(bytes.data()) + at,
                              static_cast<tb_int64>(bytes.size() - at), cp, used);
        at += static_cast<size_t>(used);
        return cp;
    }
    std::u16string Line() {
        std::u16string line;
        while (at < bytes.size()) {
            bool valid;
            tb_uint cp = Next(valid);
            if (valid && cp == u'\n') {
                break;
            }
            if (!valid || cp == 0 || cp == 0xFEFF || cp == u'\r' || cp > 0x10FFFF) {
                continue;
            }
            if (cp > 0xFFFF) {
                line.push_back(static_cast<tb_char>(0xD800 + ((cp - 0x10000) >> 10)));
                line.push_back(static_cast<tb_char>(0xDC00 + (cp & 0x3FF)));
            } else {
                line.push_back(static_cast<tb_char>(cp));
            }
        }
        return line;
    }
    tb_uint Char() {
        bool valid;
        tb_uint cp = Next(valid);
        return valid ? cp : 0;
    }
};

TEST(StreamReader, Utf8LinesAndPositionsMatchTheRulesAcrossReadAheadBorders) {
    const char* pieces[] = {"a",
                            "xyz,",
                            "\n",
                            "\r\n",
                            "\xE3\x81\x82",
                            "\xF0\x9F\x98\x80",
                            "\xEF\xBB\xBF",
                            "\xED\xA0\x80",
                            "\xC3",
                            "\xFF",
                            "\x80",
                            "\xF4\x90\x80\x80",
                            "\x01",
                            "\t"};
    std::mt19937 random(16);
    TempFolder temp;
    for (int round = 0; round < 120; ++round) {
        std::string bytes;
        size_t size = random() % 3 == 0 ? random() % 300 : random() % 50000;
        while (bytes.size() < size) {
            if (random() % 3 == 0) {
                bytes += std::string(random() % 200, 'q');  // long ASCII runs
            } else {
                bytes += pieces[random() % 14];
            }
        }
        bytes.push_back('\0');
        bytes.push_back(static_cast<char>(random() % 2 ? '\n' : '\xE3'));
        WriteFile(temp / "r.txt", bytes);
        for (int kind = 0; kind < 2; ++kind) {
            TB_Ref<TB_Stream> stream =
                kind == 0 ? TB_Ref<TB_Stream>::Adopt(new TB_MemoryStream(
                                bytes.data(), static_cast<tb_int64>(bytes.size()), false))
                          : TB_Ref<TB_Stream>::Adopt(
                                new TB_FileStream(UriOf(temp / "r.txt"), TB_FileMode::Read));
            TB_StreamReader reader(stream.Get(), TB_TextEncoding::Utf8);
            ReferenceReader reference{bytes};
            int lines = 0;
            while (reader.HasMore()) {
                ASSERT_LT(lines++, 1000000);
                if (random() % 20 == 0) {  // a single character between lines
                    ASSERT_EQ(reader.Read(), reference.Char()) << round;
                } else {
                    TB_Ref<TB_String> line = TB_Ref<TB_String>::Adopt(reader.ReadLine());
                    ASSERT_EQ(std::u16string(line->View()), reference.Line())
                        << round << " line " << lines;
                }
                ASSERT_EQ(stream->GetPosition(), static_cast<tb_int64>(reference.at)) << round;
                if (random() % 25 == 0) {  // someone else moves the stream
                    reference.at = random() % (bytes.size() + 1);
                    stream->Seek(static_cast<tb_int64>(reference.at), TB_SeekOrigin::Begin);
                }
            }
            EXPECT_EQ(reference.at, bytes.size());
        }
    }
}

TEST(FileStream, ModesAndLength) {
    TempFolder temp;
    const std::string path = temp / "f.bin";
    {
        TB_FileStream missing(UriOf(path), TB_FileMode::Read);
        EXPECT_FALSE(missing.IsOpen());
        EXPECT_EQ(missing.Read(nullptr, 4), 0);
        EXPECT_EQ(missing.Write("x", 1), 0);
    }
    {
        TB_FileStream create(UriOf(path), TB_FileMode::Create);
        ASSERT_TRUE(create.IsOpen());
        EXPECT_EQ(create.Write("hello", 5), 5);
        EXPECT_EQ(create.GetLength(), 0);  // taken once at open
        EXPECT_EQ(create.GetPosition(), 5);
    }
    {
        TB_FileStream append(UriOf(path), TB_FileMode::Append);
        EXPECT_EQ(append.GetLength(), 5);
        EXPECT_EQ(append.GetPosition(), 5);
        append.Write(" world", 6);
    }
    EXPECT_EQ(ReadFile(path), "hello world");
    {
        TB_FileStream again(UriOf(path), TB_FileMode::Create);
        again.Write("new", 3);
    }
    EXPECT_EQ(ReadFile(path), "new");
    {
        TB_FileStream both(UriOf(path), TB_FileMode::ReadWrite);
        char buffer[8] = {};
        EXPECT_EQ(both.Read(buffer, 8), 3);
        EXPECT_EQ(both.Seek(1, TB_SeekOrigin::Begin), 1);
        both.Write("E", 1);
        EXPECT_EQ(both.Seek(0, TB_SeekOrigin::Begin), 0);
        EXPECT_EQ(both.Read(buffer, 3), 3);
        EXPECT_EQ(std::string(buffer, 3), "nEw");
        EXPECT_EQ(both.Seek(-1, TB_SeekOrigin::End), 2);
    }
    TB_FileStream directory(UriOf(temp.Path()), TB_FileMode::Read);
    EXPECT_FALSE(directory.IsOpen());
    TB_FileStream empty(TB_Uri(), TB_FileMode::Read);
    EXPECT_FALSE(empty.IsOpen());
    // Only a regular file is read: a pipe with nobody at its other end would block the open
    // for good, and a device never ends. Neither opens, at once; nor does a write to a pipe.
    ASSERT_EQ(mkfifo((temp / "pipe").c_str(), 0600), 0);
    for (const std::string& special : {temp / "pipe", std::string("/dev/zero")}) {
        TB_FileStream read(UriOf(special), TB_FileMode::Read);
        EXPECT_FALSE(read.IsOpen()) << special;
    }
    TB_FileStream intoPipe(UriOf(temp / "pipe"), TB_FileMode::Create);
    EXPECT_FALSE(intoPipe.IsOpen());
}

TEST(FileStream, ReadingStopsWhenTheFileShrinksAfterOpening) {
    TempFolder temp;
    WriteFile(temp / "shrink.txt", std::string(5000, 'a') + "\n");
    auto stream = TB_Ref<TB_FileStream>::Adopt(
        new TB_FileStream(UriOf(temp / "shrink.txt"), TB_FileMode::Read));
    ASSERT_EQ(truncate((temp / "shrink.txt").c_str(), 100), 0);
    Lines lines = ReadLines(stream.Get(), TB_TextEncoding::Utf8);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 100u);
}

TEST(FileStream, ParseJsonSkipsAByteOrderMark) {
    TempFolder temp;
    WriteFile(temp / "a.json", "\xEF\xBB\xBF{\"k\": [1, 2]}");
    TB_FileStream stream(UriOf(temp / "a.json"), TB_FileMode::Read);
    rapidjson::Document document;
    ASSERT_TRUE(stream.ParseJson(document));
    ASSERT_FALSE(document.HasParseError());
    EXPECT_EQ(document["k"][1].GetInt(), 2);

    WriteFile(temp / "bad.json", "{\"k\": ");
    TB_FileStream bad(UriOf(temp / "bad.json"), TB_FileMode::Read);
    rapidjson::Document broken;
    EXPECT_TRUE(bad.ParseJson(broken));
    EXPECT_TRUE(broken.HasParseError());

    TB_FileStream missing(UriOf(temp / "none.json"), TB_FileMode::Read);
    EXPECT_FALSE(missing.ParseJson(broken));
}

TEST(MemoryStream, GrowableAndFixed) {
    TB_MemoryStream growable;
    EXPECT_EQ(growable.Capacity(), 1024);
    std::string block(1500, 'q');
    EXPECT_EQ(growable.Write(block.data(), 1500), 1500);
    EXPECT_EQ(growable.Capacity(), 2524);
    EXPECT_EQ(growable.GetLength(), 1500);
    growable.Seek(0, TB_SeekOrigin::Begin);
    growable.Write("0123456789", 10);
    EXPECT_EQ(growable.GetLength(), 10);  // a write inside cuts the stream after it
    char buffer[16] = {};
    growable.Seek(-4, TB_SeekOrigin::End);
    EXPECT_EQ(growable.Read(buffer, 16), 4);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(growable.Read(buffer, 16), 0);

    // A position seeked far past the capacity still writes inside the block.
    growable.Seek(5000, TB_SeekOrigin::Begin);
    EXPECT_EQ(growable.Write("end", 3), 3);
    EXPECT_EQ(growable.GetLength(), 5003);
    EXPECT_GE(growable.Capacity(), 5003);
    EXPECT_EQ(growable.Data()[4999], 0);
    growable.Seek(-10000, TB_SeekOrigin::Current);
    EXPECT_EQ(growable.Read(buffer, 1), 0);
    EXPECT_EQ(growable.Write("x", 1), 0);

    char fixedBytes[4] = {'a', 'b', 'c', 'd'};
    TB_MemoryStream fixed(fixedBytes, 4, false);
    fixed.Seek(2, TB_SeekOrigin::Begin);
    EXPECT_EQ(fixed.Write("XYZ", 3), 2);  // never past the length
    EXPECT_EQ(std::string(fixedBytes, 4), "abXY");
    EXPECT_EQ(fixed.GetLength(), 4);
    EXPECT_EQ(fixed.WriteByte('!'), 0);
}

TEST(FileSystem, ListingAndCreatingFolders) {
    TempFolder temp;
    WriteFile(temp / "lib/a.wav", "a");
    WriteFile(temp / "lib/sub/b.wav", "b");
    WriteFile(temp / "lib/sub/deeper/c.wav", "c");
    TB_Uri lib = UriOf(temp / "lib");
    EXPECT_TRUE(lib.IsDirectory());
    EXPECT_FALSE(lib.IsFile());
    EXPECT_TRUE(UriOf(temp / "lib/a.wav").IsFile());
    EXPECT_FALSE(UriOf(temp / "lib/none").IsFile());

    auto names = [](TB_List<TB_Uri*>& list) {
        std::vector<std::string> out;
        for (TB_Uri* uri : list) {
            TB_String name;
            uri->GetFileName(name);
            out.push_back(name.ToStdString());
        }
        std::sort(out.begin(), out.end());
        TB_ReleaseAll(list);
        return out;
    };
    TB_List<TB_Uri*> list;
    lib.ListFiles(list, false);
    EXPECT_EQ(names(list), (std::vector<std::string>{"a.wav"}));
    lib.ListFiles(list, true);
    EXPECT_EQ(names(list), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));
    lib.ListDirectories(list);
    EXPECT_EQ(names(list), (std::vector<std::string>{"sub"}));
    UriOf(temp / "missing").ListFiles(list, true);
    EXPECT_EQ(list.Count(), 0);

    TB_Uri deep = UriOf(temp / "x/y/z");
    EXPECT_TRUE(deep.CreateDirectories());
    EXPECT_TRUE(deep.IsDirectory());

    if (geteuid() != 0) {  // root reads every folder whatever its mode
        chmod((temp / "lib/sub").c_str(), 0);
        UriOf(temp / "lib/sub").ListFiles(list, true);
        EXPECT_EQ(list.Count(), 0);
        chmod((temp / "lib/sub").c_str(), 0755);
    }
}

TEST(FileSystem, NamesThatAreNotUtf8AreListedOnceUnderTheirOwnBytes) {
    TempFolder temp;
    const std::string lib = temp / "lib";
    // A Shift_JIS folder holding a name whose second byte is a backslash, two folders whose
    // names start with a byte that is not UTF-8, a backslash in a name, and a link back up.
    const std::vector<std::string> files = {
        lib + "/\x83\x65\x83\x58\x83\x67/\x95\x5C.wav",
        lib +
            "/\x80"
            "first/b.wav",
        lib + "/\xFFsecond/c.wav", lib + "/\xFFsecond/deeper/d.wav", lib + "/back\\slash.wav"};
    for (const std::string& file : files) {
        WriteFile(file, file);
    }
    ASSERT_EQ(symlink(lib.c_str(), (lib + "/\xFFsecond/up").c_str()), 0);

    TB_List<TB_Uri*> list;
    UriOf(lib).ListFiles(list, true);
    std::vector<std::string> listed;
    for (TB_Uri* uri : list) {
        listed.push_back(uri->GetPath().ToStdString());
        TB_FileStream stream(*uri, TB_FileMode::Read);
        ASSERT_TRUE(stream.IsOpen()) << listed.back();
        std::string content(static_cast<size_t>(stream.GetLength()), '\0');
        stream.Read(content.data(), stream.GetLength());
        EXPECT_EQ(content, listed.back());
    }
    TB_ReleaseAll(list);
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> expected = files;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);

    UriOf(lib).ListDirectories(list);
    EXPECT_EQ(list.Count(), 3);
    for (TB_Uri* uri : list) {
        EXPECT_TRUE(uri->IsDirectory()) << uri->GetPath().ToStdString();
    }
    TB_ReleaseAll(list);
    TB_Uri sjis = UriOf(lib);
    sjis.Append(TB_TextFromNative("\x83\x65\x83\x58\x83\x67"));
    sjis.ListFiles(list, false);
    ASSERT_EQ(list.Count(), 1);
    TB_String name;
    list[0]->GetFileName(name);
    EXPECT_EQ(TB_DisplayText(name).View(), u"\u8868.wav");
    TB_ReleaseAll(list);
}

}  // namespace

// A replaced file keeps its permission bits (a private file stays private), a symbolic link
// is written through (the link stays a link), and leftovers of interrupted saves are cleared
// while files of live processes and of other naming are left alone.
TEST(FileStream, AtomicWritesKeepModeAndLinksAndLeftoversAreCleared) {
    TempFolder temp;
    std::string privatePath = temp / "private.json";
    WriteFile(privatePath, "old");
    chmod(privatePath.c_str(), 0600);
    ASSERT_TRUE(TB_WriteFileAtomically(TB_Uri(TB_String(privatePath.c_str())), "new", 3));
    struct stat info {};
    ASSERT_EQ(stat(privatePath.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadFile(privatePath), "new");

    std::string real = temp / "real/settings.json";
    WriteFile(real, "old");
    std::string link = temp / "link.json";
    ASSERT_EQ(symlink("real/settings.json", link.c_str()), 0);
    ASSERT_TRUE(TB_WriteFileAtomically(TB_Uri(TB_String(link.c_str())), "through", 7));
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFile(real), "through");
    // A dangling link gets its target made.
    std::string dangling = temp / "dangling.json";
    ASSERT_EQ(symlink("real/later.json", dangling.c_str()), 0);
    ASSERT_TRUE(TB_WriteFileAtomically(TB_Uri(TB_String(dangling.c_str())), "made", 4));
    EXPECT_EQ(ReadFile(temp / "real/later.json"), "made");

    pid_t dead = fork();
    if (dead == 0) {
        _exit(0);
    }
    waitpid(dead, nullptr, 0);
    std::string target = temp / "setting.json";
    WriteFile(target + ".tmp-" + std::to_string(dead), "{");
    WriteFile(target + ".tmp-1", "{");  // process 1 always runs
    WriteFile(target + ".tmp-x1", "{");
    WriteFile(temp / ("other.json.tmp-" + std::to_string(dead)), "{");
    EXPECT_EQ(TB_RemoveStaleTemporaries(TB_Uri(TB_String(target.c_str()))), 1);
    EXPECT_FALSE(std::filesystem::exists(target + ".tmp-" + std::to_string(dead)));
    EXPECT_TRUE(std::filesystem::exists(target + ".tmp-1"));
    EXPECT_TRUE(std::filesystem::exists(target + ".tmp-x1"));
    EXPECT_TRUE(std::filesystem::exists(temp / ("other.json.tmp-" + std::to_string(dead))));
}
