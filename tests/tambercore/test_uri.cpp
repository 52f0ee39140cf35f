#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "tb_uri.h"

namespace {

std::u16string U(const TB_String& s) {
    return std::u16string(s.View());
}

std::u16string Relative(const tb_char* base, const tb_char* target) {
    TB_String relative(u"untouched");
    TB_Uri(target).MakeRelative(TB_Uri(base), relative);
    return U(relative);
}

TEST(Uri, WindowsStylePathsKeepWorking) {
    TB_Uri uri(u"C:\\data\\voice\\a.WAV");
    EXPECT_EQ(U(uri.GetUri()), u"file://C:/data/voice/a.WAV");
    EXPECT_EQ(U(uri.GetPath()), u"C:/data/voice/a.WAV");
    EXPECT_EQ(U(uri.GetScheme()), u"file");
    EXPECT_EQ(U(uri.GetExtension()), u"wav");
}

TEST(Uri, AbsolutePosixPathsKeepTheirLeadingSlash) {
    TB_Uri uri(u"/home/user/a.wav");
    EXPECT_EQ(U(uri.GetUri()), u"file:///home/user/a.wav");
    EXPECT_EQ(U(uri.GetPath()), u"/home/user/a.wav");

    TB_Uri parent;
    uri.GetParent(parent);
    EXPECT_EQ(U(parent.GetPath()), u"/home/user");
    TB_Uri top(u"/home");
    top.GetParent(parent);
    EXPECT_EQ(U(parent.GetPath()), u"/");

    TB_Uri folder(u"/home/user");
    folder.Append(TB_String(u"LumoVox"));
    EXPECT_EQ(U(folder.GetPath()), u"/home/user/LumoVox");
    TB_Uri normalized(u"/home/user/../other/./x");
    EXPECT_EQ(U(normalized.GetPath()), u"/home/other/x");
}

TEST(Uri, SchemeIsKept) {
    TB_Uri uri(u"http://host\\dir/page");
    EXPECT_EQ(U(uri.GetScheme()), u"http");
    EXPECT_EQ(U(uri.GetUri()), u"http://host/dir/page");
    EXPECT_EQ(U(uri.GetPath()), u"host/dir/page");
}

TEST(Uri, ExtensionComesFromTheLastDotAnywhere) {
    EXPECT_EQ(U(TB_Uri(u"C:/a.b/c").GetExtension()), u"b/c");
    EXPECT_EQ(U(TB_Uri(u"C:/a/README").GetExtension()), u"");
    EXPECT_EQ(U(TB_Uri(u"/x/Song.M4A").GetExtension()), u"m4a");
}

TEST(Uri, Normalize) {
    EXPECT_EQ(U(TB_Uri(u"file://C:/a/./b/../c").GetUri()), u"file://C:/a/c");
    TB_Uri above(u"file://a/../../../..");
    EXPECT_EQ(U(above.GetUri()), u"file://");
    EXPECT_EQ(U(above.GetPath()), u"");
}

TEST(Uri, AnAbsolutePathNeverClimbsAboveTheRoot) {
    EXPECT_EQ(U(TB_Uri(u"/lib/../../x.wav").GetUri()), u"file:///x.wav");
    EXPECT_EQ(U(TB_Uri(u"/lib/../../x.wav").GetPath()), u"/x.wav");
    EXPECT_EQ(U(TB_Uri(u"/a/../..").GetUri()), u"file:///");
    EXPECT_EQ(U(TB_Uri(u"/a/../..").GetPath()), u"/");
    EXPECT_EQ(U(TB_Uri(u"/../../a/./b/..").GetPath()), u"/a");
    EXPECT_EQ(U(TB_Uri(u"file:///..").GetPath()), u"/");
    // Only a relative path can climb above its start, and it then names nothing.
    EXPECT_EQ(U(TB_Uri(u"x/../../y").GetUri()), u"file://");
    EXPECT_EQ(U(TB_Uri(u"file://C:/a/../..").GetUri()), u"file://");
}

TEST(Uri, TrailingAndDoubledSlashesNameTheSameFolder) {
    EXPECT_EQ(U(TB_Uri(u"/home/u/lib/").GetUri()), u"file:///home/u/lib");
    EXPECT_EQ(U(TB_Uri(u"/home//u///lib//").GetPath()), u"/home/u/lib");
    EXPECT_EQ(U(TB_Uri(u"/").GetPath()), u"/");
    TB_String name;
    TB_Uri(u"/home/u/lib/").GetFileName(name);
    EXPECT_EQ(U(name), u"lib");

    // A base that kept its slash (set without normalising) still leads into the folder.
    EXPECT_EQ(Relative(u"/home/u/lib/", u"/home/u/lib/sub/a.wav"), u"sub/a.wav");
    TB_Uri base;
    base.SetUri(TB_String(u"/home/u/lib/"));
    TB_String relative;
    ASSERT_TRUE(TB_Uri(u"/home/u/lib/sub/a.wav").MakeRelative(base, relative));
    EXPECT_EQ(U(relative), u"sub/a.wav");
    TB_Uri root;
    root.SetUri(TB_String(u"/"));
    ASSERT_TRUE(TB_Uri(u"/a.wav").MakeRelative(root, relative));
    EXPECT_EQ(U(relative), u"a.wav");
    EXPECT_EQ(Relative(u"/home/u/lib/x/", u"/home/u/lib/sub/a.wav"), u"../sub/a.wav");
}

TEST(Uri, IsNormalizedAnswersWhetherNormalizeChangesTheText) {
    const tb_char* pieces[] = {u"a", u"b.wav", u".", u"..", u"", u"\\", u"C:", u"x\\y"};
    std::mt19937 random(9);
    for (int round = 0; round < 5000; ++round) {
        std::u16string text = round % 3 == 0 ? u"" : u"/";
        int count = static_cast<int>(random() % 5);
        for (int k = 0; k < count; ++k) {
            text += pieces[random() % 8];
            if (k + 1 < count || random() % 4 == 0) {
                text += u"/";
            }
        }
        TB_Uri uri;
        uri.SetUri(TB_String(text.c_str()));
        if (random() % 3 == 0) {  // Append keeps backslashes; Normalize turns them
            uri.Append(TB_String(pieces[random() % 8]));
        }
        TB_Uri normalized(uri);
        normalized.Normalize();
        ASSERT_EQ(uri.IsNormalized(), uri.GetUri().Equals(normalized.GetUri()))
            << uri.GetUri().ToStdString();
        ASSERT_TRUE(normalized.IsNormalized()) << normalized.GetUri().ToStdString();
    }
    EXPECT_FALSE(TB_Uri().IsNormalized());
}

TEST(Uri, Append) {
    TB_Uri uri(u"file://C:/a/");
    uri.Append(TB_String(u"x"));
    EXPECT_EQ(U(uri.GetUri()), u"file://C:/a/x");
    uri.Append(TB_String(u"y/z.txt"));
    EXPECT_EQ(U(uri.GetUri()), u"file://C:/a/x/y/z.txt");
    EXPECT_EQ(U(uri.GetExtension()), u"txt");

    TB_Uri empty;
    empty.Append(TB_String(u"D:\\q"));
    EXPECT_EQ(U(empty.GetUri()), u"file://D:/q");

    // Long texts are kept whole rather than cut at a fixed buffer size.
    TB_Uri deep(u"/root");
    std::u16string longName(600, u'n');
    deep.Append(TB_String(longName.c_str()));
    EXPECT_EQ(deep.GetPath().Length(), 6 + 600);
}

TEST(Uri, FileNames) {
    TB_String name;
    TB_Uri(u"file://C:/a/b.txt").GetFileName(name);
    EXPECT_EQ(U(name), u"b.txt");
    TB_Uri(u"file://C:/a/b.txt").GetFileNameWithoutExtension(name);
    EXPECT_EQ(U(name), u"b");
    TB_Uri(u"file://C:/a/README").GetFileName(name);
    EXPECT_EQ(U(name), u"README");
    TB_Uri(u"file://C:/a/README").GetFileNameWithoutExtension(name);
    EXPECT_EQ(U(name), u"README");
    TB_Uri(u"/x/.hidden").GetFileNameWithoutExtension(name);
    EXPECT_EQ(U(name), u"");  // a name that is all extension
    TB_Uri(u"/x/archive.tar.gz").GetFileNameWithoutExtension(name);
    EXPECT_EQ(U(name), u"archive.tar");
}

TEST(Uri, Parent) {
    TB_Uri parent;
    TB_Uri(u"file://C:/a/b.txt").GetParent(parent);
    EXPECT_EQ(U(parent.GetUri()), u"file://C:/a");
    TB_Uri(u"file://C:").GetParent(parent);
    EXPECT_EQ(U(parent.GetUri()), u"file://");
    EXPECT_EQ(U(parent.GetPath()), u"");
}

TEST(Uri, MakeRelative) {
    EXPECT_EQ(Relative(u"file://C:/lib", u"file://C:/lib/sub/a.wav"), u"sub/a.wav");
    EXPECT_EQ(Relative(u"file://C:/lib/x", u"file://C:/lib/sub/a.wav"), u"../sub/a.wav");
    EXPECT_EQ(Relative(u"file://C:/a/b/c", u"file://C:/a/x/c/d"), u"../../x/c/d");
    EXPECT_EQ(Relative(u"/srv/lib", u"/srv/lib/Happy/c.mp3"), u"Happy/c.mp3");
    EXPECT_EQ(Relative(u"http://C:/lib", u"file://C:/lib/a"), u"untouched");
}

TEST(Uri, WellKnownFoldersFollowXdgAndNeverGoRelative) {
    const char* savedData = std::getenv("XDG_DATA_HOME");
    std::string saved = savedData ? savedData : "";
    TB_Uri uri;
    setenv("XDG_DATA_HOME", "/tmp/xdg-data", 1);
    TB_Uri::SetToLocalAppDataFolder(uri);
    EXPECT_EQ(U(uri.GetPath()), u"/tmp/xdg-data");
    setenv("XDG_DATA_HOME", "relative/data", 1);
    TB_Uri::SetToLocalAppDataFolder(uri);
    EXPECT_EQ(uri.GetPath().ToStdString(), std::string(std::getenv("HOME")) + "/.local/share");
    if (savedData) {
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }

    TB_Uri module;
    TB_Uri::SetToModuleFolder(module);
    EXPECT_EQ(module.GetPath()[0], u'/');
    EXPECT_TRUE(module.IsDirectory());

    TB_Uri documents;
    TB_Uri::SetToDocumentsFolder(documents);
    EXPECT_EQ(documents.GetPath()[0], u'/');
}

}  // namespace
