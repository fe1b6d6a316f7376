#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "common/files.h"
#include "common/text.h"

namespace orbiq {
namespace {

TEST(Text, CountsGbkBytesAndConvertsBothWays) {
    Text t = TXT("中文ab");
    EXPECT_EQ(t.Length(), 6);
    EXPECT_EQ(t.ToUtf8(), "中文ab");
    EXPECT_EQ(t.Bytes(), std::string("\xD6\xD0\xCE\xC4" "ab"));
}

TEST(Text, CharactersOutsideGbkBecomeQuestionMarks) {
    // An emoji has no GBK form; a broken UTF-8 byte neither.
    EXPECT_EQ(Text::FromUtf8("a\xF0\x9F\x98\x80" "b").Bytes(), "a?b");
    EXPECT_EQ(Text::FromUtf8("a\xFF" "b").Bytes(), "a?b");
    // A lone GBK lead byte at the end does not swallow anything.
    EXPECT_EQ(GbkToUtf8(std::string("x\xD6")), "x?");
}

TEST(Text, FindIsOneBasedAndMinusOneWhenAbsent) {
    struct Case { const char* hay; const char* needle; int from; int expected; };
    const Case cases[] = {
        {"abcabc", "c", 1, 3}, {"abcabc", "c", 4, 6}, {"abcabc", "x", 1, -1},
        {"abc", "", 2, 2},     {"abc", "a", 9, -1},   {"", "a", 1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.hay).Find(Text(c.needle), c.from), c.expected) << c.hay << " / " << c.needle;
    EXPECT_EQ(Text("Set-COOKIE: x").FindNoCase(Text("set-cookie: ")), 1);
    // Only A to Z fold: GBK bytes are compared as they are.
    EXPECT_EQ(TXT("中").FindNoCase(Text("\xF6\xF0")), -1);
}

TEST(Text, CuttingKeepsEveryPiece) {
    struct Case { const char* text; const char* sep; std::vector<std::string> pieces; };
    const Case cases[] = {
        {"a|b|c", "|", {"a", "b", "c"}},
        {"|a||", "|", {"", "a", "", ""}},
        {"", "|", {""}},
        {"abc", "|", {"abc"}},
        {"a[R]b[R]", "[R]", {"a", "b", ""}},
        {"aaa", "aa", {"", "a"}},  // no overlap
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const Text& p : CutText(Text(c.text), Text(c.sep))) got.push_back(p.Bytes());
        EXPECT_EQ(got, c.pieces) << c.text;
    }
}

// 東 is 96 7C and 乗 81 5C: their second bytes are "|" and "\\". 81 27 is no character:
// the lone lead byte stays a byte of its own and the quote after it is found.
TEST(Text, SearchingGoesByGbkCharacters) {
    struct Case { std::string hay, needle; int from; int expected; };
    const Case cases[] = {
        {"a\x96|b|", "|", 1, 5},
        {"\x81\\\\", "\\", 1, 3},
        {"x\x81'", "'", 1, 3},
        {"\x81", "\x81", 1, 1},
        {"\x96|", "\x96", 1, -1},          // a match does not end inside a character
        {"\x96|\x96|", "\x96|", 2, 3},    // from inside a character: the next one
        {"\xFF|", "|", 1, 2},               // FF is no lead byte
        {"\x80|", "|", 1, 2},               // nor is 80
        {"\x81\x7F|", "|", 1, 3},          // 7F is no trail byte
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.hay).Find(Text(c.needle), c.from), c.expected) << testing::PrintToString(c.hay);
    // Only single-byte letters fold: 81 41 and 81 61 are different characters.
    EXPECT_EQ(Text("x\x81\x41").FindNoCase(Text("X\x81\x61")), -1);
    EXPECT_EQ(Text("x\x81\x41").FindNoCase(Text("X\x81\x41")), 1);
    EXPECT_EQ(Text("A\x81\x41Z").LowerAscii(), Text("a\x81\x41z"));
}

TEST(Text, CuttingGoesByGbkCharacters) {
    struct Case { std::string text, sep; std::vector<std::string> pieces; };
    const Case cases[] = {
        {"\x96|a|b", "|", {"\x96|a", "b"}},
        {"a=\x96|=b", "=", {"a", "\x96|", "b"}},
        {"\x81|x", "|", {"\x81\x7C" "x"}},  // 81 7C is one character
        {"x\x81'|y", "|", {"x\x81'", "y"}},   // a lone lead byte before a quote takes nothing
        {"a\x81", "|", {"a\x81"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const Text& p : CutText(Text(c.text), Text(c.sep))) got.push_back(p.Bytes());
        EXPECT_EQ(got, c.pieces) << testing::PrintToString(c.text);
    }
}

TEST(Text, ALoneLeadByteNeverSwallowsTheNextByte) {
    EXPECT_EQ(GbkToUtf8(std::string("\x81'x'")), "?'x'");
    EXPECT_EQ(GbkToUtf8(std::string("\x96|")), "東");
    EXPECT_EQ(DoubleQuotes(Text("it's \x81'")), Text("it''s \x81''"));
    EXPECT_EQ(DoubleQuotes(TXT("x'),('游客','ORBIQ管理员 说: hi")), TXT("x''),(''游客'',''ORBIQ管理员 说: hi"));
}

TEST(Text, ReadsLeadingIntegersAndSaturates) {
    struct Case { const char* text; int32_t value; };
    const Case cases[] = {{"1234", 1234}, {"007", 7}, {" -12x", -12}, {"x1", 0}, {"", 0},
                          {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (const Case& c : cases) EXPECT_EQ(Text(c.text).ToInt32(), c.value) << c.text;
}

TEST(NativePathTest, MapsBackslashesAfterConvertingToUtf8) {
    struct Case {
        Text path;
        std::string native;
    };
    const Case cases[] = {
        {Text("/opt/orbiq") + Text("\\iead.dll"), "/opt/orbiq/iead.dll"},
        {Text("/opt/orbiq") + Text("\\data\\\\server.dat"), "/opt/orbiq/data/server.dat"},
        {Text("relative/a\\b"), "relative/a/b"},
        // The second byte of this character is 0x5C in GBK.
        {Text("/tmp/") + TXT("淺水\\解码器.exe"), "/tmp/淺水/解码器.exe"},
        {Text(), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(NativePath(c.path), c.native) << c.native;
}

// Folders the system names keep every byte behind their text: characters outside GBK, a
// byte that is no UTF-8, a backslash in a native name.
TEST(NativePathTest, NativeFoldersKeepWhatTheirTextCannotHold) {
    const std::string folder = "/tmp/\xe6\xb5\x8b\xe8\xaf\x95-\xc5\x91-\xed\x95\x9c\xea\xb5\xad";  // 测试-ő-한국
    const Text text = TextOfNativePath(folder);
    EXPECT_EQ(text, TXT("/tmp/测试-?-??")) << "shown as the system shows a character outside GBK";
    const std::string chosen = folder + "/clip \xc5\x91.wav";
    const Text chosenText = TextOfNativePath(chosen);
    struct Case {
        const char* what;
        Text path;
        std::string native;
    };
    const Case cases[] = {
        {"the folder itself", text, folder},
        {"a handler's suffix", text + Text("\\iead.dll"), folder + "/iead.dll"},
        {"a doubled separator", text + Text("\\data\\\\server.dat"), folder + "/data/server.dat"},
        {"a file chosen in it", chosenText, chosen},
        {"a name that only starts alike", text + Text("x\\a"), "/tmp/\xe6\xb5\x8b\xe8\xaf\x95-?-??x/a"},
        {"no UTF-8", TextOfNativePath("/tmp/bad\xff") + Text("\\f"), "/tmp/bad\xff/f"},
        {"a backslash in a native name", TextOfNativePath("/tmp/\xc5\x91\\x"), "/tmp/\xc5\x91\\x"},
        {"a path GBK holds", TextOfNativePath("/opt/orbiq") + Text("\\a"), "/opt/orbiq/a"},
    };
    for (const Case& c : cases) EXPECT_EQ(NativePath(c.path), c.native) << c.what;

    // The files are the native ones.
    char tmpl[] = "/tmp/orbiq-native-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string real = std::string(tmpl) + "/\xe6\xb5\x8b\xe8\xaf\x95-\xc5\x91-\xed\x95\x9c\xea\xb5\xad";
    ASSERT_EQ(::mkdir(real.c_str(), 0755), 0);
    const Text file = TextOfNativePath(real) + Text("\\iead.dll");
    EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(WriteFileAt(file, ByteSet{1, 2, 3}));
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(ReadFileAt(file), (ByteSet{1, 2, 3}));
    EXPECT_TRUE(std::filesystem::is_regular_file(real + "/iead.dll"));
    std::filesystem::remove_all(tmpl);
}

}  // namespace
}  // namespace orbiq
