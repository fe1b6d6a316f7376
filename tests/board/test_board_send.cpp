// Sending, the warnings of the reply codes, the staff mode, canned texts, copying and the tip.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QComboBox>
#include <QTest>

#include "board_fixture.h"

namespace orbiq::test {
namespace {

class BoardSendTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        WriteNameFile(TXT("张三"));
        script_.Add(TXT("李四 说: 早"), TXT("2026年12月09日 08:00:00"));
        Open();
        StopRefreshTimer();
        ClearBoxes();
    }
    UnitRef Edit() const { return U("留言内容编辑框1"); }
    UnitRef Label() const { return U("留言内容说明标签1"); }
    Text Caption() const { return U("留言发送按钮1").GetText(Prop::Caption); }
    void Type(const char* text) { TypeText(Widget("留言内容编辑框1"), QString::fromUtf8(text)); }
    void SetBox(const char* text) { Edit().Set(Prop::Text, Text::FromUtf8(text)); }
    void Enter() { QTest::keyClick(Widget("留言内容编辑框1"), Qt::Key_Return); }
    int Statements() { return script_.Count("do"); }
    Text LastSql() { return script_.Requests().back().sql; }
};

TEST_F(BoardSendTest, AMessageIsInsertedUnderTheGuestNameAndShowsInTheList) {
    SetBox("你好");
    Enter();
    ASSERT_EQ(Statements(), 1);
    auto reqs = script_.Requests();
    auto insert = std::find_if(reqs.begin(), reqs.end(), [](auto& r) { return r.ac == "do"; });
    EXPECT_EQ(insert->sql, TXT("insert into 留言列表 (客人名称,留言内容) values ('游客','张三 说: 你好')"));
    EXPECT_EQ(insert->mdb, "mdb.mdb");
    EXPECT_EQ(Edit().GetText(Prop::Text), Text());
    EXPECT_EQ(reqs.back().ac, "show") << "the list is refreshed after the insert";
    EXPECT_EQ(platform::ReportCell(List(), 0, 1), TXT("张三 说: 你好"));
    EXPECT_EQ(platform::ReportRowCount(List()), 2);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(BoardSendTest, WhatIsSentAsItStandsAndWhatIsRefused) {
    struct Case {
        const char* text;
        const char* statement;  // nullptr: nothing is sent
    };
    const Case cases[] = {
        {"   ", "insert into 留言列表 (客人名称,留言内容) values ('游客','张三 说:    ')"},
        {"it's", "insert into 留言列表 (客人名称,留言内容) values ('游客','张三 说: it''s')"},
        {"x'),('游客','ORBIQ管理员 说: hi",
         "insert into 留言列表 (客人名称,留言内容) values ('游客','张三 说: x''),(''游客'',''ORBIQ管理员 说: hi')"},
        {"東|a=b", "insert into 留言列表 (客人名称,留言内容,a) values ('游客','张三 说: 東,b')"},
        {"東=", nullptr},
        {"a|b=c", "insert into 留言列表 (客人名称,留言内容,b) values ('游客','张三 说: a,c')"},
        {"a=b", nullptr},
        {"a|b", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SetBox(c.text);
        int before = Statements();
        platform::RaiseEvent(U("留言发送按钮1"), "Click");
        if (c.statement) {
            ASSERT_EQ(Statements(), before + 1);
            auto reqs = script_.Requests();
            auto it = std::find_if(reqs.rbegin(), reqs.rend(), [](auto& r) { return r.ac == "do"; });
            EXPECT_EQ(it->sql, Text::FromUtf8(c.statement));
        } else {
            EXPECT_EQ(Statements(), before);
            EXPECT_EQ(Edit().GetText(Prop::Text), Text::FromUtf8(c.text)) << "the text stays";
        }
    }
    EXPECT_TRUE(Boxes().empty()) << "a refused record shows nothing";
}

TEST_F(BoardSendTest, TheUntouchedPlaceholderIsEmptiedThenAnEmptyBoxIsRefused) {
    ASSERT_EQ(Edit().GetText(Prop::Text), BoardPlaceholder());
    platform::RaiseEvent(U("留言发送按钮1"), "Click");
    EXPECT_EQ(Edit().GetText(Prop::Text), Text());
    EXPECT_TRUE(platform::UnitHasFocus(Edit()));
    EXPECT_TRUE(Boxes().empty());
    platform::RaiseEvent(U("留言发送按钮1"), "Click");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, TXT("请输入内容"));
    EXPECT_EQ(Boxes()[0].title, TXT("提示"));
    EXPECT_EQ(Statements(), 0);
}

TEST_F(BoardSendTest, EnterWithShiftOrCtrlSendsToo) {
    for (Qt::KeyboardModifier m : {Qt::ShiftModifier, Qt::ControlModifier}) {
        SetBox("x");
        int before = Statements();
        QTest::keyClick(Widget("留言内容编辑框1"), Qt::Key_Return, m);
        EXPECT_EQ(Statements(), before + 1);
    }
    SetBox("x");
    QTest::keyClick(Widget("留言内容编辑框1"), Qt::Key_A);
    EXPECT_EQ(Statements(), 2);
}

TEST_F(BoardSendTest, EachFailingReplyShowsItsWarningAndKeepsTheText) {
    struct Case {
        std::string reply;
        const char* warning;
    };
    const Case cases[] = {
        {"-1", "非法操作."},
        {"1", "数据库文件不存在."},
        {"2", "SQL命令出错."},
        {"", "您的发送速度过快，请不要刷屏"},
        {"0\r\n", "您的发送速度过快，请不要刷屏"},
        {"<html>error</html>", "您的发送速度过快，请不要刷屏"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        script_.SetReply(c.reply);
        ClearBoxes();
        SetBox("你好");
        int queries = script_.Count("show");
        Enter();
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].text, Text::FromUtf8(c.warning));
        EXPECT_EQ(Boxes()[0].title, TXT("警告"));
        EXPECT_EQ(Edit().GetText(Prop::Text), TXT("你好"));
        EXPECT_EQ(script_.Count("show"), queries) << "no refresh after a failed send";
    }
}

TEST_F(BoardSendTest, ASendToADeadScriptWarnsAsTooFast) {
    Text dead(Loopback(ClosedPort()));
    CloseBoard();
    hosts_.board = dead;
    Open(false);
    ASSERT_TRUE(WaitFor([&] { return Boxes().size() == 1; })) << "the loading thread's warning";
    StopRefreshTimer();
    SetBox("你好");
    Enter();
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[1].text, TXT("您的发送速度过快，请不要刷屏"));
    EXPECT_EQ(Edit().GetText(Prop::Text), TXT("你好"));
}

TEST_F(BoardSendTest, TypingTheModeratorCodeOffersTheStaffMode) {
    Edit().Set(Prop::Text, Text());
    std::vector<Text> captions;
    for (const char* ch : {"*", "7", "4", "6"}) {
        Type(ch);
        captions.push_back(Caption());
    }
    EXPECT_EQ(captions, (std::vector<Text>{TXT("发送"), TXT("发送"), TXT("发送"), TXT("删除")}));
    EXPECT_EQ(Label().GetText(Prop::Caption), TXT("客服上线："));
    EXPECT_EQ(Label().GetInt(Prop::TextColour), 255);
    Type(" ");
    EXPECT_EQ(Caption(), TXT("发送")) << "the code and a blank is not the code";
    EXPECT_EQ(Label().GetText(Prop::Caption), TXT("客服上线："));
    EXPECT_EQ(Label().GetInt(Prop::TextColour), 255);

    // The offer outlasts the code: a click confirms it.
    QTest::mouseClick(Widget("留言内容说明标签1"), Qt::LeftButton);
    EXPECT_EQ(Label().GetText(Prop::Caption), TXT("客服在线："));
    EXPECT_EQ(Label().GetInt(Prop::TextColour), 255);
    EXPECT_EQ(U("用户名字编辑框2").GetText(Prop::Text), StaffName());
    EXPECT_EQ(U("用户名字编辑框2").GetInt(Prop::MaxLength), 50);
    EXPECT_EQ(Edit().GetText(Prop::Text), Text());
    EXPECT_EQ(Caption(), TXT("发送"));

    SetBox("大家好");
    Enter();
    EXPECT_EQ(LastSql(), BoardMessageQuery());
    auto reqs = script_.Requests();
    auto it = std::find_if(reqs.rbegin(), reqs.rend(), [](auto& r) { return r.ac == "do"; });
    EXPECT_EQ(it->sql, TXT("insert into 留言列表 (客人名称,留言内容) values ('游客','ORBIQ管理员 说: 大家好')"));
    EXPECT_EQ(platform::ReadIniKey(UserNameFilePath(), TXT("用户信息"), TXT("姓名")), TXT("张三"));

    // Closing and opening again: chat state, the login name.
    CloseBoard();
    Open();
    EXPECT_EQ(U("留言内容说明标签1").GetText(Prop::Caption), TXT("聊天内容："));
    EXPECT_EQ(U("用户名字编辑框2").GetText(Prop::Text), TXT("张三"));
}

TEST_F(BoardSendTest, DeletingTheGuestMessages) {
    struct Case {
        bool confirmStaff;
        const char* labelAfter;
    };
    for (Case c : {Case{false, "聊天内容："}, Case{true, "客服在线："}}) {
        SCOPED_TRACE(c.labelAfter);
        SetBox("*746");
        if (c.confirmStaff) {
            QTest::mouseClick(Widget("留言内容说明标签1"), Qt::LeftButton);
            SetBox("*746");
            EXPECT_EQ(Label().GetInt(Prop::TextColour), 255) << "the code in the staff state keeps the colour";
        }
        ASSERT_EQ(Caption(), TXT("删除"));
        int queries = script_.Count("show");
        Enter();
        auto reqs = script_.Requests();
        auto it = std::find_if(reqs.rbegin(), reqs.rend(), [](auto& r) { return r.ac == "do"; });
        EXPECT_EQ(it->sql, TXT("delete from 留言列表 where 客人名称='游客'"));
        EXPECT_EQ(script_.Count("show"), queries + 1);
        EXPECT_EQ(platform::ReportRowCount(List()), 0) << "the script's empty table";
        EXPECT_EQ(platform::ReportColumnCount(List()), 3);
        EXPECT_EQ(Label().GetText(Prop::Caption), Text::FromUtf8(c.labelAfter));
        EXPECT_EQ(Label().GetInt(Prop::TextColour), 0);
        EXPECT_EQ(Edit().GetText(Prop::Text), Text());
        EXPECT_EQ(Caption(), TXT("发送"));
    }
    // A failed deletion: the warning, and the list is refreshed all the same.
    script_.SetReply("2");
    SetBox("*746");
    int queries = script_.Count("show");
    Enter();
    EXPECT_EQ(script_.Count("show"), queries + 1);
    ASSERT_GE(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, TXT("SQL命令出错."));
}

TEST_F(BoardSendTest, AClickOnTheChatLabelPastes) {
    QGuiApplication::clipboard()->setText(QString::fromUtf8("剪贴板的字"));
    SetBox("");
    QTest::mouseClick(Widget("留言内容说明标签1"), Qt::LeftButton);
    EXPECT_EQ(Edit().GetText(Prop::Text), TXT("剪贴板的字"));
}

// The message box takes 60 bytes: a paste keeps the whole characters of the clipboard's text
// that fit where it goes, as an edit control does, and is refused only when none fits.
TEST_F(BoardSendTest, APasteIsCutToWhatFitsByWholeCharacters) {
    const std::string forty = [] {
        std::string s;
        for (int i = 0; i < 40; ++i) s += "字";
        return s;
    }();
    auto chars = [](int n, const char* c) {
        std::string s;
        for (int i = 0; i < n; ++i) s += c;
        return s;
    };
    struct Case {
        std::string box;
        int cursor;  // -1: at the end
        bool selectAll;
        std::string clipboard;
        std::string expected;
    };
    const Case cases[] = {
        {"", -1, false, forty, chars(30, "字")},
        {"a", -1, false, forty, "a" + chars(29, "字")},           // 59 bytes: half a character never goes in
        {"ab", 1, false, forty, "a" + chars(29, "字") + "b"},     // in the middle, the rest kept
        {chars(28, "好") + "x", -1, false, "ab中文cd", chars(28, "好") + "xab"},  // 59 bytes: 中 would make 61
        {chars(30, "好"), -1, false, "x", chars(30, "好")},       // full: refused
        {chars(30, "好"), -1, true, "xyz", "xyz"},                // replacing the selection
    };
    for (bool keys : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.box + " + " + c.clipboard + (keys ? " (Ctrl+V)" : " (chat label)"));
            auto* line = qobject_cast<QLineEdit*>(Widget("留言内容编辑框1"));
            ASSERT_NE(line, nullptr);
            SetBox(c.box.c_str());
            line->setCursorPosition(c.cursor < 0 ? static_cast<int>(line->text().size()) : c.cursor);
            if (c.selectAll) line->selectAll();
            QGuiApplication::clipboard()->setText(QString::fromStdString(c.clipboard));
            if (keys) QTest::keyClick(line, Qt::Key_V, Qt::ControlModifier);
            else QTest::mouseClick(Widget("留言内容说明标签1"), Qt::LeftButton);
            EXPECT_EQ(Edit().GetText(Prop::Text), Text::FromUtf8(c.expected));
        }
    }
    // The system's own writes are not cut.
    SetBox((forty + "x").c_str());
    EXPECT_EQ(Edit().GetText(Prop::Text), Text::FromUtf8(forty + "x"));
}

TEST_F(BoardSendTest, CannedTexts) {
    platform::RaiseEvent(U("图形按钮1"), "Click");
    EXPECT_EQ(Edit().GetText(Prop::Text), Text()) << "emptied even when nothing is chosen";
    EXPECT_TRUE(platform::ComboDroppedDown(U("组合框1")));
    U("组合框1").Set(Prop::SelectedIndex, 1);
    EXPECT_EQ(Edit().GetText(Prop::Text), TXT("B:收电在线音乐"));
    platform::SendUnitMessage(U("组合框1"), platform::kCbShowDropDown, 0, 0);
}

TEST_F(BoardSendTest, ChoosingTheSameCannedTextAgainFillsTheBoxAgain) {
    auto* combo = qobject_cast<QComboBox*>(Widget("组合框1"));
    ASSERT_NE(combo, nullptr);
    platform::RaiseEvent(U("图形按钮1"), "Click");
    combo->setCurrentIndex(1);
    emit combo->activated(1);  // the user picks an item from the list
    EXPECT_EQ(Edit().GetText(Prop::Text), TXT("B:收电在线音乐"));
    platform::RaiseEvent(U("图形按钮1"), "Click");
    EXPECT_EQ(Edit().GetText(Prop::Text), Text());
    emit combo->activated(1);  // the same item once more
    EXPECT_EQ(Edit().GetText(Prop::Text), TXT("B:收电在线音乐"));
}

TEST_F(BoardSendTest, CannedTextsWorkBeforeTheLogin) {
    CloseBoard();
    DeleteFileAt(UserNameFilePath());
    Open();
    ASSERT_TRUE(U("留言内容编辑框1").GetBool(Prop::Disabled));
    platform::RaiseEvent(U("图形按钮1"), "Click");
    U("组合框1").Set(Prop::SelectedIndex, 2);
    platform::SendUnitMessage(U("组合框1"), platform::kCbShowDropDown, 0, 0);
    EXPECT_EQ(Edit().GetText(Prop::Text), TXT("C:关闭所有节目"));
    TypeText(Widget("用户名字编辑框2"), QString::fromUtf8("小红"));
    QTest::keyClick(Widget("用户名字编辑框2"), Qt::Key_Return);
    EXPECT_FALSE(U("留言内容编辑框1").GetBool(Prop::Disabled));
    EXPECT_EQ(Edit().GetText(Prop::Text), TXT("C:关闭所有节目"));
}

TEST_F(BoardSendTest, ADoubleClickCopiesAndASelectionShowsThePostingTime) {
    QCursor::setPos(300, 200);
    U("超级列表框1").Set(Prop::SelectedIndex, 0);
    EXPECT_EQ(platform::BalloonTipText(U("气球提示框1")), TXT("2026年12月09日 08:00:00 发表"));
    int32_t x = 0, y = 0;
    platform::BalloonTipPoint(U("气球提示框1"), &x, &y);
    EXPECT_EQ(x, QCursor::pos().x());
    EXPECT_EQ(y, QCursor::pos().y());

    platform::RaiseEvent(List(), "DoubleClick");
    EXPECT_EQ(platform::ClipboardText(), TXT("李四 说: 早"));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, TXT("内容以成功复制到剪帖板"));
    EXPECT_EQ(Boxes()[0].title, Text());

    // No row selected: an empty text on the clipboard, the confirmation all the same.
    U("超级列表框1").Set(Prop::SelectedIndex, -1);
    EXPECT_EQ(platform::BalloonTipText(U("气球提示框1")), TXT(" 发表"));
    platform::RaiseEvent(List(), "DoubleClick");
    EXPECT_EQ(platform::ClipboardText(), Text());
    EXPECT_EQ(Boxes().size(), 2u);
}

}  // namespace
}  // namespace orbiq::test
