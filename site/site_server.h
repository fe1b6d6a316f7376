// A local stand-in for the player's remote side: the product web site, the two mirror
// servers, the download host and the message board's script host, each on a port of its own.
// A development and test aid.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "site/hostile_board.h"
#include "site/stalling_host.h"

namespace httplib {
class Server;
struct Response;
}  // namespace httplib

namespace orbiq::site {

struct SitePorts {
    int site = 0;     // 0: any free port
    int mirror1 = 0;
    int mirror2 = 0;
    int download = 0;
    int board = 0;
};

class BoardScript;

// The colour (0xRRGGBB) that fills the screen of advert i's picture ("GG/<i>.bmp").
uint32_t AdvertScreenColour(int i);

class SiteServer {
public:
    // files: extra or replacement files of the product web site, by path ("rq.txt" → bytes).
    explicit SiteServer(const std::string& host = "127.0.0.1");
    ~SiteServer();

    // Starts listening on every port; false, with nothing left listening, when one of them
    // cannot be bound (another process listening on it included).
    bool Start(const SitePorts& ports = {});
    void Stop();

    int sitePort() const { return ports_.site; }
    int mirror1Port() const { return ports_.mirror1; }
    int mirror2Port() const { return ports_.mirror2; }
    int downloadPort() const { return ports_.download; }
    int boardPort() const { return ports_.board; }

    // The board script's database folder; set before Start. Left empty, Start makes a
    // temporary folder that Stop removes.
    void SetBoardFolder(const std::string& folder);

    // Content: every path of each host, replaceable before or after Start.
    void SetSiteFile(const std::string& path, std::string bytes);
    void SetMirror1File(const std::string& path, std::string bytes);
    void SetMirror2File(const std::string& path, std::string bytes);
    void SetDownloadFile(const std::string& path, std::string bytes);
    void RemoveSiteFile(const std::string& path);
    // A misbehaving mirror: at path, mirror one answers `size` bytes of junk with status 200,
    // made as they go out (never held whole); with announceLength false, chunked, no length.
    void SetMirror1Junk(const std::string& path, uint64_t size, bool announceLength);
    // The site's default content: texts in GBK, the overlay picture, a catalogue.
    void LoadDefaults(const std::string& pictureDir, const std::string& mediaDir = {});

    // A slow product web site: set before Start. It then accepts connections and never
    // answers, or answers a byte a second; the mirrors, downloads and board answer as usual.
    void SetSiteStall(SiteStall stall) { siteStall_ = stall; }

    // Requests seen by the product web site, in order ("GET /rq.txt").
    std::vector<std::string> SiteRequests() const;

    // A misbehaving board script: from now on every request to it gets this answer (made
    // here, once) instead of the script's own; BoardAnswer::Script brings the script back.
    void SetBoardAnswer(BoardAnswer answer);

private:
    struct Host;
    bool StartHost(Host& host, int& port);
    bool StartBoardHost();
    bool StartSite();
    bool AnswerAsHostileBoard(httplib::Response& res);  // false: the script answers
    bool Listen(Host& host, int& port);
    std::string host_;
    SitePorts ports_;
    std::unique_ptr<Host> site_, mirror1_, mirror2_, download_, board_;
    std::string boardFolder_;
    bool boardFolderIsTemporary_ = false;
    std::unique_ptr<BoardScript> boardScript_;
    SiteStall siteStall_ = SiteStall::None;
    std::unique_ptr<StallingHost> stallingSite_;
    struct HostileBoard {
        std::mutex mutex;
        BoardAnswer answer = BoardAnswer::Script;
        std::shared_ptr<const std::string> body;
    };
    HostileBoard hostileBoard_;
};

}  // namespace orbiq::site
