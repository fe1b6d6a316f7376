#include "platform/inet/cookie_store.h"

#include "platform/inet/wininet.h"

#include "platform/net/curl_easy.h"
#include "platform/net/http_get.h"

#include <cctype>
#include <ctime>
#include <memory>
#include <mutex>
#include <string_view>

namespace orbiq::platform {

struct CookieStore::Impl {
    CurlShare share;
    std::mutex locks[CURL_LOCK_DATA_LAST];

    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
        static_cast<Impl*>(user)->locks[data].lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* user) {
        static_cast<Impl*>(user)->locks[data].unlock();
    }

    // A short-lived easy handle that works on the shared cookies.
    CurlEasy Attach() {
        CurlEasy easy = NewCurlEasy("http");
        if (easy) curl_easy_setopt(easy.get(), CURLOPT_SHARE, share.get());
        return easy;
    }
};

CookieStore::CookieStore() : impl_(new Impl) {
    EnsureCurlGlobal();
    impl_->share.reset(curl_share_init());
    curl_share_setopt(impl_->share.get(), CURLSHOPT_LOCKFUNC, &Impl::Lock);
    curl_share_setopt(impl_->share.get(), CURLSHOPT_UNLOCKFUNC, &Impl::Unlock);
    curl_share_setopt(impl_->share.get(), CURLSHOPT_USERDATA, impl_);
    curl_share_setopt(impl_->share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

CookieStore& CookieStore::Instance() {
    static CookieStore* store = new CookieStore;  // never destroyed, see the header
    return *store;
}

void CookieStore::Add(const std::string& netscapeLine) {
    CurlEasy easy = impl_->Attach();
    if (easy) curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, netscapeLine.c_str());
}

std::vector<std::string> CookieStore::Lines() {
    std::vector<std::string> lines;
    CurlEasy easy = impl_->Attach();
    if (!easy) return lines;
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(easy.get(), CURLINFO_COOKIELIST, &list) != CURLE_OK) return lines;
    for (curl_slist* item = list; item; item = item->next) lines.emplace_back(item->data);
    curl_slist_free_all(list);
    return lines;
}

namespace {


bool IsIpv4(std::string_view host) {
    int dots = 0;
    for (char c : host) {
        if (c == '.') ++dots;
        else if (c < '0' || c > '9') return false;
    }
    return dots == 3;
}

// A Netscape line field may hold no tab or line break (the line is cut at tabs).
bool FitsField(std::string_view s) {
    return s.find_first_of("\t\r\n") == std::string_view::npos;
}

}  // namespace

bool InternetSetCookieA(const char* url, const char* cookieName, const char* cookieData) {
    if (!url || !cookieData) return false;
    std::string_view u(url);
    std::string scheme = Lower(u.substr(0, 8));
    if (scheme.rfind("http://", 0) == 0) u.remove_prefix(7);
    else if (scheme == "https://") u.remove_prefix(8);
    else return false;
    size_t slash = u.find('/');
    std::string_view authority = u.substr(0, slash);
    std::string host = Lower(authority.substr(0, authority.find(':')));
    if (host.empty() || !FitsField(host)) return false;
    // Default path: the URL's path up to its last "/" (RFC 6265 5.1.4).
    std::string path = "/";
    if (slash != std::string_view::npos) {
        std::string_view urlPath = u.substr(slash);
        urlPath = urlPath.substr(0, urlPath.find_first_of("?#"));
        size_t last = urlPath.rfind('/');
        if (last > 0) path = std::string(urlPath.substr(0, last));
    }

    std::string cookie = cookieName && *cookieName
                             ? std::string(cookieName) + "=" + cookieData
                             : std::string(cookieData);
    std::vector<std::string_view> parts;
    for (std::string_view rest(cookie);;) {
        size_t semicolon = rest.find(';');
        parts.push_back(rest.substr(0, semicolon));
        if (semicolon == std::string_view::npos) break;
        rest.remove_prefix(semicolon + 1);
    }
    size_t eq = parts[0].find('=');
    if (eq == std::string_view::npos) return false;
    std::string_view name = Trim(parts[0].substr(0, eq));
    std::string_view value = Trim(parts[0].substr(eq + 1));
    if (name.empty() || !FitsField(name) || !FitsField(value)) return false;

    std::string domain = host;
    bool tailmatch = false;
    bool secure = false;
    bool httpOnly = false;
    long long expires = 0;  // 0: a session cookie
    bool hasMaxAge = false;
    const long long now = static_cast<long long>(std::time(nullptr));
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string_view attribute = parts[i];
        size_t aeq = attribute.find('=');
        std::string key = Lower(Trim(attribute.substr(0, aeq)));
        std::string_view val = aeq == std::string_view::npos ? std::string_view()
                                                             : Trim(attribute.substr(aeq + 1));
        if (key == "expires" && !hasMaxAge) {
            std::string date(val);
            time_t t = curl_getdate(date.c_str(), nullptr);
            if (t != -1) expires = t > 0 ? t : 1;
        } else if (key == "max-age") {
            std::string digits(val);
            char* end = nullptr;
            long long seconds = std::strtoll(digits.c_str(), &end, 10);
            if (!digits.empty() && end && *end == '\0') {
                hasMaxAge = true;
                expires = seconds <= 0 ? 1 : now + seconds;
            }
        } else if (key == "domain" && !val.empty()) {
            std::string d = Lower(val.front() == '.' ? val.substr(1) : val);
            if (d == host) {
                tailmatch = !IsIpv4(host);
            } else if (!IsIpv4(host) && host.size() > d.size() &&
                       host.compare(host.size() - d.size(), d.size(), d) == 0 &&
                       host[host.size() - d.size() - 1] == '.') {
                tailmatch = true;
                domain = d;
            } else {
                return false;  // a cookie for another server
            }
        } else if (key == "path") {
            if (!val.empty() && val.front() == '/' && FitsField(val)) path = std::string(val);
        } else if (key == "secure") {
            secure = true;
        } else if (key == "httponly") {
            httpOnly = true;
        }
    }

    std::string line = std::string(httpOnly ? "#HttpOnly_" : "") + (tailmatch ? "." : "") + domain +
                       "\t" + (tailmatch ? "TRUE" : "FALSE") + "\t" + path + "\t" +
                       (secure ? "TRUE" : "FALSE") + "\t" + std::to_string(expires) + "\t" +
                       std::string(name) + "\t" + std::string(value);
    CookieStore::Instance().Add(line);
    return true;
}

}  // namespace orbiq::platform
