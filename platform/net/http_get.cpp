#include "platform/net/http_get.h"

#include "platform/net/curl_easy.h"

namespace orbiq::platform {
namespace {

struct Sink {
    ByteSet body;
    size_t limit = 0;
    bool overflow = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    size_t n = size * count;
    if (sink->body.size() + n > sink->limit) {
        sink->overflow = true;
        return 0;  // aborts the transfer
    }
    sink->body.insert(sink->body.end(), data, data + n);
    return n;
}

}  // namespace

ByteSet HttpGet(const Text& url, const HttpGetLimits& limits) {
    CurlEasy curl = NewCurlEasy("http,https");
    if (!curl) return {};
    Sink sink;
    sink.limit = limits.maxBodyBytes;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.CStr());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    CURLcode rc = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (rc != CURLE_OK || sink.overflow || status >= 400) return {};
    return std::move(sink.body);
}

}  // namespace orbiq::platform
