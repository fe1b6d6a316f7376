// Time from writing the URL to the playing state: the engine against bare libmpv on the same
// local HTTP stream, alternating, median over several runs. Also the software renderer's cost
// per frame at the unit's size and at full screen.
//   bench_media [runs]       (headless unless DISPLAY is set)
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <mpv/client.h>
#include <mpv/render.h>

#include "platform/media/media_engine.h"

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

std::string ToneWav(double seconds) {
    const uint32_t rate = 44100, samples = static_cast<uint32_t>(seconds * rate);
    std::string out;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff); };
    auto u16 = [&](uint16_t v) { out += static_cast<char>(v & 0xff); out += static_cast<char>(v >> 8); };
    out += "RIFF";
    u32(36 + samples * 2);
    out += "WAVEfmt ";
    u32(16); u16(1); u16(1); u32(rate); u32(rate * 2); u16(2); u16(16);
    out += "data";
    u32(samples * 2);
    for (uint32_t i = 0; i < samples; ++i)
        u16(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * i / rate))));
    return out;
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

// Milliseconds per mpv_render_context_render call of the software renderer at w x h.
double SoftwareRenderMs(const std::string& clip, int w, int h) {
    Mpv m(mpv_create());
    const char* const options[][2] = {{"config", "no"}, {"vo", "libmpv"}, {"ao", "null"}, {"keepaspect", "no"}, {"pause", "yes"}};
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    const QString platform = QGuiApplication::platformName();
    const bool headless = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");

    const std::string wav = ToneWav(5.0);
    httplib::Server server;
    server.Get("/tone.wav", [&](const httplib::Request&, httplib::Response& res) { res.set_content(wav, "audio/wav"); });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serverThread([&] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/tone.wav";

    QWidget parent;
    auto engine = p::CreateMpvEngine(&parent);
    Mpv bare = BareMpv(headless);
    EngineRun(*engine, url);  // warm-up of both (ao, demuxers, connection)
    BareRun(bare.get(), url);

    std::vector<double> engineMs, bareMs;
    for (int i = 0; i < runs; ++i) {
        const std::string u = url + "?run=" + std::to_string(i);
        engineMs.push_back(EngineRun(*engine, u));
        bareMs.push_back(BareRun(bare.get(), u));
    }
    const bool failed = std::any_of(engineMs.begin(), engineMs.end(), [](double v) { return v < 0; }) ||
                        std::any_of(bareMs.begin(), bareMs.end(), [](double v) { return v < 0; });
    const double e = Median(engineMs), b = Median(bareMs);
    std::printf("platform %s, %d runs, URL to playing on a local HTTP WAV stream\n", qPrintable(platform), runs);
    std::printf("  engine     median %7.2f ms (min %.2f, max %.2f)\n", e, *std::min_element(engineMs.begin(), engineMs.end()),
                *std::max_element(engineMs.begin(), engineMs.end()));
    std::printf("  bare mpv   median %7.2f ms (min %.2f, max %.2f)\n", b, *std::min_element(bareMs.begin(), bareMs.end()),
                *std::max_element(bareMs.begin(), bareMs.end()));
    std::printf("  ratio      %.3f (goal <= 1.1)%s\n", e / b, failed ? "  SOME RUNS FAILED" : "");

    engine.reset();
    bare.reset();
    server.stop();
    serverThread.join();

    // Software renderer cost on a 720x576 clip (a typical SD channel).
    QTemporaryDir dir;
    const std::string clip = (dir.path() + QStringLiteral("/clip.mp4")).toStdString();
    const std::string make = "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=720x576:rate=25:duration=3 "
                             "-pix_fmt yuv420p -c:v libx264 '" + clip + "'";
    if (std::system(make.c_str()) == 0) {
        std::printf("software renderer, 720x576 source, per frame:\n");
        std::printf("  566x376    %6.2f ms\n", SoftwareRenderMs(clip, 566, 376));
        std::printf("  1920x1080  %6.2f ms\n", SoftwareRenderMs(clip, 1920, 1080));
    }
    return failed ? 1 : 0;
}
