// Qt's own texts in the program's windows are Chinese whatever the locale: the open-file
// dialog, the edit boxes' and the web views' menus.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <string>

#include "player/main_window.h"
#include "player/small_windows.h"
#include "player_fixture.h"

namespace orbiq::test {
namespace {

class InterfaceLanguageTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        platform::SetOpenFileDialogResponder(nullptr);  // the real dialog
    }
    std::unique_ptr<LocalSite> site_ = std::make_unique<LocalSite>();
};

// A text without its accelerator: "文件名称(&N)：" -> "文件名称："
QString Plain(QString text) { return text.remove(QRegularExpression("\\(&?\\w\\)")).remove('&'); }

// The texts of a menu's entries without accelerators and shortcuts.
QStringList MenuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            out << Plain(a->text().section('\t', 0, 0));
    return out;
}

TEST_F(InterfaceLanguageTest, OpenFileDialogIsChinese) {
    Start(site_->hosts);
    QStringList labels, buttons;
    QString title;
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (!dialog || !dialog->isVisible()) continue;
            seen = true;
            title = dialog->windowTitle();
            for (QLabel* l : dialog->findChildren<QLabel*>())
                if (!l->text().isEmpty()) labels << Plain(l->text());
            for (QPushButton* b : dialog->findChildren<QPushButton*>()) buttons << Plain(b->text());
            dialog->reject();
        }
    });
    poll.start(50);
    // An earlier test that closed its start window inside a nested loop ended the message loop,
    // which leaves every later QEventLoop::exec (the dialog's) returning at once until the
    // application's own exec has run: let it run for a moment.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    OnOpenFileItemClick();
    poll.stop();
    ASSERT_TRUE(seen) << "no dialog";
    EXPECT_EQ(title, QString::fromUtf8("打开"));
    for (const char* text : {"查找范围：", "文件名称：", "文件类型："})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text << " in " << labels.join('|').toStdString();
    for (const char* text : {"打开", "取消"})
        EXPECT_TRUE(buttons.contains(QString::fromUtf8(text))) << text << " in " << buttons.join('|').toStdString();
}

TEST_F(InterfaceLanguageTest, EditAndWebMenusAreChinese) {
    const QStringList editMenu = QString::fromUtf8("撤消|重做|剪切|复制|粘贴|删除|全选").split('|');
    Start(site_->hosts);
    // A one-line box of MainWindow and the multi-line boxes of the report window.
    auto* line = qobject_cast<QLineEdit*>(platform::WidgetOf(UnitRef{gMainWindow, "系统2"}));
    ASSERT_NE(line, nullptr);
    std::unique_ptr<QMenu> lineMenu(line->createStandardContextMenu());
    EXPECT_EQ(MenuTexts(lineMenu.get()), editMenu);

    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QPlainTextEdit*>(platform::WidgetOf(UnitRef{gReportWindow, "编辑框4"}));
        if (box) {
            std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
            EXPECT_EQ(MenuTexts(menu.get()), editMenu);
            ran = true;
        }
        platform::DestroyWindow(gReportWindow);
    });
    OnReportChannelItemClick();
    EXPECT_TRUE(ran);

    // The sponsor window's web views: the entries of their menu.
    ran = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* view = qobject_cast<QWebEngineView*>(platform::WidgetOf(UnitRef{gSponsorWindow, "超文本浏览框1"}));
        if (!view) return;
        poll.stop();
        const std::pair<QWebEnginePage::WebAction, const char*> actions[] = {
            {QWebEnginePage::Back, "后退"}, {QWebEnginePage::Forward, "前进"}, {QWebEnginePage::Reload, "重新加载"},
            {QWebEnginePage::ViewSource, "查看页面源代码"}, {QWebEnginePage::Copy, "复制"}};
        for (auto& [action, text] : actions)
            EXPECT_EQ(view->page()->action(action)->text(), QString::fromUtf8(text)) << text;
        ran = true;
        platform::DestroyWindow(gSponsorWindow);
    });
    poll.start(20);
    OnSponsorButtonClick();
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace orbiq::test
