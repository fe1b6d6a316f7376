// Live streams: with each real server (live_server.sh: HLS from nginx, Icecast MP3, ffmpeg's
// HTTP MPEG-TS listener) stopped for 5 s, the time from its return to the playing state again,
// engine against bare libmpv; and the time a dead channel takes to settle.
// Time from writing the URL to the playing state: the engine against bare libmpv on the same
// local HTTP streams (an audio tone and a 1280 x 720 H.264 video), alternating, median over
// several runs. With a display (Xvfb), the CPU the engine spends playing the video stream in
// the unit's 566 x 376 area for 20 s against the mpv program playing it in its own window of
// the same size with its default video output, with the frames the engine painted and how late
// its UI thread served a 10 ms timer meanwhile. Also the software renderer's cost per frame.
//   bench_media [runs]       (headless unless DISPLAY is set)
#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <mpv/client.h>
#include <mpv/render.h>

#include "platform/media/media_engine.h"
#include "tests/support/tone_wav.h"

namespace {

using Clock = std::chrono::steady_clock;
using orbiq::Text;
namespace p = orbiq::platform;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct MpvDeleter {
    void operator()(mpv_handle* h) const { mpv_terminate_destroy(h); }
};
using Mpv = std::unique_ptr<mpv_handle, MpvDeleter>;

// Bare libmpv with the fewest options that keep it comparable: no config, no scripts,
// the same outputs as the engine.
Mpv BareMpv(bool headless) {
    Mpv h(mpv_create());
    mpv_set_option_string(h.get(), "config", "no");
    mpv_set_option_string(h.get(), "load-scripts", "no");
    mpv_set_option_string(h.get(), "ytdl", "no");
    mpv_set_option_string(h.get(), "idle", "yes");
    mpv_set_option_string(h.get(), "vo", "null");
    if (headless) mpv_set_option_string(h.get(), "ao", "null");
    else mpv_set_option_string(h.get(), "audio-fallback-to-null", "yes");
    mpv_initialize(h.get());
    return h;
}

// Bare libmpv drawing its video the way a minimal client of the software render API does: a
// thread renders every new frame at 566 x 376 into memory.
class BareRenderer {
public:
    explicit BareRenderer(bool headless) {
        mpv_.reset(mpv_create());
        const char* const options[][2] = {{"config", "no"}, {"load-scripts", "no"}, {"ytdl", "no"},
                                          {"idle", "yes"},  {"vo", "libmpv"},        {"audio-fallback-to-null", "yes"}};
        for (const auto& [name, value] : options) mpv_set_option_string(mpv_.get(), name, value);
        if (headless) mpv_set_option_string(mpv_.get(), "ao", "null");
        mpv_initialize(mpv_.get());
        char api[] = MPV_RENDER_API_TYPE_SW;
        mpv_render_param cp[] = {{MPV_RENDER_PARAM_API_TYPE, api}, {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_create(&ctx_, mpv_.get(), cp);
        mpv_render_context_set_update_callback(ctx_, &BareRenderer::Wake, this);
        thread_ = std::thread([this] { Loop(); });
    }
    ~BareRenderer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_one();
        thread_.join();
        mpv_render_context_free(ctx_);
    }
    mpv_handle* Handle() { return mpv_.get(); }

private:
    static void Wake(void* self) {
        auto* r = static_cast<BareRenderer*>(self);
        {
            std::lock_guard<std::mutex> lock(r->mutex_);
            r->pending_ = true;
        }
        r->wake_.notify_one();
    }
    void Loop() {
        const int w = 566, h = 376;
        std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
        int size[2] = {w, h};
        char format[] = "bgr0";
        size_t stride = static_cast<size_t>(w) * 4;
        mpv_render_param rp[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, pixels.data()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return pending_ || quit_; });
            if (quit_) return;
            pending_ = false;
            lock.unlock();
            if (mpv_render_context_update(ctx_) & MPV_RENDER_UPDATE_FRAME) mpv_render_context_render(ctx_, rp);
            lock.lock();
        }
    }

    Mpv mpv_;
    mpv_render_context* ctx_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool pending_ = false, quit_ = false;
};

bool WaitEvent(mpv_handle* h, mpv_event_id id) {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
        mpv_event* e = mpv_wait_event(h, 1);
        if (e->event_id == id) return true;
    }
    return false;
}

double BareRun(mpv_handle* h, const std::string& url) {
    const char* load[] = {"loadfile", url.c_str(), "replace", nullptr};
    const auto start = Clock::now();
    mpv_command_async(h, 0, load);
    if (!WaitEvent(h, MPV_EVENT_PLAYBACK_RESTART)) return -1;
    const double ms = Ms(Clock::now() - start);
    const char* stop[] = {"stop", nullptr};
    mpv_command(h, stop);
    WaitEvent(h, MPV_EVENT_IDLE);
    return ms;
}

bool WaitState(p::MediaEngine& engine, int state) {
    if (engine.PlayState() == state) return true;
    QEventLoop loop;
    auto c = QObject::connect(&engine, &p::MediaEngine::PlayStateChange, &loop, [&](int s) {
        if (s == state) loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    return engine.PlayState() == state;
}

double EngineRun(p::MediaEngine& engine, const std::string& url) {
    const auto start = Clock::now();
    engine.SetUrl(Text(url));
    if (!WaitState(engine, p::wmppsPlaying)) return -1;
    const double ms = Ms(Clock::now() - start);
    engine.SetUrl(Text());
    WaitState(engine, p::wmppsStopped);
    return ms;
}

// CPU seconds (user + system) of this process, all threads.
double SelfCpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of another process from /proc; negative once it is gone.
double ProcessCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string f;
    double utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {  // field 3 is the state
        if (i == 14) utime = std::stod(f);
        if (i == 15) stime = std::stod(f);
    }
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The Xvfb or Xorg process serving DISPLAY, or 0: its CPU is part of what drawing costs.
pid_t XServerPid() {
    const QByteArray display = qgetenv("DISPLAY");
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric) continue;
        std::ifstream in("/proc/" + entry.toStdString() + "/cmdline", std::ios::binary);
        std::vector<std::string> args;
        for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
        if (args.empty()) continue;
        const std::string program = args[0].substr(args[0].rfind('/') + 1);
        if ((program == "Xvfb" || program == "Xorg") && std::find(args.begin(), args.end(), display.toStdString()) != args.end())
            return pid;
    }
    return 0;
}

void Pump(std::chrono::milliseconds ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

constexpr auto kSettle = std::chrono::seconds(2);    // start-up left out of the CPU figures
constexpr auto kMeasure = std::chrono::seconds(20);

// CPU seconds the engine spends in kMeasure of playing url.
// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// xServer, xCpu: the X server's CPU in the same time, when xServer is not 0. paints: the
// video surface's paints in that time. lateMean, lateWorst: how late the UI thread serves a
// 10 ms timer, in ms.
double EngineCpu(p::MediaEngine& engine, const std::string& url, pid_t xServer, double* xCpu, int* paints,
                 double* lateMean, double* lateWorst, bool* stillPlaying) {
    engine.SetUrl(Text(url));
    if (!WaitState(engine, p::wmppsPlaying)) return -1;
    Pump(std::chrono::duration_cast<std::chrono::milliseconds>(kSettle));
    PaintCounter counter;
    engine.Widget()->installEventFilter(&counter);
    // How late a 10 ms timer fires: what a click or a key waits for while the video plays.
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    auto last = Clock::now();
    double worstLate = 0, sumLate = 0;
    int ticks = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        const double late = std::max(0.0, Ms(now - last) - 10);
        worstLate = std::max(worstLate, late);
        sumLate += late;
        ++ticks;
        last = now;
    });
    tick.start(10);
    const double before = SelfCpu(), xBefore = xServer ? ProcessCpu(xServer) : 0;
    Pump(std::chrono::duration_cast<std::chrono::milliseconds>(kMeasure));
    const double used = SelfCpu() - before;
    tick.stop();
    engine.Widget()->removeEventFilter(&counter);
    *paints = counter.paints;
    *lateMean = ticks ? sumLate / ticks : -1;
    *lateWorst = worstLate;
    *xCpu = xServer ? ProcessCpu(xServer) - xBefore : -1;
    *stillPlaying = engine.PlayState() == p::wmppsPlaying;
    engine.SetUrl(Text());
    WaitState(engine, p::wmppsStopped);
    return used;
}

// CPU seconds the mpv program spends in kMeasure of playing url in its own window; vo gets the
// video output it chose.
// geometry empty: mpv's own choice of window size.
double MpvProgramCpu(const std::string& url, const std::string& geometry, const std::string& logFile, pid_t xServer,
                     double* xCpu, std::string* vo, bool* stillPlaying) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        const std::string geometryOption = "--geometry=" + geometry;
        if (geometry.empty()) execlp("mpv", "mpv", "--no-config", url.c_str(), static_cast<char*>(nullptr));
        else execlp("mpv", "mpv", "--no-config", geometryOption.c_str(), url.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) return -1;
    std::this_thread::sleep_for(kSettle);
    const double before = ProcessCpu(pid), xBefore = xServer ? ProcessCpu(xServer) : 0;
    std::this_thread::sleep_for(kMeasure);
    const double after = ProcessCpu(pid);
    *xCpu = xServer ? ProcessCpu(xServer) - xBefore : -1;
    *stillPlaying = waitpid(pid, nullptr, WNOHANG) == 0;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::ifstream log(logFile);
    for (std::string line; std::getline(log, line);) {
        const size_t at = line.find("VO: [");
        if (at != std::string::npos) *vo = line.substr(at + 5, line.find(']', at) - at - 5);
    }
    return before < 0 || after < 0 ? -1 : after - before;
}

// Milliseconds per mpv_render_context_render call of the software renderer at w x h.
double SoftwareRenderMs(const std::string& clip, int w, int h) {
    Mpv m(mpv_create());
    const char* const options[][2] = {{"config", "no"}, {"vo", "libmpv"}, {"ao", "null"}, {"pause", "yes"}};
    for (const auto& [name, value] : options) mpv_set_option_string(m.get(), name, value);
    mpv_initialize(m.get());
    char api[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param cp[] = {{MPV_RENDER_PARAM_API_TYPE, api}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context* ctx = nullptr;
    if (mpv_render_context_create(&ctx, m.get(), cp) < 0) return -1;
    const char* load[] = {"loadfile", clip.c_str(), nullptr};
    mpv_command(m.get(), load);
    WaitEvent(m.get(), MPV_EVENT_PLAYBACK_RESTART);
    const size_t stride = (static_cast<size_t>(w) * 4 + 63) / 64 * 64;
    void* pixels = std::aligned_alloc(64, stride * static_cast<size_t>(h));
    int size[2] = {w, h};
    char format[] = "bgr0";
    size_t st = stride;
    mpv_render_param rp[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                             {MPV_RENDER_PARAM_SW_FORMAT, format},
                             {MPV_RENDER_PARAM_SW_STRIDE, &st},
                             {MPV_RENDER_PARAM_SW_POINTER, pixels},
                             {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(ctx, rp);  // warm-up: scaler set-up
    const int frames = 50;
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i) mpv_render_context_render(ctx, rp);
    const double ms = Ms(Clock::now() - start) / frames;
    std::free(pixels);
    mpv_render_context_free(ctx);
    return ms;
}

struct Timing {
    std::vector<double> engine, bare;
    bool Failed() const {
        auto bad = [](const std::vector<double>& v) { return std::any_of(v.begin(), v.end(), [](double x) { return x < 0; }); };
        return bad(engine) || bad(bare);
    }
    void Print(const char* what, double goal) const {
        const double e = Median(engine), b = Median(bare);
        std::printf("URL to playing, %s:\n", what);
        std::printf("  engine     median %7.2f ms (min %.2f, max %.2f)\n", e, *std::min_element(engine.begin(), engine.end()),
                    *std::max_element(engine.begin(), engine.end()));
        std::printf("  bare mpv   median %7.2f ms (min %.2f, max %.2f)\n", b, *std::min_element(bare.begin(), bare.end()),
                    *std::max_element(bare.begin(), bare.end()));
        std::printf("  ratio      %.3f (goal <= %.1f)%s\n", e / b, goal, Failed() ? "  SOME RUNS FAILED" : "");
    }
};

// One server of live_server.sh, in its own process group.
class LiveServer {
public:
    LiveServer(std::string kind, std::string dir, int port) : kind_(std::move(kind)), dir_(std::move(dir)), port_(port) {}
    ~LiveServer() { Stop(); }
    bool Start() {
        Stop();
        const std::string ready = dir_ + "/ready", port = std::to_string(port_);
        ::unlink(ready.c_str());
        std::fflush(nullptr);  // or the child's freopen writes the buffered lines again
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            if (std::freopen("/dev/null", "w", stdout) && std::freopen("/dev/null", "w", stderr))
                execl("/bin/bash", "bash", ORBIQ_LIVE_SERVER_SCRIPT, kind_.c_str(), port.c_str(), dir_.c_str(),
                      static_cast<char*>(nullptr));
            _exit(127);
        }
        setpgid(pid_, pid_);
        const auto until = Clock::now() + std::chrono::seconds(20);
        while (access(ready.c_str(), F_OK) != 0 && Clock::now() < until) Pump(std::chrono::milliseconds(20));
        return access(ready.c_str(), F_OK) == 0;
    }
    void Stop() {
        if (pid_ <= 0) return;
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    std::string kind_, dir_;
    int port_;
    pid_t pid_ = -1;
};

// A port nothing listens on: bound once, then closed.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

// Bare libmpv's states as the control would see them: playing, or ended (-1) / still trying.
int BareState(mpv_handle* h) {
    for (;;) {
        mpv_event* e = mpv_wait_event(h, 0);
        if (e->event_id == MPV_EVENT_NONE) return 0;
        if (e->event_id == MPV_EVENT_PLAYBACK_RESTART) return 1;
        if (e->event_id == MPV_EVENT_END_FILE) return -1;
    }
}

// One player as the drop measure sees it: 1 playing, -1 ended for good, 0 anything else.
struct Side {
    std::function<void(const std::string&)> load;
    std::function<int()> state;
    std::function<void()> stop;
};

// The server stopped for 5 s while the player plays it: seconds from the server's return to
// playing again; -1 not within 40 s, -2 ended without coming back, -3 did not play at first.
double DropAndReturn(LiveServer& server, const std::string& url, Side& side) {
    if (!server.Start()) return -3;
    side.load(url);
    int s = 0;
    for (auto until = Clock::now() + std::chrono::seconds(15); s != 1 && Clock::now() < until;) {
        Pump(std::chrono::milliseconds(10));
        s = side.state();
    }
    if (s != 1) return -3;
    Pump(std::chrono::milliseconds(2000));
    server.Stop();
    Pump(std::chrono::milliseconds(5000));
    if (!server.Start()) return -3;
    const auto back = Clock::now();
    double seconds = -1;
    while (Clock::now() - back < std::chrono::seconds(40)) {
        Pump(std::chrono::milliseconds(10));
        s = side.state();
        if (s == 1) {
            seconds = std::chrono::duration<double>(Clock::now() - back).count();
            break;
        }
        if (s == -1) {
            seconds = -2;
            break;
        }
    }
    side.stop();
    server.Stop();
    return seconds;
}

std::string Shown(double s) {
    char buf[64];
    if (s >= 0) std::snprintf(buf, sizeof buf, "%6.2f s", s);
    else if (s == -2) std::snprintf(buf, sizeof buf, "ended, no reconnect");
    else if (s == -3) std::snprintf(buf, sizeof buf, "did not play");
    else std::snprintf(buf, sizeof buf, "not within 40 s");
    return buf;
}

// Seconds until the engine settles at ready, and until bare libmpv (its default options) ends
// the file (-1: not within 40 s).
void DeadChannel(const char* name, const std::string& url, p::MediaEngine& engine, bool headless) {
    Mpv bare = BareMpv(headless);
    const auto start = Clock::now();
    engine.SetUrl(Text(url));
    const char* load[] = {"loadfile", url.c_str(), "replace", nullptr};
    mpv_command_async(bare.get(), 0, load);
    double engineSeconds = -1, bareSeconds = -1;
    while (Clock::now() - start < std::chrono::seconds(40) && (engineSeconds < 0 || bareSeconds < 0)) {
        Pump(std::chrono::milliseconds(10));
        const double t = std::chrono::duration<double>(Clock::now() - start).count();
        if (engineSeconds < 0 && engine.PlayState() == p::wmppsReady) engineSeconds = t;
        if (bareSeconds < 0 && BareState(bare.get()) == -1) bareSeconds = t;
    }
    auto shown = [](double s) {
        char buf[32];
        if (s >= 0) std::snprintf(buf, sizeof buf, "%6.2f s", s);
        else std::snprintf(buf, sizeof buf, "> 40 s");
        return std::string(buf);
    };
    std::printf("  %-22s engine %-10s bare mpv %s\n", name, shown(engineSeconds).c_str(), shown(bareSeconds).c_str());
    engine.SetUrl(Text());
    WaitState(engine, p::wmppsStopped);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    QTemporaryDir dir;
    const std::string work = dir.path().toStdString();

    // 40 s of moving test picture, 1280 x 720 H.264 at 25 frames/s in MPEG-TS, as a channel sends it.
    const std::string hdFile = work + "/hd.ts";
    const std::string makeHd = "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25:duration=40 "
                               "-pix_fmt yuv420p -c:v libx264 -preset veryfast -b:v 3M -g 50 -f mpegts '" + hdFile + "'";
    if (std::system(makeHd.c_str()) != 0) {
        std::fprintf(stderr, "ffmpeg could not make the video stream\n");
        return 1;
    }
    const std::string hd = ReadAll(hdFile);
    const std::string wav = orbiq::test::ToneWav(5.0, 44100);

    // The server runs in a child process, started before any thread, so that its CPU stays out
    // of the figures.
    httplib::Server server;
    server.Get("/tone.wav", [&](const httplib::Request&, httplib::Response& res) { res.set_content(wav, "audio/wav"); });
    server.Get("/hd.ts", [&](const httplib::Request&, httplib::Response& res) { res.set_content(hd, "video/mp2t"); });
    const int port = server.bind_to_any_port("127.0.0.1");
    const pid_t serverPid = fork();
    if (serverPid == 0) {
        server.listen_after_bind();
        _exit(0);
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    for (int i = 0; i < 500 && !httplib::Client("127.0.0.1", port).Get("/none"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");

    // The unit's video area.
    QWidget window;
    window.setWindowTitle(QStringLiteral("bench_media"));
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto engine = p::CreateMpvEngine(&window);
    layout->addWidget(engine->Widget());
    window.resize(566, 376);
    window.show();

    Mpv bare = BareMpv(headless);
    auto drawing = std::make_unique<BareRenderer>(headless);
    const std::string tone = base + "/tone.wav", video = base + "/hd.ts";
    EngineRun(*engine, tone);  // warm-up of all (ao, demuxers, decoder, connection)
    BareRun(bare.get(), tone);
    EngineRun(*engine, video);
    BareRun(bare.get(), video);
    BareRun(drawing->Handle(), video);

    Timing toneTiming, videoTiming, drawnTiming;
    for (int i = 0; i < runs; ++i) {
        const std::string q = "?run=" + std::to_string(i);
        toneTiming.engine.push_back(EngineRun(*engine, tone + q));
        toneTiming.bare.push_back(BareRun(bare.get(), tone + q));
        videoTiming.engine.push_back(EngineRun(*engine, video + q));
        videoTiming.bare.push_back(BareRun(bare.get(), video + q));
        drawnTiming.bare.push_back(BareRun(drawing->Handle(), video + q));
    }
    drawnTiming.engine = videoTiming.engine;
    bare.reset();
    drawing.reset();
    std::printf("platform %s, %d runs each\n", qPrintable(platform), runs);
    toneTiming.Print("local HTTP WAV stream", 1.1);
    videoTiming.Print("local HTTP 1280x720 H.264 stream, bare libmpv with vo=null", 1.3);
    drawnTiming.Print("the same stream, bare libmpv drawing through the software render API", 1.3);
    bool failed = toneTiming.Failed() || videoTiming.Failed() || drawnTiming.Failed();

    std::printf("server stopped for 5 s while playing: from its return to playing again\n");
    struct Live { const char* name; const char* kind; const char* path; };
    Side engineSide{[&](const std::string& url) { engine->SetUrl(Text(url)); },
                    [&] {
                        const int st = engine->PlayState();
                        return st == p::wmppsPlaying ? 1 : (st == p::wmppsStopped || st == p::wmppsReady) ? -1 : 0;
                    },
                    [&] {
                        engine->SetUrl(Text());
                        WaitState(*engine, p::wmppsStopped);
                    }};
    Mpv dropBare;
    int bareState = 0;
    Side bareSide{[&](const std::string& url) {
                      dropBare = BareMpv(headless);
                      bareState = 0;
                      const char* load[] = {"loadfile", url.c_str(), "replace", nullptr};
                      mpv_command_async(dropBare.get(), 0, load);
                  },
                  [&] {
                      const int st = BareState(dropBare.get());
                      if (st != 0) bareState = st;
                      return bareState;
                  },
                  [&] { dropBare.reset(); }};
    // One player at a time: ffmpeg's listener serves one client.
    for (const Live& l : {Live{"HLS", "hls", "/live.m3u8"}, Live{"Icecast MP3", "icecast", "/live.mp3"},
                          Live{"HTTP TS", "httpts", "/live.ts"}}) {
        const int livePort = FreePort();
        LiveServer server(l.kind, work + "/" + l.kind, livePort);
        const std::string url = "http://127.0.0.1:" + std::to_string(livePort) + l.path;
        const double e = DropAndReturn(server, url, engineSide);
        const double b = DropAndReturn(server, url, bareSide);
        std::printf("  %-12s engine %-22s bare mpv %s\n", l.name, Shown(e).c_str(), Shown(b).c_str());
    }
    std::printf("dead channel: until it settles\n");
    {
        // A port that accepts and never answers, and one that refuses.
        httplib::Server silentProbe;
        const int silent = silentProbe.bind_to_any_port("127.0.0.1");  // bound and listening, never served
        const int refused = FreePort();
        const std::string s = std::to_string(silent), r = std::to_string(refused);
        DeadChannel("silent HTTP port", "http://127.0.0.1:" + s + "/live", *engine, headless);
        DeadChannel("refused HTTP port", "http://127.0.0.1:" + r + "/live", *engine, headless);
        DeadChannel("silent RTSP port", "rtsp://127.0.0.1:" + s + "/live", *engine, headless);
        DeadChannel("mms:// to a silent port", "mms://127.0.0.1:" + s + "/live", *engine, headless);
        DeadChannel("mms:// to a refused port", "mms://127.0.0.1:" + r + "/live", *engine, headless);
    }

    if (!headless) {
        bool enginePlaying = false, programPlaying = false, fullPlaying = false;
        std::string vo = "?", fullVo = "?";
        const pid_t xServer = XServerPid();
        double engineX = -1, programX = -1, fullX = -1;
        int paints = 0;
        double lateMean = -1, lateWorst = -1;
        const double engineCpu =
            EngineCpu(*engine, video + "?cpu", xServer, &engineX, &paints, &lateMean, &lateWorst, &enginePlaying);
        const double programCpu =
            MpvProgramCpu(video + "?cpu", "566x376", work + "/mpv.log", xServer, &programX, &vo, &programPlaying);
        const double fullCpu = MpvProgramCpu(video + "?cpu", "", work + "/mpv-full.log", xServer, &fullX, &fullVo, &fullPlaying);
        const double seconds = std::chrono::duration<double>(kMeasure).count();
        auto line = [&](const char* who, double cpu, double x, bool playing) {
            std::printf("  %-34s %6.2f s  (%5.1f %% of one core), X server %5.2f s%s\n", who, cpu, 100 * cpu / seconds, x,
                        playing ? "" : "  NOT PLAYING AT THE END");
        };
        std::printf("CPU while playing the 1280x720 stream for %.0f s:\n", seconds);
        line("engine, 566x376", engineCpu, engineX, enginePlaying);
        line(("mpv program, 566x376, vo=" + vo).c_str(), programCpu, programX, programPlaying);
        line(("mpv program, its own size, vo=" + fullVo).c_str(), fullCpu, fullX, fullPlaying);
        std::printf("  ratio engine / mpv at 566x376     %.3f (goal <= 1.3)\n", engineCpu / programCpu);
        std::printf("  engine's video surface paints     %d (the stream has %.0f frames in that time)\n", paints, 25 * seconds);
        std::printf("  UI thread, 10 ms timer late by    %.2f ms on average, %.1f ms at worst\n", lateMean, lateWorst);
        failed = failed || engineCpu < 0 || programCpu < 0 || !enginePlaying || !programPlaying;
    } else {
        std::printf("CPU figures need a display (run under Xvfb)\n");
    }
    engine.reset();
    kill(serverPid, SIGTERM);
    waitpid(serverPid, nullptr, 0);

    // Software renderer cost per frame.
    const std::string sd = work + "/sd.mp4";
    const std::string makeSd = "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=720x576:rate=25:duration=3 "
                               "-pix_fmt yuv420p -c:v libx264 '" + sd + "'";
    if (std::system(makeSd.c_str()) == 0) {
        std::printf("software renderer per frame:\n");
        std::printf("  720x576 source   -> 566x376    %6.2f ms\n", SoftwareRenderMs(sd, 566, 376));
        std::printf("  720x576 source   -> 1920x1080  %6.2f ms\n", SoftwareRenderMs(sd, 1920, 1080));
    }
    std::printf("  1280x720 source  -> 566x376    %6.2f ms\n", SoftwareRenderMs(hdFile, 566, 376));
    return failed ? 1 : 0;
}
