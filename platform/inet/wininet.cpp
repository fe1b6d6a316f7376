#include "platform/inet/wininet.h"

#include "platform/inet/cookie_store.h"

#include "common/percent_encoding.h"
#include "platform/net/curl_easy.h"
#include "platform/net/http_get.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orbiq::platform {
namespace {

// Body bytes held for the reader; past this the transfer pauses until the reader catches up.
constexpr size_t kBodyBufferLimit = 64 * 1024;

using Clock = std::chrono::steady_clock;

// The time-outs of one session; the process-wide ones seed every new session.
struct Timeouts {
    std::atomic<uint32_t> connectMs{kDefaultConnectTimeoutMs};
    std::atomic<uint32_t> sendMs{kDefaultSendTimeoutMs};
    std::atomic<uint32_t> receiveMs{kDefaultReceiveTimeoutMs};

    std::atomic<uint32_t>* Option(uint32_t option) {
        switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT: return &connectMs;
        case INTERNET_OPTION_SEND_TIMEOUT: return &sendMs;
        case INTERNET_OPTION_RECEIVE_TIMEOUT: return &receiveMs;
        default: return nullptr;
        }
    }
    void CopyFrom(const Timeouts& other) {
        connectMs = other.connectMs.load();
        sendMs = other.sendMs.load();
        receiveMs = other.receiveMs.load();
    }
};

Timeouts& ProcessTimeouts() {
    static Timeouts* timeouts = new Timeouts;  // outlives any worker still running at exit
    return *timeouts;
}



bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && Lower(s.substr(0, prefix.size())) == Lower(prefix);
}

std::vector<std::string_view> Tokens(std::string_view list, std::string_view separators) {
    std::vector<std::string_view> tokens;
    size_t i = 0;
    while (i < list.size()) {
        size_t start = list.find_first_not_of(separators, i);
        if (start == std::string_view::npos) break;
        size_t end = list.find_first_of(separators, start);
        if (end == std::string_view::npos) end = list.size();
        tokens.push_back(list.substr(start, end - start));
        i = end;
    }
    return tokens;
}

enum class Kind { Internet, Connect, Request };

struct HandleObject {
    explicit HandleObject(Kind k) : kind(k) {}
    virtual ~HandleObject() = default;
    // Wakes a call pending on this handle; any thread.
    virtual void Interrupt() {}

    const Kind kind;
    uintptr_t id = 0;
    uintptr_t parent = 0;
    std::vector<uintptr_t> children;  // guarded by the registry
    std::atomic<bool> closed{false};
};

struct Session : HandleObject {
    Session() : HandleObject(Kind::Internet) {}
    std::string agent;
    std::string proxyUrl;  // empty: direct
    std::string noProxy;
    Timeouts timeouts;
};

struct Connection : HandleObject {
    Connection() : HandleObject(Kind::Connect) {}
    std::shared_ptr<const Session> session;
    std::string host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
};

struct Request : HandleObject {
    Request() : HandleObject(Kind::Request) {}
    ~Request() override {
        if (inMulti) curl_multi_remove_handle(multi.get(), easy.get());
        easy.reset();
        multi.reset();
    }
    void Interrupt() override { curl_multi_wakeup(multi.get()); }

    std::shared_ptr<const Connection> connection;
    std::string verb;
    std::string path;
    long httpVersion = CURL_HTTP_VERSION_1_1;
    std::string referrer;
    std::string acceptTypes;

    CurlMulti multi;
    CurlEasy easy;
    CurlSlist headerList;
    bool inMulti = false;
    bool sent = false;
    bool finished = false;
    CURLcode result = CURLE_OK;

    int status = 0;
    bool headersComplete = false;
    std::string rawHeaders;

    std::string body;  // received, not yet read from bodyPos on
    size_t bodyPos = 0;
    bool paused = false;

    // Send and receive time-outs: once connected, the transfer fails when it has neither sent
    // nor received a byte for sendMs while the request goes out, receiveMs after that.
    uint32_t sendMs = 0;
    uint32_t receiveMs = 0;
    curl_off_t uploadSize = 0;
    curl_off_t uploaded = 0;
    bool connected = false;
    bool receivedAny = false;
    Clock::time_point lastActivity;
};

// Every open handle by its value. Values count up and are never reused.
class Registry {
public:
    HINTERNET Add(const std::shared_ptr<HandleObject>& object, HINTERNET parent) {
        std::lock_guard lock(mutex_);
        uintptr_t parentId = reinterpret_cast<uintptr_t>(parent);
        if (parentId) {
            auto it = objects_.find(parentId);
            if (it == objects_.end()) return nullptr;  // closed meanwhile
            it->second->children.push_back(next_ + 1);
        }
        object->id = ++next_;
        object->parent = parentId;
        objects_[object->id] = object;
        return reinterpret_cast<HINTERNET>(object->id);
    }

    template <class T>
    std::shared_ptr<T> Find(HINTERNET handle, Kind kind) {
        std::lock_guard lock(mutex_);
        auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
        if (it == objects_.end() || it->second->kind != kind) return nullptr;
        return std::static_pointer_cast<T>(it->second);
    }

    bool Close(HINTERNET handle) {
        std::vector<std::shared_ptr<HandleObject>> closing;
        {
            std::lock_guard lock(mutex_);
            uintptr_t id = reinterpret_cast<uintptr_t>(handle);
            auto it = objects_.find(id);
            if (it == objects_.end()) return false;
            if (auto parent = objects_.find(it->second->parent); parent != objects_.end()) {
                auto& siblings = parent->second->children;
                siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
            }
            std::vector<uintptr_t> pending{id};
            while (!pending.empty()) {
                auto found = objects_.find(pending.back());
                pending.pop_back();
                if (found == objects_.end()) continue;
                pending.insert(pending.end(), found->second->children.begin(),
                               found->second->children.end());
                closing.push_back(found->second);
                objects_.erase(found);
            }
        }
        for (auto& object : closing) {
            object->closed.store(true);
            object->Interrupt();
        }
        // A call still pending holds its own reference; the last one frees the handle.
        return true;
    }

private:
    std::mutex mutex_;
    std::unordered_map<uintptr_t, std::shared_ptr<HandleObject>> objects_;
    uintptr_t next_ = 0;
};

Registry& Handles() {
    static Registry* registry = new Registry;  // outlives any worker still running at exit
    return *registry;
}

void NoteReceived(Request& r) {
    r.receivedAny = true;
    r.lastActivity = Clock::now();
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    size_t length = size * count;
    NoteReceived(*r);
    if (r->headersComplete) return length;  // trailers
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.substr(0, 5) == "HTTP/") {
        r->rawHeaders.clear();
        size_t blank = line.find(' ');
        r->status = blank == std::string_view::npos ? 0 : std::atoi(std::string(line.substr(blank + 1, 3)).c_str());
    }
    if (line.empty()) {
        if (r->status >= 100 && r->status < 200) {
            r->rawHeaders.clear();  // an interim answer such as 100 Continue
        } else {
            r->rawHeaders += "\r\n";
            r->headersComplete = true;
        }
        return length;
    }
    r->rawHeaders.append(line);
    r->rawHeaders += "\r\n";
    return length;
}

// The connection stands and the request is about to go out: the send time-out starts.
int OnConnected(void* user, char*, char*, int, int) {
    auto* r = static_cast<Request*>(user);
    r->connected = true;
    r->lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

// Milliseconds left before the send or receive time-out; 0 once it has passed, -1 when none
// applies yet.
long long IdleTimeLeft(Request& r) {
    if (!r.connected) return -1;  // the connect time-out is curl's
    curl_off_t uploaded = 0;
    curl_easy_getinfo(r.easy.get(), CURLINFO_SIZE_UPLOAD_T, &uploaded);
    if (uploaded != r.uploaded) {
        r.uploaded = uploaded;
        r.lastActivity = Clock::now();
    }
    const bool sending = !r.receivedAny && r.uploaded < r.uploadSize;
    const uint32_t limit = sending ? r.sendMs : r.receiveMs;
    if (limit == 0) return -1;
    auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - r.lastActivity).count();
    return std::max<long long>(0, static_cast<long long>(limit) - idle);
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    size_t length = size * count;
    if (r->body.size() - r->bodyPos >= kBodyBufferLimit) {
        r->paused = true;
        return CURL_WRITEFUNC_PAUSE;  // curl keeps these bytes and offers them again
    }
    r->body.append(data, length);
    NoteReceived(*r);
    return length;
}

// Moves the transfer on until ready() holds, the transfer is over or the handle is closed.
template <class Ready>
void Drive(Request& r, Ready ready) {
    while (!ready() && !r.finished && !r.closed.load()) {
        if (r.paused) {
            r.paused = false;
            r.lastActivity = Clock::now();  // the wait was the reader's, not the server's
            curl_easy_pause(r.easy.get(), CURLPAUSE_CONT);
            if (ready()) break;
        }
        int running = 0;
        if (curl_multi_perform(r.multi.get(), &running) != CURLM_OK) {
            r.finished = true;
            r.result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(r.multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE) {
                r.finished = true;
                r.result = message->data.result;
            }
        }
        if (ready() || r.finished) break;
        long long left = IdleTimeLeft(r);
        if (left == 0) {
            r.finished = true;
            r.result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        int wait = left < 0 ? 1000 : static_cast<int>(std::min<long long>(left, 1000));
        curl_multi_poll(r.multi.get(), nullptr, 0, wait, nullptr);
    }
}

// The proxy server for http from a WinINet proxy list ("http=host:port", "host:port", blanks or
// semicolons between entries) as a curl proxy URL; empty when the list names none.
std::string HttpProxyUrl(std::string_view list) {
    std::string_view chosen;
    std::string_view generic;
    for (std::string_view token : Tokens(list, " \t;")) {
        size_t eq = token.find('=');
        if (eq == std::string_view::npos) {
            if (generic.empty()) generic = token;
        } else if (Lower(token.substr(0, eq)) == "http" && eq + 1 < token.size() && chosen.empty()) {
            chosen = token.substr(eq + 1);
        }
    }
    std::string_view server = chosen.empty() ? generic : chosen;
    if (StartsWithNoCase(server, "http://")) server.remove_prefix(7);
    if (server.empty()) return {};
    std::string url = "http://" + std::string(server);
    if (server.find(':') == std::string_view::npos) url += ":80";
    return url;
}

// The path as curl may parse it (it matches cookie paths against it); the request line
// carries the path exactly as given.
std::string ParsablePath(std::string_view path) {
    return PercentEncode(path, [](unsigned char c) { return c <= 0x20 || c >= 0x7F || c == '#'; });
}

}  // namespace

HINTERNET InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                        const char* proxyBypass, uint32_t /*flags*/) {
    EnsureCurlGlobal();
    auto session = std::make_shared<Session>();
    session->timeouts.CopyFrom(ProcessTimeouts());
    session->agent = agent ? agent : "";
    if (accessType == INTERNET_OPEN_TYPE_PROXY) {
        session->proxyUrl = HttpProxyUrl(proxy ? proxy : "");
        std::string noProxy;
        for (std::string_view host : Tokens(proxyBypass ? proxyBypass : "", " \t;")) {
            if (host == "<local>") continue;  // no equivalent in curl
            if (!noProxy.empty()) noProxy += ',';
            noProxy += host;
        }
        session->noProxy = noProxy;
    }
    return Handles().Add(session, nullptr);
}

HINTERNET InternetConnectA(HINTERNET internet, const char* serverName, INTERNET_PORT serverPort,
                           const char* /*userName*/, const char* /*password*/, uint32_t service,
                           uint32_t /*flags*/, uintptr_t /*context*/) {
    auto session = Handles().Find<Session>(internet, Kind::Internet);
    if (!session || service != INTERNET_SERVICE_HTTP || !serverName || !*serverName) return nullptr;
    auto connection = std::make_shared<Connection>();
    connection->session = session;
    connection->host = serverName;
    connection->port = serverPort == 0 ? INTERNET_DEFAULT_HTTP_PORT : serverPort;
    return Handles().Add(connection, internet);
}

HINTERNET HttpOpenRequestA(HINTERNET connect, const char* verb, const char* objectName,
                           const char* version, const char* referrer, const char** acceptTypes,
                           uint32_t /*flags*/, uintptr_t /*context*/) {
    auto connection = Handles().Find<Connection>(connect, Kind::Connect);
    if (!connection) return nullptr;
    auto request = std::make_shared<Request>();
    request->connection = connection;
    request->verb = verb && *verb ? verb : "GET";
    request->path = objectName && *objectName ? objectName : "/";
    if (version && std::strcmp(version, "HTTP/1.0") == 0) request->httpVersion = CURL_HTTP_VERSION_1_0;
    request->referrer = referrer ? referrer : "";
    for (const char** type = acceptTypes; type && *type; ++type) {
        if (!request->acceptTypes.empty()) request->acceptTypes += ", ";
        request->acceptTypes += *type;
    }
    request->multi.reset(curl_multi_init());
    request->easy = NewCurlEasy("http");
    if (!request->multi || !request->easy) return nullptr;
    return Handles().Add(request, connect);
}

bool HttpSendRequestA(HINTERNET request, const char* headers, uint32_t headersLength,
                      const void* optional, uint32_t optionalLength) {
    auto r = Handles().Find<Request>(request, Kind::Request);
    if (!r || r->sent) return false;
    r->sent = true;
    const Connection& connection = *r->connection;
    const Session& session = *connection.session;
    CURL* easy = r->easy.get();

    // Header lines as given. curl drops a header with an empty value unless it ends in ";".
    std::set<std::string> named;
    curl_slist* list = nullptr;
    auto add = [&list](const std::string& line) { list = curl_slist_append(list, line.c_str()); };
    std::string_view text;
    if (headers) text = std::string_view(headers, headersLength == 0xFFFFFFFFu ? std::strlen(headers) : headersLength);
    for (std::string_view line : Tokens(text, "\n")) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            named.insert(Lower(Trim(line.substr(0, colon))));
            if (Trim(line.substr(colon + 1)).empty()) {
                add(std::string(line.substr(0, colon)) + ";");
                continue;
            }
        }
        add(std::string(line));
    }
    if (!r->referrer.empty() && !named.count("referer")) add("Referer: " + r->referrer);
    if (!r->acceptTypes.empty() && !named.count("accept")) {
        add("Accept: " + r->acceptTypes);
        named.insert("accept");
    }
    // Headers curl would add of its own accord and WinINet does not send.
    for (const char* own : {"Accept", "Expect", "Content-Type"})
        if (!named.count(Lower(own))) add(std::string(own) + ":");
    if (optionalLength == 0 && !named.count("content-length")) add("Content-Length:");
    r->headerList.reset(list);

    std::string target = r->path;
    std::string portText = std::to_string(connection.port);
    if (!session.proxyUrl.empty()) {
        target = "http://" + connection.host + (connection.port == 80 ? "" : ":" + portText) + r->path;
    }
    std::string url = "http://" + connection.host + ":" + portText + ParsablePath(r->path);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, target.c_str());
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, r->httpVersion);
    curl_easy_setopt(easy, CURLOPT_PROXY, session.proxyUrl.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, session.noProxy.c_str());
    if (!session.agent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, session.agent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, r->headerList.get());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, r.get());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, r.get());

    // WinINet's time-outs; 0 is none (curl would take 0 for its own 300 s connect time-out).
    const uint32_t connectMs = session.timeouts.connectMs.load();
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     connectMs == 0 ? static_cast<long>(std::numeric_limits<int32_t>::max()) : static_cast<long>(connectMs));
    r->sendMs = session.timeouts.sendMs.load();
    r->receiveMs = session.timeouts.receiveMs.load();
    r->uploadSize = optionalLength;
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, OnConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, r.get());

    if (r->verb == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (r->verb == "POST" || optionalLength > 0) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(optionalLength));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, optionalLength > 0 ? optional : "");
        if (r->verb != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r->verb.c_str());
    } else if (r->verb == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r->verb.c_str());
    }

    // The stored cookies go into this transfer's own jar: curl matches them to the host and
    // path, and what the answer sets stays out of the store (InternetSetCookieA alone writes it).
    for (const std::string& line : CookieStore::Instance().Lines())
        curl_easy_setopt(easy, CURLOPT_COOKIELIST, line.c_str());

    if (curl_multi_add_handle(r->multi.get(), easy) != CURLM_OK) return false;
    r->inMulti = true;
    Drive(*r, [&] { return r->headersComplete; });
    return r->headersComplete && !r->closed.load();
}

bool InternetReadFile(HINTERNET request, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead) {
    if (bytesRead) *bytesRead = 0;
    auto r = Handles().Find<Request>(request, Kind::Request);
    if (!r || !bytesRead || !r->headersComplete || (!buffer && bytesToRead > 0)) return false;
    if (bytesToRead == 0) return true;
    Drive(*r, [&] { return r->bodyPos < r->body.size(); });
    size_t available = r->body.size() - r->bodyPos;
    if (available == 0) return r->finished && r->result == CURLE_OK && !r->closed.load();
    size_t n = std::min<size_t>(available, bytesToRead);
    std::memcpy(buffer, r->body.data() + r->bodyPos, n);
    r->bodyPos += n;
    if (r->bodyPos == r->body.size()) {
        r->body.clear();
        r->bodyPos = 0;
    } else if (r->bodyPos >= kBodyBufferLimit) {
        r->body.erase(0, r->bodyPos);
        r->bodyPos = 0;
    }
    *bytesRead = static_cast<uint32_t>(n);
    return true;
}

bool HttpQueryInfoA(HINTERNET request, uint32_t infoLevel, void* buffer, uint32_t* bufferLength,
                    uint32_t* /*index*/) {
    auto r = Handles().Find<Request>(request, Kind::Request);
    if (!r || !bufferLength || infoLevel != HTTP_QUERY_RAW_HEADERS_CRLF || !r->headersComplete)
        return false;
    const std::string& raw = r->rawHeaders;
    uint32_t needed = static_cast<uint32_t>(raw.size() + 1);
    if (!buffer || *bufferLength < needed) {
        *bufferLength = needed;
        return false;
    }
    std::memcpy(buffer, raw.c_str(), needed);
    *bufferLength = needed - 1;
    return true;
}

namespace {

// A time-out option of a session, or the process-wide one for a null handle; null when the
// handle or the option is none of those. `session` keeps the session while the value is used.
std::atomic<uint32_t>* TimeoutOption(HINTERNET internet, uint32_t option, std::shared_ptr<Session>& session) {
    if (internet && !(session = Handles().Find<Session>(internet, Kind::Internet))) return nullptr;
    return (session ? session->timeouts : ProcessTimeouts()).Option(option);
}

}  // namespace

bool InternetSetOptionA(HINTERNET internet, uint32_t option, const void* buffer, uint32_t bufferLength) {
    std::shared_ptr<Session> session;
    std::atomic<uint32_t>* value = TimeoutOption(internet, option, session);
    if (!value || !buffer || bufferLength != sizeof(uint32_t)) return false;
    uint32_t ms;
    std::memcpy(&ms, buffer, sizeof ms);
    value->store(ms);
    return true;
}

bool InternetQueryOptionA(HINTERNET internet, uint32_t option, void* buffer, uint32_t* bufferLength) {
    std::shared_ptr<Session> session;
    std::atomic<uint32_t>* value = TimeoutOption(internet, option, session);
    if (!value || !bufferLength) return false;
    if (!buffer || *bufferLength < sizeof(uint32_t)) {
        *bufferLength = sizeof(uint32_t);
        return false;
    }
    const uint32_t ms = value->load();
    std::memcpy(buffer, &ms, sizeof ms);
    *bufferLength = sizeof ms;
    return true;
}

bool InternetCloseHandle(HINTERNET handle) { return Handles().Close(handle); }

}  // namespace orbiq::platform
