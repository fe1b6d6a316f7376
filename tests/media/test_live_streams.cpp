// The libmpv engine against real streaming servers that nobody here wrote, started on 127.0.0.1
// by live_server.sh and fed by ffmpeg: Icecast (MP3 and Ogg mounts), HLS served by nginx,
// GStreamer's RTSP server and ffmpeg's own HTTP listener. Each kind plays, comes back through
// reconnecting after its server was away for 5 s, rides out a frozen server, and ends as a
// dead stream does once its server stays away.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include "common/text.h"
#include "engine_recorder.h"
#include "live_server.h"
#include "platform/media/mpv_engine.h"
#include "platform/media/play_state_tracker.h"

namespace orbiq::platform {
namespace {

using Clock = std::chrono::steady_clock;
using test::LiveServer;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Kind {
    const char* name;
    const char* server;  // live_server.sh's kind
    const char* scheme;
    const char* path;
    bool video;
};
void PrintTo(const Kind& k, std::ostream* os) { *os << k.name; }

const Kind kKinds[] = {
    {"IcecastMp3", "icecast", "http", "/live.mp3", false},
    {"IcecastOgg", "icecast", "http", "/live.ogg", false},
    {"Hls", "hls", "http", "/live.m3u8", true},
    {"Rtsp", "rtsp", "rtsp", "/live", true},
    {"HttpTs", "httpts", "http", "/live.ts", true},
};

Text UrlOf(const Kind& k, int port) {
    return Text(std::string(k.scheme) + "://127.0.0.1:" + std::to_string(port) + k.path);
}

// Frames advance for video, the position for audio.
bool Advances(MediaEngine& engine, bool video) {
    auto* mpv = dynamic_cast<MpvEngine*>(&engine);
    if (!mpv) return false;
    const double before = mpv->Position();
    const QImage first = engine.Widget()->grab().toImage();
    QTest::qWait(1500);
    const double after = mpv->Position();
    if (!(before >= 0 && after > before + 0.5)) return false;
    return !video || engine.Widget()->grab().toImage() != first;
}

// Prints a run's states for the record.
void Record(const char* kind, const char* what, const std::vector<int>& states, double seconds) {
    std::printf("[states] %s %s: %s (%.1f s)\n", kind, what, StateList(states).c_str(), seconds);
    std::fflush(stdout);
}

// The states a stream may pass through while it rides out a break or a stall.
bool OnlyRecovering(const std::vector<int>& states) {
    return std::all_of(states.begin(), states.end(), [](int s) {
        return s == wmppsPlaying || s == wmppsBuffering || s == wmppsWaiting || s == wmppsTransitioning ||
               s == wmppsReconnecting;
    });
}

class LiveStream : public testing::TestWithParam<Kind> {};

// Waits of 21 s in all between the six reconnects, each up to the 5 s connect time-out (a
// refused port fails at once), after the break shows (a dropped RTSP session over UDP takes
// libavformat's own 10 s).
constexpr auto kAllReconnectsBound = 75s;
// The server back after 5 s (and ready a second or two later): the reconnect after the next
// wait (4 s at most) plays.
constexpr auto kBackBound = 30s;

TEST_P(LiveStream, PlaysComesBackAfterADropAndEndsWhenTheServerStaysAway) {
    const Kind& k = GetParam();
    LiveServer server(k.server);
    ASSERT_TRUE(server.Start()) << k.server << " did not start: is its package installed (scripts/install-deps.sh)?";
    Player p;
    p.parent.resize(320, 240);
    p.engine->Widget()->setGeometry(0, 0, 320, 240);
    p.parent.show();
    p.engine->SetUrl(UrlOf(k, server.Port()));
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying, 20s)) << StateList(p.rec.states);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Advances(*p.engine, k.video); }, 10000));
    Record(k.name, "plays", p.rec.states, 0);

    // Away for 5 s, then back.
    size_t mark = p.rec.states.size();
    server.Stop();
    const auto dropped = Clock::now();
    QTest::qWait(5000);
    ASSERT_TRUE(server.Start());
    const auto back = Clock::now();
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying, kBackBound, mark)) << StateList(p.rec.Since(mark));
    const std::vector<int> recovered = p.rec.Since(mark);
    Record(k.name, "away 5 s, back", recovered, Seconds(Clock::now() - back));
    EXPECT_NE(std::find(recovered.begin(), recovered.end(), wmppsReconnecting), recovered.end());
    EXPECT_TRUE(OnlyRecovering(recovered)) << StateList(recovered);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Advances(*p.engine, k.video); }, 10000));
    (void)dropped;

    // Away for good: the reconnects run out and the stream ends as a broken one does.
    mark = p.rec.states.size();
    server.Stop();
    const auto gone = Clock::now();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const int s = p.engine->PlayState();
        return s == wmppsStopped || s == wmppsReady;
    }, static_cast<int>(std::chrono::milliseconds(kAllReconnectsBound).count())))
        << StateList(p.rec.Since(mark));
    const std::vector<int> ended = p.rec.Since(mark);
    Record(k.name, "away for good", ended, Seconds(Clock::now() - gone));
    EXPECT_EQ(std::count(ended.begin(), ended.end(), wmppsReconnecting), PlayStateTracker::kReconnects) << StateList(ended);
    EXPECT_TRUE(p.rec.Settled(1500ms));
    p.rec.ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(MediaEngine, LiveStream, testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

// A server frozen for 8 s keeps its connection: the stream waits (the read time-out is long
// once it has played) and resumes without a reconnect.
class FrozenServer : public testing::TestWithParam<Kind> {};

TEST_P(FrozenServer, StreamResumesWithoutReconnecting) {
    const Kind& k = GetParam();
    LiveServer server(k.server);
    ASSERT_TRUE(server.Start()) << k.server << " did not start: is its package installed (scripts/install-deps.sh)?";
    Player p;
    p.engine->SetUrl(UrlOf(k, server.Port()));
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying, 20s)) << StateList(p.rec.states);
    QTest::qWait(1000);
    const size_t mark = p.rec.states.size();
    server.Freeze();
    QTest::qWait(8000);
    const std::vector<int> frozen = p.rec.Since(mark);
    server.Thaw();
    ASSERT_TRUE(p.rec.WaitFor(wmppsPlaying, 20s, mark)) << StateList(p.rec.Since(mark));
    const std::vector<int> resumed = p.rec.Since(mark);
    Record(k.name, "frozen 8 s", resumed, 0);
    EXPECT_TRUE(std::find(frozen.begin(), frozen.end(), wmppsWaiting) != frozen.end() ||
                std::find(frozen.begin(), frozen.end(), wmppsBuffering) != frozen.end())
        << "no wait shown while frozen: " << StateList(frozen);
    for (int s : resumed) EXPECT_TRUE(s == wmppsPlaying || s == wmppsBuffering || s == wmppsWaiting) << StateList(resumed);
    p.rec.ExpectClean();
}

INSTANTIATE_TEST_SUITE_P(MediaEngine, FrozenServer, testing::Values(kKinds[0], kKinds[4]),
                         [](const auto& info) { return std::string(info.param.name); });

// A reconnect wait ends at once when the user acts: a stop, another channel, the program's end.
TEST(ReconnectWait, EndsWithAStopANewChannelOrTheEngine) {
    LiveServer server("httpts");
    LiveServer other("icecast");
    ASSERT_TRUE(other.Start()) << "icecast2 did not start: is its package installed (scripts/install-deps.sh)?";
    const Text url = UrlOf(kKinds[4], server.Port());

    enum class Act { Stop, NewChannel, Destroy };
    for (Act act : {Act::Stop, Act::NewChannel, Act::Destroy}) {
        SCOPED_TRACE(static_cast<int>(act));
        auto p = std::make_unique<Player>();
        ASSERT_TRUE(server.Start());
        p->engine->SetUrl(url);
        ASSERT_TRUE(p->rec.WaitFor(wmppsPlaying, 20s)) << StateList(p->rec.states);
        const size_t mark = p->rec.states.size();
        server.Stop();
        ASSERT_TRUE(p->rec.WaitFor(wmppsReconnecting, 20s, mark)) << StateList(p->rec.Since(mark));
        const size_t waiting = p->rec.states.size();
        switch (act) {
        case Act::Stop:
            p->engine->SetUrl(Text());
            EXPECT_TRUE(p->rec.WaitFor(wmppsStopped, 3s, waiting));
            // Longer than every wait: nothing more comes.
            ASSERT_TRUE(server.Start());
            EXPECT_TRUE(p->rec.Settled(4s)) << StateList(p->rec.Since(waiting));
            EXPECT_EQ(p->rec.Since(waiting), std::vector<int>{wmppsStopped});
            server.Stop();
            break;
        case Act::NewChannel:
            p->engine->SetUrl(UrlOf(kKinds[0], other.Port()));
            EXPECT_TRUE(p->rec.WaitFor(wmppsPlaying, 20s, waiting));
            EXPECT_TRUE(p->rec.Settled(4s));
            EXPECT_EQ(p->rec.Since(waiting), (std::vector<int>{wmppsTransitioning, wmppsBuffering, wmppsPlaying}));
            break;
        case Act::Destroy:
            p.reset();
            QTest::qWait(3000);  // the wait's time passes with nothing left to fire
            break;
        }
        if (p) p->rec.ExpectClean();
    }
}

}  // namespace
}  // namespace orbiq::platform

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    std::fflush(nullptr);
    std::_Exit(rc);
}
