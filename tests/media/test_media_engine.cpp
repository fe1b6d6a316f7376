// The libmpv engine against real streams: a local HTTP server, real files and folders,
// dead and stalled addresses. Runs headless (offscreen: ao=null, video drawn by the software renderer).
#include <gtest/gtest.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>

#include "common/text.h"
#include "platform/media/media_engine.h"
#include "platform/media/mpv_engine.h"
#include "platform/media/stream_playlist.h"
#include "engine_recorder.h"
#include "listening.h"
#include "tone_wav.h"

namespace orbiq::platform {
namespace {

using namespace std::chrono_literals;
using test::ToneWav;

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Local files and an HTTP server shared by all tests.
class Media : public testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        root = dir_.path().toStdString();
        tone = ToneWav(1.0);
        WriteFile(root + "/tone.wav", tone);
        QDir(dir_.path()).mkdir(QStringLiteral("folder"));
        WriteFile(root + "/folder/tone.wav", tone);  // what mpv would play if it took the folder as a playlist
        WriteFile(root + "/" + GbkToUtf8(Utf8ToGbk("频道.wav")), tone);
        longTone = ToneWav(30.0);

        server.Get("/tone.wav", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(tone, "audio/wav");
        });
        server.Get("/long.wav", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(longTone, "audio/wav");
        });
        server.Get("/junk.bin", [](const httplib::Request&, httplib::Response& res) {
            std::string junk(20000, '\0');
            for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 7919 + 13) % 251);
            res.set_content(junk, "application/octet-stream");
        });
        // A live MP3 stream (64 kbit/s) that delivers two seconds, then nothing more until
        // the test ends. MP3 because libavformat starts it from a few kilobytes; a WAV stream
        // of unknown length is probed up to 5 MB.
        const std::string mp3 = root + "/stalls.mp3";
        const std::string make = "ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:duration=10 -ac 1 "
                                 "-c:a libmp3lame -b:a 64k '" + mp3 + "'";
        if (std::system(make.c_str()) == 0) stallingMp3 = ReadFile(mp3);
        server.Get("/stalls.mp3", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("audio/mpeg", [this](size_t offset, httplib::DataSink& sink) {
                const size_t twoSeconds = std::min<size_t>(16000, stallingMp3.size());
                if (offset < twoSeconds) return sink.write(stallingMp3.data() + offset, std::min<size_t>(4096, twoSeconds - offset));
                std::this_thread::sleep_for(50ms);
                return !released.load();
            });
        });
        // White pictures of two shapes, so the drawn video stands out from black bars.
        for (const auto& [name, size] : {std::pair{"4x3", "320x240"}, std::pair{"16x9", "320x180"}}) {
            const std::string clip = root + "/" + name + ".mp4";
            const std::string makeClip = std::string("ffmpeg -loglevel error -y -f lavfi -i color=c=white:size=") + size +
                                         ":rate=25:duration=20 -pix_fmt yuv420p -c:v libx264 -preset ultrafast '" + clip + "'";
            if (std::system(makeClip.c_str()) == 0) clips[name] = clip;
        }
        // Windows Media playlists, typed as Windows Media servers type them.
        server.Get("/playlist.asx", [this](const httplib::Request&, httplib::Response& res) {
            // The first entry is dead, the second is relative to the playlist.
            res.set_content("<ASX version=\"3.0\">\r\n <Entry><Ref HREF=\"http://127.0.0.1:" + std::to_string(deadPort) +
                                "/gone.wav\"/></Entry>\r\n <Entry><Ref href=\"long.wav\"/></Entry>\r\n</ASX>\r\n",
                            "video/x-ms-asf");
        });
        server.Get("/reference.asf", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content("[Reference]\r\nRef1=http://127.0.0.1:" + std::to_string(port) + "/long.wav\r\n", "video/x-ms-asf");
        });
        port = server.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port, 0);
        thread_ = orbiq::test::ListenInBackground(server);
    }
    void TearDown() override {
        released = true;
        server.stop();
        if (thread_.joinable()) thread_.join();
    }

    Text Http(const std::string& path) const {
        return Text("http://127.0.0.1:" + std::to_string(port) + path);
    }

    std::string root;
    std::string tone, longTone, stallingMp3;
    std::map<std::string, std::string> clips;  // "4x3", "16x9" -> file
    httplib::Server server;
    int port = 0;
    int deadPort = RefusedPort();
    std::atomic<bool> released{false};

private:
    QTemporaryDir dir_;
    std::thread thread_;
};

Media* gMedia = nullptr;

TEST(MediaEngine, HttpStreamPlaysThroughTheStatesAndEndsAsTheControlDoes) {
    Player p;
    p.engine->SetUrl(gMedia->Http("/tone.wav"));
    ASSERT_TRUE(p.rec.WaitFor(wmppsStopped, 8s));
    EXPECT_EQ(p.rec.states, (std::vector<int>{wmppsTransitioning, wmppsBuffering, wmppsPlaying, wmppsMediaEnded, wmppsStopped}));
    EXPECT_TRUE(p.rec.Settled());
    p.rec.ExpectClean();
}

TEST(MediaEngine, LocalFileWithGbkNamePlays) {
    Player p;
    p.engine->SetUrl(Text::FromUtf8(gMedia->root + "/频道.wav"));
    EXPECT_TRUE(p.rec.WaitFor(wmppsPlaying));
    p.rec.ExpectClean();
}

TEST(MediaEngine, NewUrlWhilePlayingGoesStraightToTransitioning) {
    Player p;
    p.engine->SetUrl(gMedia->Http("/long.wav"));
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying));
    const size_t mark = p.rec.states.size();
    p.engine->SetUrl(gMedia->Http("/long.wav?again"));
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying, 5s, mark));
    EXPECT_EQ(p.rec.Since(mark), (std::vector<int>{wmppsTransitioning, wmppsBuffering, wmppsPlaying}));
    p.rec.ExpectClean();
}

struct StopCase {
    const char* name;
    bool emptyUrl;  // else controls.stop
};

class Stopping : public testing::TestWithParam<StopCase> {};

TEST_P(Stopping, PlayingStreamStops) {
    Player p;
    const Text url = gMedia->Http("/long.wav");
    p.engine->SetUrl(url);
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying));
    const size_t mark = p.rec.states.size();
    if (GetParam().emptyUrl) p.engine->SetUrl(Text());
    else p.engine->Stop();
    ASSERT_TRUE(p.rec.WaitFor(wmppsStopped, 3s, mark));
    EXPECT_EQ(p.rec.Since(mark), std::vector<int>{wmppsStopped});
    EXPECT_TRUE(p.rec.Settled());
    EXPECT_EQ(p.engine->Url(), GetParam().emptyUrl ? Text() : url);
    p.rec.ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(MediaEngine, Stopping,
                         testing::Values(StopCase{"EmptyUrl", true}, StopCase{"ControlsStop", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every address that cannot be played ends in ready after transitioning, and stays there.
TEST(MediaEngine, UnplayableAddressesSettleAtReady) {
    SilentPort silent;
    struct Failure {
        const char* name;
        Text url;
    };
    const std::vector<Failure> failures = {
        {"refused port", Text("http://127.0.0.1:" + std::to_string(RefusedPort()) + "/tone.wav")},
        {"404", gMedia->Http("/missing.wav")},
        {"not media", gMedia->Http("/junk.bin")},
        {"missing local file", Text(gMedia->root + "/missing.wav")},
        {"server that never answers", Text("http://127.0.0.1:" + std::to_string(silent.Port()) + "/tone.wav")},
        {"RTSP server that never answers", Text("rtsp://127.0.0.1:" + std::to_string(silent.Port()) + "/live")},
        {"MMS server that never answers", Text("mmst://127.0.0.1:" + std::to_string(silent.Port()) + "/live")},
    };
    // All at once: the silent servers take the connect time-out (5 s), whatever the protocol.
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<Player>> players;
    for (const Failure& f : failures) {
        players.push_back(std::make_unique<Player>());
        players.back()->engine->SetUrl(f.url);
    }
    for (size_t i = 0; i < failures.size(); ++i) {
        SCOPED_TRACE(failures[i].name);
        Recorder& rec = players[i]->rec;
        EXPECT_TRUE(rec.WaitFor(wmppsReady, 20s));
        EXPECT_EQ(rec.states, (std::vector<int>{wmppsTransitioning, wmppsReady}));
        rec.ExpectClean();
    }
    // The 5 s connect time-out and a margin for a busy machine and sanitizers; without the
    // watchdog RTSP and MMS would hang for over a minute, HTTP for mpv's 60 s read time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    for (size_t i = 0; i < failures.size(); ++i) {
        SCOPED_TRACE(failures[i].name);
        EXPECT_TRUE(players[i]->rec.Settled(200ms));
    }
}

// A live stream whose server stops sending but keeps the connection: buffering once the data
// runs out, then waiting, and no end for longer than the connect time-out.
TEST(MediaEngine, StreamThatStallsWaitsInsteadOfEnding) {
    ASSERT_FALSE(gMedia->stallingMp3.empty()) << "ffmpeg could not make the MP3 stream";
    Player p;
    p.engine->SetUrl(gMedia->Http("/stalls.mp3"));
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying));
    EXPECT_TRUE(p.rec.WaitFor(wmppsWaiting, 8s)) << StateList(p.rec.states);
    EXPECT_TRUE(p.rec.Settled(7s)) << StateList(p.rec.states);
    // Under load the cache may refill for a moment, so playing and buffering may alternate
    // before the wait; nothing else may come.
    const std::vector<int>& s = p.rec.states;
    ASSERT_GE(s.size(), 5u);
    EXPECT_EQ(std::vector<int>(s.begin(), s.begin() + 3), (std::vector<int>{wmppsTransitioning, wmppsBuffering, wmppsPlaying}));
    EXPECT_EQ(std::vector<int>(s.end() - 2, s.end()), (std::vector<int>{wmppsBuffering, wmppsWaiting}));
    for (int state : s) EXPECT_TRUE(state == wmppsPlaying || state == wmppsBuffering || state == wmppsTransitioning ||
                                    state == wmppsWaiting) << StateList(s);
    const size_t mark = s.size();
    p.engine->SetUrl(Text());
    EXPECT_TRUE(p.rec.WaitFor(wmppsStopped, 3s, mark));
    p.rec.ExpectClean();
}

// Windows Media playlists play their first playable entry: local files (a relative entry, GBK
// text), HTTP answers (the first entry dead, a relative entry), an ASF reference file that mpv
// would take for MMS over HTTP.
TEST(MediaEngine, WindowsMediaPlaylistsPlayTheirFirstPlayableEntry) {
    const std::string dead = "http://127.0.0.1:" + std::to_string(gMedia->deadPort) + "/gone.wav";
    WriteFile(gMedia->root + "/local.asx",
              "<?xml version=\"1.0\"?>\n<!-- made by hand -->\n<asx version=\"3.0\"><entry><ref href=\"" + dead +
                  "\" /></entry><entry><title>" + Utf8ToGbk("频道") + "</title><ref href=\"" + Utf8ToGbk("频道.wav") +
                  "\"/></entry></asx>");
    WriteFile(gMedia->root + "/local.asf", "[Reference]\r\nRef1=" + dead + "\r\nRef2=" + gMedia->Http("/long.wav").Bytes() + "\r\n");
    const Text addresses[] = {Text(gMedia->root + "/local.asx"), Text(gMedia->root + "/local.asf"),
                              gMedia->Http("/playlist.asx"), gMedia->Http("/reference.asf")};
    std::vector<std::unique_ptr<Player>> players;
    for (const Text& a : addresses) {
        players.push_back(std::make_unique<Player>());
        players.back()->engine->SetUrl(a);
    }
    for (size_t i = 0; i < players.size(); ++i) {
        SCOPED_TRACE(addresses[i].ToUtf8());
        Recorder& rec = players[i]->rec;
        EXPECT_TRUE(rec.WaitFor(wmppsPlaying, 12s)) << StateList(rec.states);
        EXPECT_EQ(rec.states, (std::vector<int>{wmppsTransitioning, wmppsBuffering, wmppsPlaying}));
        rec.ExpectClean();
    }
}

// "mms://" tries MMS over TCP, RTSP and MMS over HTTP in turn, each for the connect time-out,
// then settles as a dead channel does.
TEST(MediaEngine, MmsRollsOverThroughItsProtocols) {
    RecordingPort port;
    Player p;
    const auto start = std::chrono::steady_clock::now();
    p.engine->SetUrl(Text("mms://127.0.0.1:" + std::to_string(port.Port()) + "/live"));
    ASSERT_TRUE(p.rec.WaitFor(wmppsReady, 25s)) << StateList(p.rec.states);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(p.rec.states, (std::vector<int>{wmppsTransitioning, wmppsReady}));
    EXPECT_GT(took, 14s);
    EXPECT_LT(took, 22s);
    const std::vector<std::string> openings = port.Openings();
    ASSERT_EQ(openings.size(), 3u);
    // MMS's first command carries the protocol's signature 0xb00bface after four bytes.
    ASSERT_GE(openings[0].size(), 8u);
    EXPECT_EQ(openings[0].substr(4, 4), std::string("\xce\xfa\x0b\xb0", 4));
    EXPECT_EQ(openings[1].rfind("OPTIONS rtsp://", 0), 0u) << openings[1];
    EXPECT_EQ(openings[2].rfind("GET /live", 0), 0u) << openings[2];
    EXPECT_NE(openings[2].find("NSPlayer"), std::string::npos) << openings[2];
    EXPECT_TRUE(p.rec.Settled(1s));
    p.rec.ExpectClean();
}

bool AllBlack(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qRed(image.pixel(x, y)) > 24 || qGreen(image.pixel(x, y)) > 24 || qBlue(image.pixel(x, y)) > 24) return false;
    return true;
}

// After a video channel, the video area shows nothing of it once another address is written:
// an audio channel, an address still connecting, a stop.
TEST(MediaEngine, NoOldPictureAfterANewAddressOrAStop) {
    const auto clip = gMedia->clips.find("4x3");
    ASSERT_NE(clip, gMedia->clips.end()) << "ffmpeg could not make the clip";
    SilentPort silent;
    struct Next {
        const char* name;
        std::function<void(MediaEngine&)> act;
        int settled;  // the state to wait for before looking again
    };
    const Next nexts[] = {
        {"audio channel", [](MediaEngine& e) { e.SetUrl(gMedia->Http("/long.wav")); }, wmppsPlaying},
        {"address still connecting",
         [&](MediaEngine& e) { e.SetUrl(Text("http://127.0.0.1:" + std::to_string(silent.Port()) + "/live")); },
         wmppsTransitioning},
        {"stop", [](MediaEngine& e) { e.Stop(); }, wmppsStopped},
    };
    for (const Next& next : nexts) {
        SCOPED_TRACE(next.name);
        Player p;
        p.parent.resize(320, 240);
        p.engine->Widget()->setGeometry(0, 0, 320, 240);
        p.parent.show();
        p.engine->SetUrl(Text(clip->second));
        ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying, 8s));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !AllBlack(p.engine->Widget()->grab().toImage()); }, 5000));
        const size_t mark = p.rec.states.size();
        next.act(*p.engine);
        EXPECT_TRUE(AllBlack(p.engine->Widget()->grab().toImage())) << "at once";
        EXPECT_TRUE(p.rec.WaitFor(next.settled, 8s, mark)) << StateList(p.rec.Since(mark));
        QTest::qWait(800);
        EXPECT_TRUE(AllBlack(p.engine->Widget()->grab().toImage())) << "in state " << p.engine->PlayState();
    }
}

TEST(MediaEngine, StopOfAStalledOpenDoesNotWaitForTheTimeOut) {
    SilentPort silent;
    Player p;
    p.engine->SetUrl(Text("http://127.0.0.1:" + std::to_string(silent.Port()) + "/live"));
    ASSERT_TRUE(p.rec.WaitFor(wmppsTransitioning));
    const auto start = std::chrono::steady_clock::now();
    p.engine->SetUrl(Text());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << "the stop blocked the UI thread";
    // Stopped (not ready from the 5 s time-out), well before the time-out.
    EXPECT_TRUE(p.rec.WaitFor(wmppsStopped, 2500ms));
    EXPECT_EQ(p.rec.states, (std::vector<int>{wmppsTransitioning, wmppsStopped}));
    p.rec.ExpectClean();
}

TEST(MediaEngine, DestroyedWhileConnectingToAStalledServer) {
    SilentPort silent;
    auto p = std::make_unique<Player>();
    p->engine->SetUrl(Text("http://127.0.0.1:" + std::to_string(silent.Port()) + "/live"));
    ASSERT_TRUE(p->rec.WaitFor(wmppsTransitioning));
    const auto start = std::chrono::steady_clock::now();
    p.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

// The folder holds a playable file, so playing the folder as a playlist would reach playing.
TEST(MediaEngine, FolderUrlStopsPlaybackAndEndsQuietly) {
    Player p;
    p.engine->SetUrl(gMedia->Http("/long.wav"));
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying));
    const size_t mark = p.rec.states.size();
    p.engine->SetUrl(Text(gMedia->root + "/folder"));
    ASSERT_TRUE(p.rec.WaitFor(wmppsReady, 3s, mark));
    EXPECT_TRUE(p.rec.Settled(1500ms));
    EXPECT_EQ(p.rec.Since(mark), std::vector<int>{wmppsReady});
    p.rec.ExpectClean();
}

// mpv's own pseudo-protocols would play (lavfi generates a tone) or reach into the process.
TEST(MediaEngine, AddressesOutsideThePlayersSchemesAreNotOpened) {
    for (const char* url : {"av://lavfi:sine=frequency=440", "fd://0", "memory://RIFF"}) {
        SCOPED_TRACE(url);
        Player p;
        p.engine->SetUrl(Text(url));
        EXPECT_TRUE(p.rec.WaitFor(wmppsReady, 3s));
        EXPECT_TRUE(p.rec.Settled(600ms));
        EXPECT_EQ(p.rec.states, std::vector<int>{wmppsReady});
    }
}

TEST(MediaEngine, VolumeIsClampedToTheControlsRange) {
    Player p;
    EXPECT_EQ(p.engine->Volume(), 100);
    const std::pair<int32_t, int32_t> cases[] = {{-5, 0}, {0, 0}, {57, 57}, {100, 100}, {101, 100}, {INT32_MIN, 0}, {INT32_MAX, 100}};
    for (const auto& [in, out] : cases) {
        p.engine->SetVolume(in);
        EXPECT_EQ(p.engine->Volume(), out) << in;
    }
}

// A parent that counts context-menu requests reaching it.
class MenuCountingParent : public QWidget {
public:
    int menus = 0;

protected:
    void contextMenuEvent(QContextMenuEvent*) override { ++menus; }
};

TEST(MediaEngine, RightButtonRaisesTheEventAndNoContextMenu) {
    MenuCountingParent parent;
    auto engine = CreateMpvEngine(&parent);
    QWidget* video = engine->Widget();
    video->setGeometry(0, 0, 200, 100);
    parent.show();
    std::vector<std::vector<int>> seen;
    QObject::connect(engine.get(), &MediaEngine::RightButtonDown,
                     [&](int x, int y, int flags) { seen.push_back({x, y, flags}); });

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(12, 34), video->mapToGlobal(QPointF(12, 34)), Qt::RightButton,
                      Qt::RightButton, Qt::ShiftModifier);
    QApplication::sendEvent(video, &press);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(12, 34), video->mapToGlobal(QPoint(12, 34)));
    QApplication::sendEvent(video, &menu);

    EXPECT_EQ(seen, (std::vector<std::vector<int>>{{12, 34, 0x02 | 0x04}}));
    EXPECT_EQ(parent.menus, 0);
}

QWidget* FullScreenWindow(QWidget* besides) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != besides && w->isVisible()) return w;
    return nullptr;
}

struct LeaveCase {
    const char* name;
    void (*send)(QWidget* window);
};

class LeavingFullScreen : public testing::TestWithParam<LeaveCase> {};

TEST_P(LeavingFullScreen, ReturnsToTheUnit) {
    Player p;
    p.parent.resize(300, 200);
    p.parent.show();
    p.engine->SetFullScreen(true);
    EXPECT_TRUE(p.engine->FullScreen());
    QWidget* window = FullScreenWindow(&p.parent);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->geometry(), QGuiApplication::primaryScreen()->geometry());

    GetParam().send(window);
    EXPECT_FALSE(p.engine->FullScreen());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(p.engine->Widget()->isVisible());

    p.engine->SetFullScreen(true);  // and again
    EXPECT_TRUE(p.engine->FullScreen());
    EXPECT_TRUE(window->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    MediaEngine, LeavingFullScreen,
    testing::Values(LeaveCase{"Escape",
                              [](QWidget* w) {
                                  QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                                  QApplication::sendEvent(w, &key);
                              }},
                    LeaveCase{"DoubleClick",
                              [](QWidget* w) {
                                  QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(50, 50), w->mapToGlobal(QPointF(50, 50)),
                                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
                                  QApplication::sendEvent(w, &click);
                              }},
                    LeaveCase{"WindowClosed", [](QWidget* w) { w->close(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Where a picture of aspect num:den lies when fitted into area, centred.
QRect Fitted(const QSize& area, int num, int den) {
    if (int64_t{area.width()} * den > int64_t{area.height()} * num) {
        const int w = area.height() * num / den;
        return {(area.width() - w) / 2, 0, w, area.height()};
    }
    const int h = area.width() * den / num;
    return {0, (area.height() - h) / 2, area.width(), h};
}

bool Bright(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200; }
bool Black(QRgb c) { return qRed(c) < 24 && qGreen(c) < 24 && qBlue(c) < 24; }

// Pixels that break "white inside picture, black outside", two pixels of rounding left open
// at the picture's edges.
int WrongPixels(const QImage& image, const QRect& picture) {
    const QRect inner = picture.adjusted(2, 2, -2, -2), outer = picture.adjusted(-2, -2, 2, 2);
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if ((inner.contains(x, y) && !Bright(c)) || (!outer.contains(x, y) && !Black(c))) ++wrong;
        }
    return wrong;
}

struct AspectCase {
    const char* name;
    const char* clip;
    int num, den;
    bool fullScreen;
};
void PrintTo(const AspectCase& c, std::ostream* os) { *os << c.name; }

class KeepingAspect : public testing::TestWithParam<AspectCase> {};

// The video keeps its shape inside the unit's 566 x 376 area and in full screen (the offscreen
// screen is square): a 4:3 picture gets bars left and right in the unit, a 16:9 one bars at the
// top and bottom.
TEST_P(KeepingAspect, PictureKeepsItsShapeWithBlackBars) {
    const AspectCase& c = GetParam();
    const auto clip = gMedia->clips.find(c.clip);
    if (clip == gMedia->clips.end()) GTEST_SKIP() << "ffmpeg could not make the clip";
    Player p;
    p.parent.resize(600, 420);
    p.engine->Widget()->setGeometry(17, 22, 566, 376);
    p.parent.show();
    p.engine->SetUrl(Text(clip->second));
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying, 8s));
    if (c.fullScreen) p.engine->SetFullScreen(true);
    QWidget* surface = c.fullScreen ? FullScreenWindow(&p.parent) : p.engine->Widget();
    ASSERT_NE(surface, nullptr);

    const QRect picture = Fitted(surface->size(), c.num, c.den);
    QImage shot;
    // The first frames may still be on their way.
    const bool drawn = QTest::qWaitFor([&] {
        shot = surface->grab().toImage();
        return shot.size() == surface->size() && WrongPixels(shot, picture) == 0;
    }, 5000);
    EXPECT_TRUE(drawn) << WrongPixels(shot, picture) << " pixels out of place for the picture at " << picture.x() << ","
                       << picture.y() << " " << picture.width() << "x" << picture.height() << " in "
                       << surface->width() << "x" << surface->height();
    if (!c.fullScreen) {
        EXPECT_EQ(surface->size(), QSize(566, 376));
        const bool sideBars = c.num * 3 == c.den * 4;
        // The bars are where the shape puts them, about 30 pixels wide.
        EXPECT_TRUE(Black(shot.pixel(sideBars ? 10 : 283, sideBars ? 188 : 10)));
        EXPECT_TRUE(Black(shot.pixel(sideBars ? 555 : 283, sideBars ? 188 : 365)));
        EXPECT_TRUE(Bright(shot.pixel(sideBars ? 283 : 10, sideBars ? 10 : 188)));
        EXPECT_TRUE(Bright(shot.pixel(sideBars ? 283 : 555, sideBars ? 365 : 188)));
    }
    p.engine->SetUrl(Text());
    EXPECT_TRUE(p.rec.WaitFor(wmppsStopped, 3s));
}

INSTANTIATE_TEST_SUITE_P(MediaEngine, KeepingAspect,
                         testing::Values(AspectCase{"FourThreeInTheUnit", "4x3", 4, 3, false},
                                         AspectCase{"SixteenNineInTheUnit", "16x9", 16, 9, false},
                                         AspectCase{"FourThreeFullScreen", "4x3", 4, 3, true},
                                         AspectCase{"SixteenNineFullScreen", "16x9", 16, 9, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MediaEngine, SurvivesItsParentWidget) {
    auto parent = std::make_unique<QWidget>();
    auto engine = CreateMpvEngine(parent.get());
    Recorder rec(*engine);
    parent.reset();
    EXPECT_EQ(engine->Widget(), nullptr);
    engine->SetUrl(gMedia->Http("/tone.wav"));
    EXPECT_TRUE(rec.WaitFor(wmppsPlaying));
    engine->SetFullScreen(true);
    engine->SetFullScreen(false);
}

// The window owning the control may close from a PlayStateChange handler.
TEST(MediaEngine, DestroyedByItsOwnStateHandler) {
    QWidget parent;
    auto engine = CreateMpvEngine(&parent);
    QObject::connect(engine.get(), &MediaEngine::PlayStateChange, [&](int state) {
        if (state == wmppsTransitioning) engine.reset();
    });
    engine->SetUrl(gMedia->Http("/tone.wav"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return engine == nullptr; }, 5000));
    QTest::qWait(100);
}

TEST(ClassifyUrl, DecidesWhatReachesMpv) {
    using K = MediaTarget::Kind;
    const std::string folder = gMedia->root + "/folder";
    const std::string file = gMedia->root + "/tone.wav";
    std::string backslashed = folder;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    const std::string cwd = QDir::currentPath().toStdString();
    struct Row {
        Text url;
        K kind;
        std::string location;
    };
    const Row rows[] = {
        {Text(), K::Nothing, ""},
        {Text(folder), K::Folder, ""},
        {Text(folder + "/"), K::Folder, ""},
        {Text(backslashed), K::Folder, ""},
        {Text("file://" + folder), K::Folder, ""},
        {Text(file), K::Play, file},
        {Text("file://" + file), K::Play, file},
        {Text::FromUtf8(gMedia->root + "/频道.wav"), K::Play, gMedia->root + "/频道.wav"},
        {Text("-"), K::Play, cwd + "/-"},
        {Text("http://127.0.0.1:1/a.wav?x=1"), K::Play, "http://127.0.0.1:1/a.wav?x=1"},
        {Text("HTTP://host/a"), K::Play, "HTTP://host/a"},
        {Text("mms://host/live"), K::Play, "mms://host/live"},
        {Text("MMS://host:1755/live"), K::Play, "MMS://host:1755/live"},
        {Text("mmst://host/live"), K::Play, "mmst://host/live"},
        {Text("rtsp://host/live"), K::Play, "rtsp://host/live"},
        {Text("av://lavfi:sine"), K::Refused, ""},
        {Text("edl://" + file), K::Refused, ""},
        {Text("fdclose://3"), K::Refused, ""},
        {Text("lavf://file:" + file), K::Refused, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url.ToUtf8());
        const MediaTarget t = ClassifyUrl(row.url);
        EXPECT_EQ(t.kind, row.kind);
        EXPECT_EQ(t.location, row.location);
    }
}

TEST(WindowsMediaPlaylist, ListsItsEntriesInDocumentOrder) {
    using V = std::vector<std::string>;
    const std::string web = "http://example.test/radio/list.asx";
    struct Row {
        const char* name;
        std::string bytes;
        std::string base;
        std::optional<V> entries;
    };
    const Row rows[] = {
        {"entries and refs in order, any letter case",
         "<ASX version=\"3.0\"><Entry><REF HREF=\"mms://a/1\"/><ref href='mms://a/2'/></Entry>"
         "<entry><Ref href = \"http://b/3\" /></entry></ASX>",
         web, V{"mms://a/1", "mms://a/2", "http://b/3"}},
        {"relative to a web address", "<asx><entry><ref href=\"live.wmv\"/><ref href=\"/top.wmv\"/></entry></asx>", web,
         V{"http://example.test/radio/live.wmv", "http://example.test/top.wmv"}},
        {"relative to a local file", "<asx><entry><ref href=\"sub\\a.wmv\"/></entry></asx>", "/music/list.asx",
         V{"/music/sub/a.wmv"}},
        {"declaration, comment, byte order mark, entities",
         "\xEF\xBB\xBF <?xml version=\"1.0\" encoding=\"utf-8\"?><!-- x --><asx><entry><ref href=\"http://a/?x=1&amp;y=2\"/>"
         "</entry></asx>",
         web, V{"http://a/?x=1&y=2"}},
        {"GBK text", "<asx><entry><ref href=\"" + Utf8ToGbk("频道.wmv") + "\"/></entry></asx>", "/tv/list.asx",
         V{"/tv/频道.wmv"}},
        {"other elements named alike are not refs",
         "<asx><entry><refresh href=\"http://a/no\"/><ref href=\"http://a/yes\"/></entry></asx>", web, V{"http://a/yes"}},
        {"no entries", "<asx version=\"3.0\"></asx>", web, V{}},
        {"ASF reference file", "[Reference]\r\nRef1=http://a/1.asf?MSWMExt=.asf\r\nRef2=mms://a/2\r\n", web,
         V{"http://a/1.asf?MSWMExt=.asf", "mms://a/2"}},
        {"not a playlist: media", std::string("RIFF\0\0\0\0WAVE", 12), web, std::nullopt},
        {"not a playlist: an m3u", "#EXTM3U\nhttp://a/1\n", web, std::nullopt},
        {"not a playlist: another XML document", "<?xml version=\"1.0\"?><rss><ref href=\"http://a/\"/></rss>", web,
         std::nullopt},
        {"not a playlist: an element that starts alike", "<asxml><ref href=\"http://a/\"/></asxml>", web, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseWindowsMediaPlaylist(row.bytes, row.base), row.entries);
    }
}

TEST(Candidates, PlaylistEntriesAreTakenAsTheUrlIsOnlyWebOnesFromTheWeb) {
    using V = std::vector<std::string>;
    const std::string file = gMedia->root + "/tone.wav", folder = gMedia->root + "/folder";
    const V entries = {"av://lavfi:sine", "fd://0", folder, file, "mms://h/a", "http://h/b"};
    EXPECT_EQ(PlaylistCandidates(entries, true), (V{file, "mmst://h/a", "rtsp://h/a", "mmsh://h/a", "http://h/b"}));
    EXPECT_EQ(PlaylistCandidates(entries, false), (V{"mmst://h/a", "rtsp://h/a", "mmsh://h/a", "http://h/b"}));
}

TEST(Candidates, MmsRollsOverOtherAddressesStayAsTheyAre) {
    using V = std::vector<std::string>;
    EXPECT_EQ(Candidates("mms://host/live"), (V{"mmst://host/live", "rtsp://host/live", "mmsh://host/live"}));
    EXPECT_EQ(Candidates("MMS://10.0.0.1:1755/a.asf"),
              (V{"mmst://10.0.0.1:1755/a.asf", "rtsp://10.0.0.1:1755/a.asf", "mmsh://10.0.0.1:1755/a.asf"}));
    for (const char* same : {"mmst://host/live", "mmsh://host/live", "http://host/mms://x", "/tmp/mms://x"})
        EXPECT_EQ(Candidates(same), V{same});
}

}  // namespace
}  // namespace orbiq::platform

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    orbiq::platform::gMedia = new orbiq::platform::Media;
    testing::AddGlobalTestEnvironment(orbiq::platform::gMedia);
    // Abandoned request workers and counter threads may still run: leave as the program
    // does, without running exit handlers (OpenSSL's among them) under them.
    int rc = RUN_ALL_TESTS();
    std::fflush(nullptr);
    std::_Exit(rc);
}
