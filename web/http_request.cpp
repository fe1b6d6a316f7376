#include "web/http_request.h"

#include "platform/net/http_get.h"

#include "web/url.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <system_error>

namespace orbiq {

using namespace platform;

namespace {

// Plain literals only: a detached worker may outlive the program's static objects.
const char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr char kCrLf[] = "\r\n";

// Far above any answer the board script gives (50 short rows); a body past it fails the
// request as a broken connection does.
constexpr size_t kResponseBodyCap = size_t{16} << 20;  // 16 MiB

// The millisecond tick count; differences are taken modulo 2^32.
uint32_t TickCount() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

class Deadline {
public:
    Deadline(uint32_t start, int32_t timeoutSeconds)
        : start_(start), timeoutMs_(static_cast<double>(timeoutSeconds) * 1000.0) {}

    bool Passed() const { return Elapsed() - timeoutMs_ > 1e-7; }

    // Time left, rounded up past the deadline, and capped so that it fits a timer.
    std::chrono::milliseconds Remaining() const {
        double left = std::ceil(timeoutMs_ - Elapsed()) + 1;
        return std::chrono::milliseconds(static_cast<long long>(std::clamp(left, 1.0, 3600000.0)));
    }

private:
    double Elapsed() const { return static_cast<double>(static_cast<uint32_t>(TickCount() - start_)); }

    uint32_t start_;
    double timeoutMs_;
};

// Records the worker's internet handle so that the call can close it on a time-out. False
// when the call has already given up.
bool Adopt(HttpRequestSlot& slot, HINTERNET internet) {
    std::lock_guard lock(slot.handleMutex);
    if (slot.callerGone) return false;
    slot.internet = internet;
    return true;
}

void Disown(HttpRequestSlot& slot) {
    std::lock_guard lock(slot.handleMutex);
    slot.internet = nullptr;
}

// The worker's last action. Nothing of the caller is touched once it has returned.
void Finish(HttpRequestSlot& slot) {
    Disown(slot);
    slot.finished.Signal();
}

void AddDefaultHeaders(HttpRequestSlot& slot) {
    if (slot.headers.FindNoCase(Text("Accept: ")) == -1)
        slot.headers += Text("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
                             "application/x-shockwave-flash, application/vnd.ms-excel, "
                             "application/vnd.ms-powerpoint, application/msword, */*") + Text(kCrLf);
    if (slot.headers.FindNoCase(Text("Referer: ")) == -1)
        slot.headers += Text("Referer: ") + slot.url + Text(kCrLf);
    if (slot.headers.FindNoCase(Text("Accept-Language: ")) == -1)
        slot.headers += Text("Accept-Language: zh-cn") + Text(kCrLf);
}

void StoreCookies(const Text& rawHeaders, const Text& host) {
    const Text marker("Set-Cookie: ");
    if (rawHeaders.FindNoCase(marker) == -1) return;
    const Text cookieUrl = Text("http://") + host;
    for (const Text& line : CutText(rawHeaders, Text(kCrLf))) {
        if (line.FindNoCase(marker) == -1) continue;
        Text rest = line.Mid(13);
        int32_t e = rest.Find(Text("="));
        if (e == -1) continue;  // no name to take
        Text name = rest.Left(e - 1);
        Text data = rest.Mid(e + 1);
        InternetSetCookieA(cookieUrl.CStr(), name.CStr(), data.CStr());
    }
}

// The transaction; false on a failure that empties the response.
bool Transact(HttpRequestSlot& slot) {
    const Text host = GetUrlHost(slot.url);
    const Text path = GetUrlPath(slot.url);

    UniqueInternetHandle internet;
    if (slot.proxy.WithoutBlanks().Empty())
        internet.reset(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, "", "", 0));
    else
        internet.reset(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PROXY,
                                     (Text("http=") + slot.proxy).CStr(), "", 0));
    if (!internet || !Adopt(slot, internet.get())) return false;

    const int32_t port = GetUrlPort(slot.url);
    if (port < 0 || port > 65535) return false;  // no such port; it would wrap to another one

    UniqueInternetHandle connection(InternetConnectA(internet.get(), host.CStr(),
                                                     static_cast<INTERNET_PORT>(port), "", "",
                                                     INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return false;

    UniqueInternetHandle request(HttpOpenRequestA(connection.get(), slot.verb.CStr(), path.CStr(),
                                                  "HTTP/1.1", nullptr, nullptr,
                                                  INTERNET_FLAG_RELOAD, 0));
    if (!request) return false;

    AddDefaultHeaders(slot);

    if (slot.verb.Empty() || slot.verb == Text("GET")) {
        HttpSendRequestA(request.get(), slot.headers.CStr(), slot.headers.Length(), "", 0);
    } else if (slot.verb == Text("POST")) {
        if (!slot.body.Empty()) {
            slot.headers += Text("Content-Type: application/x-www-form-urlencoded") + Text(kCrLf);
            slot.headers += Text("Content-Length: ") + Text::Number(slot.body.Length()) + Text(kCrLf);
        }
        HttpSendRequestA(request.get(), slot.headers.CStr(), slot.headers.Length(),
                         slot.body.CStr(), slot.body.Length());
    } else {
        return false;
    }

    for (;;) {
        ByteSet buffer(512, 0);
        uint32_t count = 0;
        InternetReadFile(request.get(), buffer.data(), 512, &count);
        if (count == 0) break;
        if (slot.response.size() + count > kResponseBodyCap) return false;
        slot.response.insert(slot.response.end(), buffer.begin(), buffer.begin() + count);
    }

    std::string buffer(1024, ' ');
    uint32_t length = 1024;
    HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
    const Text rawHeaders(std::move(buffer));

    Disown(slot);
    request.reset();
    connection.reset();
    internet.reset();

    StoreCookies(rawHeaders, host);
    return true;
}

}  // namespace

void RunHttpWorker(std::shared_ptr<HttpRequestSlot> slot) {
    if (!Transact(*slot)) slot->response.clear();
    Finish(*slot);
}

// An abandoned worker (time-out) is detached and keeps its own reference to the slot, so it
// writes only into memory that nobody reads any more. The call closes the worker's internet
// handle, which makes the worker's pending WinINet call fail at once; the worker then runs
// through its remaining steps without a connection and ends. It shares nothing with other
// requests but the cookie store, so it blocks none of them.
ByteSet SendHttpRequest(const Text& url, const Text& verb, const Text& proxy, const Text& headers,
                        const Text& body, int32_t timeoutSeconds) {
    auto slot = std::make_shared<HttpRequestSlot>();
    slot->url = url;
    slot->verb = verb;
    slot->proxy = proxy;
    slot->headers = headers;
    slot->body = body;
    if (timeoutSeconds == 0) timeoutSeconds = 90;
    const Deadline deadline(TickCount(), timeoutSeconds);

    EnsureCurlGlobal();  // on the caller's thread, never first inside a worker
    std::thread worker;
    try {
        worker = std::thread(RunHttpWorker, slot);
    } catch (const std::system_error&) {
        return {};
    }
    slot->workerThread = worker.get_id();

    // The calling thread handles its events meanwhile (a handler may run and wait again inside).
    // The deadline is tested before each wait, so a negative time-out gives up at once.
    bool finished = slot->finished.Signalled();
    while (!finished && !deadline.Passed()) finished = slot->finished.Wait(deadline.Remaining());
    HINTERNET abandoned = nullptr;
    {
        std::lock_guard lock(slot->handleMutex);
        slot->callerGone = true;
        if (!finished) abandoned = slot->internet;
    }
    if (!finished) {
        if (abandoned) InternetCloseHandle(abandoned);
        worker.detach();
        return {};
    }
    worker.join();
    return std::move(slot->response);  // the worker has ended: no copy of up to 16 MiB here
}

}  // namespace orbiq
