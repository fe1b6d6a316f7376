#include "platform/net/curl_easy.h"

#include <mutex>

#include "platform/net/http_get.h"

namespace orbiq::platform {

void EnsureCurlGlobal() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

CurlEasy NewCurlEasy(const char* protocols) {
    EnsureCurlGlobal();
    CurlEasy easy(curl_easy_init());
    if (!easy) return easy;
    CURL* c = easy.get();
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROXY, "");  // the program's own settings, never the environment's
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    return easy;
}

}  // namespace orbiq::platform
