// Opens DecoderDownloadWindow against a local server that trickles the installer out, and
// keeps it up for a screenshot. Usage: decoder_window_show [seconds] [kilobytes per second]
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "platform/ui/program.h"
#include "platform/ui/ui.h"
#include "update/decoder_window.h"
#include "update/update_globals.h"
#include "listening.h"
#include "show_program.h"

int main(int argc, char** argv) {
    using namespace orbiq;
    test::ShowProgram program(argc, argv);
    platform::SetDownloadFolderForTests(Text::FromUtf8(program.folder().path().toStdString()));
    platform::SetOpenOrRunHook([](const Text&) {});

    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const size_t perSecond = (argc > 2 ? std::atoi(argv[2]) : 300) * size_t{1024};
    auto data = std::make_shared<const std::string>(3 << 20, 'x');
    httplib::Server server;
    server.Get("/web/orbiq_zyjiema.exe", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(data->size(), "application/octet-stream",
                                 [&, data](size_t offset, size_t length, httplib::DataSink& sink) {
                                     std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                     return sink.write(data->data() + offset, std::min(length, perSecond / 10));
                                 });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread = orbiq::test::ListenInBackground(server);

    RemoteHosts hosts;
    hosts.download = Text("127.0.0.1:" + std::to_string(port));
    InitialiseUpdateGlobals();
    QTimer::singleShot(seconds * 1000, [] { platform::DestroyWindow(gDecoderWindow); });
    OpenDecoderDownloadWindow(hosts);
    ReleaseUpdateGlobals();
    server.stop();
    thread.join();
    return 0;
}
