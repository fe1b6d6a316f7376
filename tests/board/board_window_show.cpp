// Opens MessageBoardWindow against a small board script on 127.0.0.1 and keeps it up for a
// screenshot. Usage: board_window_show [seconds] [name] ("" leaves the login waiting)
#include <httplib.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <clocale>
#include <cstdlib>
#include <string>
#include <thread>

#include "board/board_window.h"
#include "common/files.h"
#include "platform/ui/program.h"
#include "platform/ui/ui.h"
#include "listening.h"
#include "show_program.h"

int main(int argc, char** argv) {
    using namespace orbiq;
    test::ShowProgram program(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const Text name = argc > 2 ? Text::FromUtf8(argv[2]) : TXT("张三");
    if (!name.Empty()) {
        CreateFolderAt(platform::ProgramFolder() + Text("\\data\\"));
        platform::WriteIniKey(UserNameFilePath(), TXT("用户信息"), TXT("姓名"), name);
    }

    httplib::Server server;
    server.Post("/box/boo1/wms.asp", [](const httplib::Request&, httplib::Response& res) {
        const std::string col = "[ZOTRAMEK/Col]", row = "[ZOTRAMEK/row]";
        std::string out = TXT("客人名称").Bytes() + col + TXT("留言内容").Bytes() + col + TXT("时间").Bytes();
        const char* texts[] = {"张三 说: 今晚的球赛哪个台直播？", "李四 说: 体育频道，九点开始", "王五 说: 音乐台的声音有点小",
                               "ORBIQ管理员 说: 已经调好了，谢谢反馈", "小明 说: 大家好！"};
        for (const char* t : texts)
            out += row + TXT("游客").Bytes() + col + Text::FromUtf8(t).Bytes() + col + TXT("2026年12月10日 09:30:00").Bytes();
        res.set_content(out, "text/html");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener = orbiq::test::ListenInBackground(server);

    RemoteHosts hosts;
    hosts.board = Text("127.0.0.1:" + std::to_string(port));
    const uint64_t window = LoadMessageBoardWindow(hosts);
    QTimer::singleShot(seconds * 1000, [&] {
        platform::DestroyWindow(window);
        QCoreApplication::quit();
    });
    program.app().exec();
    server.stop();
    listener.join();
    return 0;
}
