// The process-wide cookie store behind InternetSetCookieA: a curl share handle holding the
// cookies as Netscape lines, read by every request.
#pragma once

#include <string>
#include <string_view>
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

// A-Z folded to lower case; blanks and tabs cut from both ends.
inline std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}
inline std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace orbiq::platform
