// The process-wide cookie store behind InternetSetCookieA: a curl share handle holding the
// cookies as Netscape lines, read by every request.
#pragma once

#include <string>
#include <vector>

namespace orbiq::platform {

class CookieStore {
public:
    // Lives until the process ends: an abandoned worker may still use it during exit.
    static CookieStore& Instance();

    void Add(const std::string& netscapeLine);
    // Every stored cookie as a Netscape line.
    std::vector<std::string> Lines();

private:
    CookieStore();
    struct Impl;
    Impl* impl_;
};

// Starts libcurl once per process.
void EnsureCurlStarted();

}  // namespace orbiq::platform
