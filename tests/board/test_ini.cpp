// INI keys of the platform layer: reading and writing one key in a GBK file.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <string>

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

// Bytes this process has read through read() and the like so far.
long long BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string name;
    long long value = 0;
    while (io >> name >> value)
        if (name == "rchar:") return value;
    return -1;
}

TEST_F(IniTest, AHugeFileIsReadOnlyAsFarAsTheLimitAndNeverRewritten) {
    CreateFolderAt(Text::FromUtf8(dir.path().toStdString()) + Text("\\data\\"));
    const std::string head = "[s]\r\nk=near\r\n";
    const std::string far = "\r\n[t]\r\nk=far\r\n";
    const off_t size = off_t{150} << 20;  // 150 MB, sparse: zeros but for the lines
    {
        int fd = ::open(NativePath(Path()).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
        ASSERT_EQ(::pwrite(fd, far.data(), far.size(), size - static_cast<off_t>(far.size())),
                  static_cast<ssize_t>(far.size()));
        ::close(fd);
    }
    const long long before = BytesRead();
    ASSERT_GE(before, 0);
    EXPECT_EQ(ReadIniKey(Path(), Text("s"), Text("k")), Text("near"));
    EXPECT_EQ(ReadIniKey(Path(), Text("t"), Text("k")), Text()) << "past the limit";
    EXPECT_LT(BytesRead() - before, 4 * static_cast<long long>(kIniReadLimit)) << "two reads of the head only";

    EXPECT_FALSE(WriteIniKey(Path(), Text("s"), Text("k"), Text("new")));
    EXPECT_EQ(FileSizeAt(Path()), static_cast<int64_t>(size));
    EXPECT_EQ(ReadIniKey(Path(), Text("s"), Text("k")), Text("near"));
}

TEST_F(IniTest, ALineCutByTheLimitOrAValueTooLongReadsAsMissing) {
    CreateFolderAt(Text::FromUtf8(dir.path().toStdString()) + Text("\\data\\"));
    // The key's line starts inside the limit and ends past it.
    std::string bytes = "[s]\r\n;" + std::string(kIniReadLimit - 20, 'x') + "\r\nk=" + std::string(40, 'v') + "\r\n";
    Store(bytes);
    EXPECT_EQ(ReadIniKey(Path(), Text("s"), Text("k")), Text());
    Store("[s]\r\n;" + std::string(kIniReadLimit - 13, 'x') + "\r\nk=v\r\n");  // exactly the limit long
    ASSERT_EQ(FileSizeAt(Path()), static_cast<int64_t>(kIniReadLimit));
    EXPECT_EQ(ReadIniKey(Path(), Text("s"), Text("k")), Text("v"));

    struct Case {
        std::string value;
        int32_t maxLength;
        bool read;
    };
    const Case cases[] = {
        {TXT("一二三四五六").Bytes(), 12, true},
        {TXT("一二三四五六").Bytes() + "x", 12, false},
        {std::string(5000, 'x'), 0, true},
        {"", 12, true},
    };
    for (const Case& c : cases) {
        Store("[s]\r\nk=" + c.value + "\r\n");
        EXPECT_EQ(ReadIniKey(Path(), Text("s"), Text("k"), c.maxLength), c.read ? Text(c.value) : Text())
            << c.value.size() << " bytes, limit " << c.maxLength;
    }
}

TEST_F(IniTest, AMissingFolderFailsTheWrite) {
    EXPECT_FALSE(WriteIniKey(Path(), Text("s"), Text("k"), Text("v")));
}

}  // namespace
}  // namespace orbiq::platform
