// INI keys of the platform layer: reading and writing one key in a GBK file.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "common/files.h"
#include "platform/ui/program.h"

namespace orbiq::platform {
namespace {

class IniTest : public ::testing::Test {
protected:
    Text Path() const { return Text::FromUtf8(dir.path().toStdString()) + Text("\\data\\\\server.dat"); }
    void Store(const std::string& bytes) { WriteFileAt(Path(), ByteSet(bytes.begin(), bytes.end())); }
    std::string Stored() {
        ByteSet b = ReadFileAt(Path());
        return std::string(b.begin(), b.end());
    }
    QTemporaryDir dir;
};

TEST_F(IniTest, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(ReadIniKey(Path(), Text("s"), Text("k")), Text());
    CreateFolderAt(Text::FromUtf8(dir.path().toStdString()) + Text("\\data\\"));
    Store("[other]\r\nk=1\r\n[s]\r\nj=2\r\n");
    EXPECT_EQ(ReadIniKey(Path(), Text("s"), Text("k")), Text());
    EXPECT_EQ(ReadIniKey(Path(), Text("other"), Text("k")), Text("1"));
}

TEST_F(IniTest, ReadsNamesLooselyAndValuesAsWritten) {
    CreateFolderAt(Text::FromUtf8(dir.path().toStdString()) + Text("\\data\\"));
    Store("; note\n[ Sec ]\n  Key = a b \nk2==x\n");
    EXPECT_EQ(ReadIniKey(Path(), Text("sec"), Text("KEY")), Text(" a b "));
    EXPECT_EQ(ReadIniKey(Path(), Text("sec"), Text("k2")), Text("=x"));
}

TEST_F(IniTest, WritingReplacesOrAddsOneKeyAndKeepsTheRest) {
    CreateFolderAt(Text::FromUtf8(dir.path().toStdString()) + Text("\\data\\"));
    const Text section = TXT("用户信息"), key = TXT("姓名");
    ASSERT_TRUE(WriteIniKey(Path(), section, key, TXT("张三")));
    EXPECT_EQ(Stored(), "[" + section.Bytes() + "]\r\n" + key.Bytes() + "=" + TXT("张三").Bytes() + "\r\n");

    Store("[a]\r\nx=1\r\n\r\n[" + section.Bytes() + "]\r\nother=2\r\n\r\n[b]\r\ny=3\r\n");
    ASSERT_TRUE(WriteIniKey(Path(), section, key, TXT("李四")));
    EXPECT_EQ(Stored(), "[a]\r\nx=1\r\n\r\n[" + section.Bytes() + "]\r\nother=2\r\n" + key.Bytes() + "=" +
                            TXT("李四").Bytes() + "\r\n\r\n[b]\r\ny=3\r\n");
    ASSERT_TRUE(WriteIniKey(Path(), section, key, Text(" ")));
    EXPECT_EQ(ReadIniKey(Path(), section, key), Text(" "));
    EXPECT_EQ(ReadIniKey(Path(), Text("b"), Text("y")), Text("3"));

    // A line end in a value cannot start a line of its own.
    ASSERT_TRUE(WriteIniKey(Path(), section, key, Text("x\r\n[b]\r\ny=evil")));
    EXPECT_EQ(ReadIniKey(Path(), Text("b"), Text("y")), Text("3"));
}

TEST_F(IniTest, NamesMatchByGbkCharacters) {
    CreateFolderAt(Text::FromUtf8(dir.path().toStdString()) + Text("\\data\\"));
    // 81 5D ends in "]"; 81 41 and 81 61 are two characters, not one in two cases.
    const Text section("s\x81]"), upper("k\x81\x41"), lower("k\x81\x61");
    Store("[s\x81]]\r\nk\x81\x41=upper\r\nk\x81\x61=lower\r\n");
    EXPECT_EQ(ReadIniKey(Path(), section, lower), Text("lower"));
    EXPECT_EQ(ReadIniKey(Path(), section, upper), Text("upper"));
    EXPECT_EQ(ReadIniKey(Path(), Text("s\x81"), upper), Text()) << "the section does not end inside a character";
    ASSERT_TRUE(WriteIniKey(Path(), section, lower, Text("new")));
    EXPECT_EQ(Stored(), "[s\x81]]\r\nk\x81\x41=upper\r\nk\x81\x61=new\r\n");
}

TEST_F(IniTest, AMissingFolderFailsTheWrite) {
    EXPECT_FALSE(WriteIniKey(Path(), Text("s"), Text("k"), Text("v")));
}

}  // namespace
}  // namespace orbiq::platform
