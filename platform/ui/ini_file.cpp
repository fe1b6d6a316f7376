// INI files, read and written one key at a time.
#include "platform/ui/program.h"

#include <algorithm>
#include <string>
#include <vector>

#include "common/files.h"

namespace orbiq::platform {
namespace {

// INI lines: "[section]" and "key=value"; blanks around names are not part of them.
bool SameName(std::string a, std::string b) {
    auto trim = [](std::string& s) {
        size_t b0 = s.find_first_not_of(" \t");
        size_t e0 = s.find_last_not_of(" \t");
        s = b0 == std::string::npos ? std::string() : s.substr(b0, e0 - b0 + 1);
    };
    trim(a);
    trim(b);
    return Text(a).LowerAscii() == Text(b).LowerAscii();
}
std::vector<std::string> Lines(const ByteSet& bytes) {
    std::vector<std::string> lines;
    std::string cur;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            if (!cur.empty() && cur.back() == '\r') cur.pop_back();
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(c);
        }
    }
    if (!cur.empty()) {
        if (cur.back() == '\r') cur.pop_back();
        lines.push_back(cur);
    }
    return lines;
}
bool IsSection(const std::string& line, std::string* name) {
    size_t open = line.find_first_not_of(" \t");
    if (open == std::string::npos || line[open] != '[') return false;
    size_t close = GbkFind(line, "]", open);  // not the second byte of a character
    if (close == std::string::npos) return false;
    *name = line.substr(open + 1, close - open - 1);
    return true;
}

}  // namespace

Text ReadIniKey(const Text& file, const Text& section, const Text& key, int32_t maxLength) {
    bool whole = true;
    ByteSet head = ReadFileHeadAt(file, kIniReadLimit, &whole);
    if (!whole) {  // the last line read is cut short: not a line
        auto lastEnd = std::find(head.rbegin(), head.rend(), '\n');
        head.erase(lastEnd.base(), head.end());
    }
    std::string current;
    bool inSection = false;
    for (const std::string& line : Lines(head)) {
        if (IsSection(line, &current)) { inSection = SameName(current, section.Bytes()); continue; }
        if (!inSection) continue;
        size_t eq = GbkFind(line, "=");
        if (eq != std::string::npos && SameName(line.substr(0, eq), key.Bytes())) {
            const size_t length = line.size() - eq - 1;
            if (maxLength > 0 && length > static_cast<size_t>(maxLength)) return Text();
            return Text(line.substr(eq + 1));
        }
    }
    return Text();
}

bool WriteIniKey(const Text& file, const Text& section, const Text& key, const Text& value) {
    // A line end in the value would make lines of its own.
    std::string v = value.Bytes();
    v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n'; }), v.end());
    const std::string entry = key.Bytes() + "=" + v;
    if (FileSizeAt(file) > static_cast<int64_t>(kIniReadLimit)) return false;  // not ours to rewrite
    std::vector<std::string> lines = Lines(ReadFileAt(file));
    std::string current;
    int sectionAt = -1, keyAt = -1, sectionEnd = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (IsSection(lines[i], &current)) {
            if (sectionAt >= 0 && sectionEnd < 0) sectionEnd = static_cast<int>(i);
            if (sectionAt < 0 && SameName(current, section.Bytes())) sectionAt = static_cast<int>(i);
            continue;
        }
        if (sectionAt >= 0 && sectionEnd < 0 && keyAt < 0) {
            size_t eq = GbkFind(lines[i], "=");
            if (eq != std::string::npos && SameName(lines[i].substr(0, eq), key.Bytes())) keyAt = static_cast<int>(i);
        }
    }
    if (keyAt >= 0) {
        lines[keyAt] = entry;
    } else if (sectionAt >= 0) {
        int at = sectionEnd < 0 ? static_cast<int>(lines.size()) : sectionEnd;
        while (at > sectionAt + 1 && lines[at - 1].empty()) --at;  // before the blank lines that part sections
        lines.insert(lines.begin() + at, entry);
    } else {
        lines.push_back("[" + section.Bytes() + "]");
        lines.push_back(entry);
    }
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return WriteFileAt(file, ByteSet(out.begin(), out.end()));
}

}  // namespace orbiq::platform
