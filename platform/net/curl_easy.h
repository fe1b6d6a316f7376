// libcurl's handles as the program's clients own them, and the options they all share.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace orbiq::platform {

struct CurlEasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct CurlShareDeleter {
    void operator()(CURLSH* s) const { curl_share_cleanup(s); }
};
struct CurlSlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;
using CurlShare = std::unique_ptr<CURLSH, CurlShareDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// A new easy handle (after the global set-up) with what every client wants: no signals (the
// handles live on worker threads), no proxy from the environment, and only the given
// protocols ("http" or "http,https"), redirects included. Null when curl cannot make one.
CurlEasy NewCurlEasy(const char* protocols);

}  // namespace orbiq::platform
