#include "site/site_server.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/socket.h>

#include "common/catalogue_file.h"
#include "common/text.h"
#include "site/board_script.h"

#ifdef ORBIQ_WITH_JETWRITER
#include "tools/jetwriter/jet_writer.h"
#define ORBIQ_SITE_HAS_WRITER 1
#else
#define ORBIQ_SITE_HAS_WRITER 0
#endif

namespace orbiq::site {

struct SiteServer::Host {
    httplib::Server server;
    std::thread thread;
    mutable std::mutex mutex;
    std::map<std::string, std::string> files;
    struct Junk {
        uint64_t size;
        bool announceLength;
    };
    std::map<std::string, Junk> junk;
    std::vector<std::string> requests;
    std::atomic<int> counterHits{0};
    std::atomic<bool> listenEnded{false};
};

namespace {

std::string Gbk(const char* utf8) { return Utf8ToGbk(utf8); }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Little-endian fields of the RIFF and BMP headers.
std::string Le32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string Le16(uint16_t v) { return std::string{char(v), char(v >> 8)}; }

// A few seconds of a soft two-tone chime as 16-bit mono WAV.
std::string ToneWav(double seconds, double frequency) {
    const int rate = 22050;
    const int samples = static_cast<int>(seconds * rate);
    std::string data;
    data.reserve(samples * 2);
    for (int i = 0; i < samples; ++i) {
        double t = static_cast<double>(i) / rate;
        double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 0.5 * t);
        double v = 0.25 * envelope * (std::sin(2 * M_PI * frequency * t) + 0.5 * std::sin(2 * M_PI * frequency * 1.5 * t));
        int16_t s = static_cast<int16_t>(v * 32767);
        data.push_back(static_cast<char>(s & 0xFF));
        data.push_back(static_cast<char>((s >> 8) & 0xFF));
    }
    std::string wav = "RIFF" + Le32(36 + static_cast<uint32_t>(data.size())) + "WAVEfmt " + Le32(16) + Le16(1) + Le16(1) +
                      Le32(rate) + Le32(rate * 2) + Le16(2) + Le16(16) + "data" + Le32(static_cast<uint32_t>(data.size()));
    return wav + data;
}

std::string ContentType(const std::string& path) {
    auto ends = [&](const char* s) { return path.size() >= strlen(s) && path.compare(path.size() - strlen(s), strlen(s), s) == 0; };
    if (ends(".txt")) return "text/plain; charset=gbk";
    if (ends(".htm") || ends(".html") || ends(".asp")) return "text/html; charset=gbk";
    if (ends(".gif")) return "image/gif";
    if (ends(".bmp")) return "image/bmp";
    if (ends(".css")) return "text/css; charset=gbk";
    if (ends(".js")) return "text/javascript; charset=gbk";
    if (ends(".wav")) return "audio/wav";
    if (ends(".mp4")) return "video/mp4";
    return "application/octet-stream";
}

// An advert's 96 x 96 picture as a 24-bit BMP: a television set on a gradient in the advert's
// colour; the screen is filled with AdvertScreenColour(i).
std::string AdvertPicture(int i) {
    const int size = 96;
    const uint32_t screen = AdvertScreenColour(i);
    const int sr = screen >> 16 & 0xFF, sg = screen >> 8 & 0xFF, sb = screen & 0xFF;
    const uint32_t dataSize = size * size * 3;
    std::string bmp = "BM" + Le32(54 + dataSize) + Le32(0) + Le32(54) + Le32(40) + Le32(size) + Le32(size) + Le16(1) +
                      Le16(24) + Le32(0) + Le32(dataSize) + Le32(2835) + Le32(2835) + Le32(0) + Le32(0);
    for (int row = size - 1; row >= 0; --row) {  // bottom-up
        for (int x = 0; x < size; ++x) {
            int r = sr / 4 + row, g = sg / 4 + row / 2, b = sb / 4 + x / 2;  // the gradient
            const bool body = x >= 10 && x < 86 && row >= 16 && row < 74;
            const bool screenArea = x >= 16 && x < 80 && row >= 22 && row < 68;
            const bool stand = (row >= 74 && row < 80 && x >= 42 && x < 54) || (row >= 80 && row < 84 && x >= 30 && x < 66);
            if (body || stand) r = g = b = 0xE8;
            if (screenArea) r = sr, g = sg, b = sb;
            bmp += {char(std::min(b, 255)), char(std::min(g, 255)), char(std::min(r, 255))};
        }
    }
    return bmp;
}

const char* const kAdvertTitles[] = {"高清直播", "广播电台", "影视点播", "赞助我们"};
const char* const kAdvertLines[] = {"数百个电视频道，一点即看", "全国电台，在线收听", "热门影视，随时点播",
                                    "点击广告就是对我们的赞助"};

// An advert page: its picture, the shared style sheet and script, and links that open the
// site in a new window.
std::string AdvertPage(int i) {
    const std::string n = std::to_string(i);
    return Gbk("<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>广告位 ") + n +
           "</title>\n<link rel=\"stylesheet\" href=\"gg.css\"><script src=\"gg.js\"></script></head>\n"
           "<body class=\"ad ad" + n + "\">\n<a href=\"../\" target=\"_blank\"><img id=\"pic\" src=\"" + n +
           ".bmp\" width=\"96\" height=\"96\" alt=\"\"></a>\n<div class=\"words\"><h1>" + Gbk(kAdvertTitles[i - 1]) +
           "</h1><p>" + Gbk(kAdvertLines[i - 1]) + "</p><p class=\"slot\">" + Gbk("广告位 ") + n +
           "</p><a id=\"go\" href=\"../\" target=\"_blank\"></a></div>\n</body></html>\n";
}

const char kAdvertStyle[] =
    "html, body { margin: 0; height: 100%; overflow: hidden; }\n"
    "body.ad { background: #1b2330; color: #e8edf4; font: 12px sans-serif; display: flex; align-items: center; }\n"
    "body.ad img { display: block; margin: 8px; border: 0; }\n"
    ".words { padding-right: 8px; }\n"
    ".words h1 { font-size: 16px; margin: 0 0 4px; color: #ffd25a; }\n"
    ".words p { margin: 0 0 4px; }\n"
    ".words .slot { color: #8a97a8; }\n"
    "#go { color: #7cc4ff; }\n";

// Fills the link that the style sheet colours: the page's script has run when it reads.
const char kAdvertScript[] =
    "document.addEventListener('DOMContentLoaded', function () {\n"
    "  document.getElementById('go').textContent = '\\u7acb\\u5373\\u67e5\\u770b \\u00bb';\n"
    "});\n";

// size bytes of a repeating text, written 64 KiB at a time as the client takes them.
void ServeJunk(httplib::Response& res, uint64_t size, bool announceLength) {
    auto piece = std::make_shared<std::string>();
    while (piece->size() < (64u << 10)) piece->append("junk from a mirror that answers anything. ");
    auto write = [piece, size](size_t offset, httplib::DataSink& sink) {
        if (offset >= size) return false;
        size_t n = static_cast<size_t>(std::min<uint64_t>(piece->size(), size - offset));
        return sink.write(piece->data(), n);
    };
    if (announceLength) {
        res.set_content_provider(static_cast<size_t>(size), "application/octet-stream",
                                 [write](size_t offset, size_t, httplib::DataSink& sink) { return write(offset, sink); });
    } else {
        res.set_chunked_content_provider("application/octet-stream", [write, size](size_t offset, httplib::DataSink& sink) {
            if (offset >= size) {
                sink.done();
                return true;
            }
            return write(offset, sink);
        });
    }
}

}  // namespace

uint32_t AdvertScreenColour(int i) {
    static const uint32_t colours[] = {0x2090E0, 0xE05A20, 0x30B050, 0xB040C0};
    return colours[(i - 1) & 3];
}

SiteServer::SiteServer(const std::string& host)
    : host_(host), site_(std::make_unique<Host>()), mirror1_(std::make_unique<Host>()),
      mirror2_(std::make_unique<Host>()), download_(std::make_unique<Host>()), board_(std::make_unique<Host>()) {}

SiteServer::~SiteServer() { Stop(); }

bool SiteServer::StartHost(Host& host, int& port) {
    host.server.set_keep_alive_max_count(20);
    host.server.Get(R"(/(.*))", [&host](const httplib::Request& req, httplib::Response& res) {
        std::string path = req.matches[1];
        std::string key = path;
        if (!req.params.empty()) {
            std::string query;
            for (auto& [k, v] : req.params) query += (query.empty() ? "" : "&") + k + "=" + v;
            key += "?" + query;
        }
        std::lock_guard lock(host.mutex);
        host.requests.push_back("GET /" + key);
        // The counter pages carry a live count: recent hits on top of a base.
        if (path == "ok/count.asp") {
            int hits = ++host.counterHits;
            std::string id = req.get_param_value("id");
            std::string page = "<html><body><font class=none>" + std::to_string(1200 + hits % 97 + (id == "1" ? 30 : 0)) +
                               "</font></body></html>";
            res.set_content(page, "text/html");
            return;
        }
        if (path == "abc.asp") {
            res.set_content(Gbk("<html><body>谢谢您的报告</body></html>"), "text/html; charset=gbk");
            return;
        }
        if (auto j = host.junk.find(path); j != host.junk.end()) {
            ServeJunk(res, j->second.size, j->second.announceLength);
            return;
        }
        auto it = host.files.find(key);
        if (it == host.files.end()) it = host.files.find(path);
        if (it == host.files.end()) {
            res.status = 404;
            res.set_content("not found", "text/plain");
            return;
        }
        res.set_content(it->second, ContentType(path).c_str());
    });
    return Listen(host, port);
}

bool SiteServer::Listen(Host& host, int& port) {
    // SO_REUSEADDR alone: httplib's default SO_REUSEPORT would let a second site share a port
    // that another process already listens on.
    host.server.set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // A browser keeps several idle connections per page open; each holds a worker until its
    // keep-alive ends, so the pool is wide and the keep-alive short.
    host.server.new_task_queue = [] { return new httplib::ThreadPool(32); };
    host.server.set_keep_alive_timeout(1);
    if (port == 0) {
        port = host.server.bind_to_any_port(host_.c_str());
        if (port < 0) return false;
    } else if (!host.server.bind_to_port(host_.c_str(), port)) {
        return false;
    }
    host.thread = std::thread([&host] {
        host.server.listen_after_bind();
        host.listenEnded = true;
    });
    // stop() does nothing to a server that is not yet running, so Stop could wait for ever.
    while (!host.server.is_running() && !host.listenEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void SiteServer::SetBoardFolder(const std::string& folder) { boardFolder_ = folder; }

// The board's script under the base path and script name of the board's server record.
bool SiteServer::StartBoardHost() {
    if (boardFolder_.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "orbiq-board-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return false;
        boardFolder_ = pattern;
        boardFolderIsTemporary_ = true;
    }
    boardScript_ = std::make_unique<BoardScript>(boardFolder_);
    Host& host = *board_;
    BoardScript& script = *boardScript_;
    host.server.Post("/box/boo1/wms.asp", [this, &host, &script](const httplib::Request& req, httplib::Response& res) {
        {
            std::lock_guard lock(host.mutex);
            host.requests.push_back("POST /box/boo1/wms.asp");
        }
        // A browser marks a web page's requests (a form post included) with Origin; the player
        // sends none, so a page in the user's browser cannot drive the script.
        if (req.has_header("Origin")) {
            res.status = 403;
            res.set_content("-1", "text/html; charset=gbk");
            return;
        }
        if (AnswerAsHostileBoard(res)) return;
        res.set_content(script.Answer(req.body), "text/html; charset=gbk");
    });
    return Listen(host, ports_.board);
}

void SiteServer::SetBoardAnswer(BoardAnswer answer) {
    auto body = std::make_shared<const std::string>(HostileBoardBody(answer));
    std::lock_guard lock(hostileBoard_.mutex);
    hostileBoard_.answer = answer;
    hostileBoard_.body = std::move(body);
}

bool SiteServer::AnswerAsHostileBoard(httplib::Response& res) {
    std::unique_lock lock(hostileBoard_.mutex);
    const BoardAnswer answer = hostileBoard_.answer;
    const std::shared_ptr<const std::string> body = hostileBoard_.body;
    lock.unlock();
    if (answer == BoardAnswer::Script) return false;
    if (answer == BoardAnswer::EndlessBody) {
        // Chunked and never done: it ends only when the client lets go.
        res.set_chunked_content_provider("text/html; charset=gbk", [](size_t offset, httplib::DataSink& sink) {
            const std::string piece = EndlessBoardPiece(offset);
            return sink.write(piece.data(), piece.size());
        });
        return true;
    }
    res.set_content(*body, "text/html; charset=gbk");
    return true;
}

bool SiteServer::Start(const SitePorts& ports) {
    ports_ = ports;
    bool ok = StartSite() && StartHost(*mirror1_, ports_.mirror1) &&
              StartHost(*mirror2_, ports_.mirror2) && StartHost(*download_, ports_.download) && StartBoardHost();
    if (!ok) {
        Stop();  // every port is needed: none keeps serving
        return false;
    }
#if ORBIQ_SITE_HAS_WRITER
    // The catalogue the mirrors serve: channels that play from this stand-in.
    const std::string media = "http://" + host_ + ":" + std::to_string(ports_.site) + "/media/";
    using jet::ChannelSpec;
    auto t = [](const char* s) { return std::optional<Text>(Text::FromUtf8(s)); };
    std::vector<std::optional<Text>> categories = {t("直播频道"), t("广播电台"), t("音乐频道")};
    std::vector<ChannelSpec> channels = {
        {t("直播频道"), t("本地测试台"), std::optional<Text>(Text(media + "clip.mp4")), t("本地视频")},
        {t("直播频道"), t("彩条频道"), std::optional<Text>(Text(media + "bars.mp4")), t("本地视频")},
        {t("广播电台"), t("本地之声"), std::optional<Text>(Text(media + "radio.wav")), t("广播电台（收音机）")},
        {t("音乐频道"), t("钟声"), std::optional<Text>(Text(media + "chime.wav")), std::nullopt},
    };
    const ByteSet file = jet::WriteCatalogue(categories, channels, Text(catalogue::kPassword));
    std::string bytes(file.begin(), file.end());
    SetMirror1File(catalogue::kMirror1Path.data(), bytes);
    SetMirror2File(catalogue::kMirror2Path.data(), bytes);
    SetSiteFile(catalogue::kSitePath.data(), bytes);
#endif
    return true;
}

bool SiteServer::StartSite() {
    if (siteStall_ == SiteStall::None) return StartHost(*site_, ports_.site);
    stallingSite_ = std::make_unique<StallingHost>(siteStall_);
    ports_.site = stallingSite_->Listen(host_, ports_.site);
    return ports_.site >= 0;
}

void SiteServer::Stop() {
    if (stallingSite_) stallingSite_->Stop();
    for (Host* h : {site_.get(), mirror1_.get(), mirror2_.get(), download_.get(), board_.get()}) {
        if (!h) continue;
        h->server.stop();
        if (h->thread.joinable()) h->thread.join();
    }
    if (boardFolderIsTemporary_) {
        std::error_code ec;
        std::filesystem::remove_all(boardFolder_, ec);
        boardFolder_.clear();
        boardFolderIsTemporary_ = false;
    }
}

void SiteServer::SetSiteFile(const std::string& path, std::string bytes) {
    std::lock_guard lock(site_->mutex);
    site_->files[path] = std::move(bytes);
}
void SiteServer::SetMirror1File(const std::string& path, std::string bytes) {
    std::lock_guard lock(mirror1_->mutex);
    mirror1_->junk.erase(path);
    mirror1_->files[path] = std::move(bytes);
}
void SiteServer::SetMirror2File(const std::string& path, std::string bytes) {
    std::lock_guard lock(mirror2_->mutex);
    mirror2_->files[path] = std::move(bytes);
}
void SiteServer::SetDownloadFile(const std::string& path, std::string bytes) {
    std::lock_guard lock(download_->mutex);
    download_->files[path] = std::move(bytes);
}
void SiteServer::SetMirror1Junk(const std::string& path, uint64_t size, bool announceLength) {
    std::lock_guard lock(mirror1_->mutex);
    mirror1_->junk[path] = Host::Junk{size, announceLength};
}
void SiteServer::RemoveSiteFile(const std::string& path) {
    std::lock_guard lock(site_->mutex);
    site_->files.erase(path);
}

std::vector<std::string> SiteServer::SiteRequests() const {
    std::lock_guard lock(site_->mutex);
    return site_->requests;
}

void SiteServer::LoadDefaults(const std::string& pictureDir, const std::string& mediaDir) {
    SetSiteFile("rq.txt", Gbk("(全部频道)"));
    SetSiteFile("fwq/1.txt", Gbk("正常"));
    SetSiteFile("fwq/2.txt", Gbk("繁忙"));
    SetSiteFile("fwq/3.txt", Gbk("维护"));
    SetSiteFile("BB.txt", Gbk("1.33.2"));
    SetSiteFile("fwq2.txt", Gbk("三台服务器运行正常"));
    SetSiteFile("LB.txt", Gbk("欢迎使用ORBIQ网络电视！本地测试站点已启动：频道列表由镜像服务器提供，"
                              "选择频道即可收看。如遇频道无法播放，请在频道列表上点右键上报错误频道。"
                              "祝您收看愉快！"));
    if (!pictureDir.empty()) {
        std::string logo = ReadFile(pictureDir + "/main/logo.gif");
        if (!logo.empty()) SetSiteFile("orbiq-back.gif", logo);
    }
    for (const char* clip : {"clip.mp4", "bars.mp4"}) {
        std::string bytes = mediaDir.empty() ? std::string() : ReadFile(mediaDir + "/" + clip);
        if (!bytes.empty()) SetSiteFile(std::string("media/") + clip, std::move(bytes));
    }
    // The overlay animation shown while a channel connects or buffers: a short clip here.
    std::string waiting = mediaDir.empty() ? std::string() : ReadFile(mediaDir + "/waiting.mp4");
    if (!waiting.empty()) SetSiteFile("orbiq.swf", std::move(waiting));
    SetSiteFile("media/radio.wav", ToneWav(20.0, 440.0));
    SetSiteFile("media/chime.wav", ToneWav(8.0, 660.0));
    for (int i = 1; i <= 4; ++i) {
        SetSiteFile("GG/" + std::to_string(i) + ".htm", AdvertPage(i));
        SetSiteFile("GG/" + std::to_string(i) + ".bmp", AdvertPicture(i));
    }
    SetSiteFile("GG/gg.css", kAdvertStyle);
    SetSiteFile("GG/gg.js", kAdvertScript);
    SetSiteFile("", Gbk("<html><head><title>ORBIQ网络电视</title></head><body><h1>ORBIQ网络电视</h1></body></html>"));
    // The decoder installer: a harmless stand-in, 256 KiB of plain text.
    std::string installer;
    while (installer.size() < (256u << 10)) installer += "ORBIQ decoder installer stand-in: plain text, not a program.\r\n";
    SetDownloadFile("web/orbiq_zyjiema.exe", std::move(installer));
}

}  // namespace orbiq::site
