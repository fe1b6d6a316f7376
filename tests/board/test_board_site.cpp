// The board against the local site's own board script (SQLite behind it).
#include "board_fixture.h"

namespace orbiq::test {
namespace {

class BoardSiteTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        hosts_ = site_.hosts;
    }
    void OpenAndWait() {
        window_ = LoadMessageBoardWindow(hosts_);
        ASSERT_NE(window_, 0u);
        ASSERT_TRUE(WaitFor([&] { return platform::ReportColumnCount(List()) == 3; }));
        StopRefreshTimer();
    }
    void Send(const char* text) {
        U("留言内容编辑框1").Set(Prop::Text, Text::FromUtf8(text));
        platform::RaiseEvent(U("留言发送按钮1"), "Click");
    }
    Text Row(int32_t row) { return platform::ReportCell(List(), row, 1); }
    LocalSite site_;
};

TEST_F(BoardSiteTest, LoginSendReadBackAndDeleteThroughTheScript) {
    OpenAndWait();
    TypeText(Widget("用户名字编辑框2"), QString::fromUtf8("张三"));
    QTest::keyClick(Widget("用户名字编辑框2"), Qt::Key_Return);
    ASSERT_FALSE(U("留言内容编辑框1").GetBool(Prop::Disabled));

    Send("你好");
    Send("第二条");
    EXPECT_EQ(U("留言内容编辑框1").GetText(Prop::Text), Text());
    ASSERT_GE(platform::ReportRowCount(List()), 2);
    EXPECT_EQ(Row(0), TXT("张三 说: 第二条")) << "newest first";
    EXPECT_EQ(Row(1), TXT("张三 说: 你好"));
    EXPECT_EQ(platform::ReportCell(List(), 0, 0), TXT("游客"));
    EXPECT_NE(platform::ReportCell(List(), 0, 2).Find(TXT("年")), -1) << "the posting time as the query formats it";
    EXPECT_TRUE(Boxes().empty());

    // The name is remembered and the messages are there at the next opening.
    CloseBoard();
    OpenAndWait();
    EXPECT_TRUE(U("用户名字编辑框2").GetText(Prop::Text) == TXT("张三"));
    EXPECT_FALSE(U("留言内容编辑框1").GetBool(Prop::Disabled));
    EXPECT_EQ(Row(0), TXT("张三 说: 第二条"));

    // The moderator code deletes the guest messages.
    Send("*746");
    EXPECT_EQ(U("留言内容说明标签1").GetText(Prop::Caption), TXT("聊天内容："));
    EXPECT_EQ(platform::ReportColumnCount(List()), 3);
    EXPECT_EQ(platform::ReportRowCount(List()), 0) << "the empty board lists no row";
    EXPECT_TRUE(Boxes().empty());
}

// Typed into the message box and sent with Enter; quotes go out doubled, 東 (96 7C) whole.
TEST_F(BoardSiteTest, AnyTextIsStoredAndListedAsTypedAsOneRow) {
    WriteNameFile(Text("O'Neil"));
    OpenAndWait();
    EXPECT_EQ(platform::ReportRowCount(List()), 0) << "an empty board lists no row";
    const char* const texts[] = {"it's", "x'),('游客','ORBIQ管理员 说: hi", "東京", "乗'", "''"};
    int32_t rows = 0;
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        U("留言内容编辑框1").Set(Prop::Text, Text());
        TypeText(Widget("留言内容编辑框1"), QString::fromUtf8(text));
        ASSERT_EQ(U("留言内容编辑框1").GetText(Prop::Text), Text::FromUtf8(text));
        QTest::keyClick(Widget("留言内容编辑框1"), Qt::Key_Return);
        EXPECT_EQ(U("留言内容编辑框1").GetText(Prop::Text), Text()) << "sent";
        ASSERT_EQ(platform::ReportRowCount(List()), ++rows) << "one row per message";
        EXPECT_EQ(Row(0), Text("O'Neil") + TXT(" 说: ") + Text::FromUtf8(text));
        EXPECT_EQ(platform::ReportCell(List(), 0, 0), TXT("游客"));
    }
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace orbiq::test
