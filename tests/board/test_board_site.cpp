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
    for (int32_t r = 0; r < platform::ReportRowCount(List()); ++r) EXPECT_EQ(Row(r), Text());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(BoardSiteTest, AQuoteInTheTextIsSentUnchangedAndTheScriptRefusesIt) {
    WriteNameFile(TXT("张三"));
    OpenAndWait();
    Send("it's");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, TXT("SQL命令出错."));
    EXPECT_EQ(Boxes()[0].title, TXT("警告"));
    EXPECT_EQ(U("留言内容编辑框1").GetText(Prop::Text), Text("it's")) << "the text stays";
}

}  // namespace
}  // namespace orbiq::test
