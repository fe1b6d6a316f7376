// The WinINet functions the HTTP request call uses, on libcurl: a session, a connection and a
// request handle per transaction, raw response headers, and one process-wide cookie store.
#pragma once

#include <cstdint>

namespace orbiq::platform {

struct InternetObject;
// Opaque handle; 0 is a failure. Values are never reused, so closing a stale handle is harmless.
using HINTERNET = InternetObject*;
using INTERNET_PORT = uint16_t;

constexpr uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr uint32_t INTERNET_OPEN_TYPE_PROXY = 3;
constexpr uint32_t INTERNET_SERVICE_HTTP = 3;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr uint32_t INTERNET_FLAG_RELOAD = 0x80000000u;
constexpr uint32_t HTTP_QUERY_RAW_HEADERS_CRLF = 22;
constexpr uint32_t INTERNET_OPTION_CONNECT_TIMEOUT = 2;
constexpr uint32_t INTERNET_OPTION_SEND_TIMEOUT = 5;
constexpr uint32_t INTERNET_OPTION_RECEIVE_TIMEOUT = 6;

// WinINet's own time-outs, in milliseconds, until an option changes them: establishing the
// connection; a send of the request that makes no progress; waiting for answer bytes. 0 means
// no time-out.
constexpr uint32_t kDefaultConnectTimeoutMs = 60000;
constexpr uint32_t kDefaultSendTimeoutMs = 30000;
constexpr uint32_t kDefaultReceiveTimeoutMs = 30000;

// accessType DIRECT or PROXY (proxy list such as "http=host:port" or "host:port"; a server
// without a port uses 80). Any other access type connects directly: there are no system settings.
HINTERNET InternetOpenA(const char* agent, uint32_t accessType, const char* proxy,
                        const char* proxyBypass, uint32_t flags);

// Only INTERNET_SERVICE_HTTP; port 0 means 80. An empty server name fails.
HINTERNET InternetConnectA(HINTERNET internet, const char* serverName, INTERNET_PORT serverPort,
                           const char* userName, const char* password, uint32_t service,
                           uint32_t flags, uintptr_t context);

// The verb goes out unchanged; an empty or null verb sends GET. Nothing is ever served from a
// cache (there is none), so INTERNET_FLAG_RELOAD needs no work.
HINTERNET HttpOpenRequestA(HINTERNET connect, const char* verb, const char* objectName,
                           const char* version, const char* referrer, const char** acceptTypes,
                           uint32_t flags, uintptr_t context);

// Sends the request with the given header lines (CR LF separated; headersLength 0xFFFFFFFF
// means up to the terminating zero) and optional data, both exactly as given. Returns once the
// response headers are in, or false when the transfer failed first.
bool HttpSendRequestA(HINTERNET request, const char* headers, uint32_t headersLength,
                      const void* optional, uint32_t optionalLength);

// Reads at most bytesToRead bytes of the body. *bytesRead is 0 at the end of the body and on
// any failure (it is cleared before anything else).
bool InternetReadFile(HINTERNET request, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead);

// Only HTTP_QUERY_RAW_HEADERS_CRLF: the status line and header lines as received, CR LF
// separated, ending in an empty line, plus a terminating zero. When that does not fit in
// *bufferLength, fails with the needed length in *bufferLength and the buffer untouched;
// otherwise *bufferLength is the length without the zero.
bool HttpQueryInfoA(HINTERNET request, uint32_t infoLevel, void* buffer, uint32_t* bufferLength,
                    uint32_t* index);

// The three time-out options (a 32-bit count of milliseconds). A null handle stands for the
// process-wide values that every internet handle opened afterwards starts with; an internet
// handle's own values serve every request opened under it that has not been sent yet. Other
// options and other handle kinds fail.
bool InternetSetOptionA(HINTERNET internet, uint32_t option, const void* buffer, uint32_t bufferLength);
bool InternetQueryOptionA(HINTERNET internet, uint32_t option, void* buffer, uint32_t* bufferLength);

// Closes a handle and every handle opened under it. May be called from another thread while a
// call on one of them is pending: that call then returns as a failure.
bool InternetCloseHandle(HINTERNET handle);

// Stores a cookie for url ("http://host[/path]"): cookieName=cookieData, where cookieData is
// the value followed by any attributes (expires, max-age, path, domain, secure) as a server
// sends them. Without a domain attribute the cookie belongs to the host alone.
bool InternetSetCookieA(const char* url, const char* cookieName, const char* cookieData);

// Owns one handle and closes it when it goes.
class UniqueInternetHandle {
public:
    UniqueInternetHandle() = default;
    explicit UniqueInternetHandle(HINTERNET h) : handle_(h) {}
    UniqueInternetHandle(const UniqueInternetHandle&) = delete;
    UniqueInternetHandle& operator=(const UniqueInternetHandle&) = delete;
    ~UniqueInternetHandle() { reset(); }
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset(HINTERNET h = nullptr) {
        if (handle_) InternetCloseHandle(handle_);
        handle_ = h;
    }

private:
    HINTERNET handle_ = nullptr;
};

}  // namespace orbiq::platform
