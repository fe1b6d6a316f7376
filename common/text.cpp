#include "common/text.h"

#include <iconv.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace orbiq {
namespace {

struct IconvCloser {
    void operator()(void* cd) const { if (cd) iconv_close(static_cast<iconv_t>(cd)); }
};

// One converter per direction and thread, opened once: opening one costs more than
// converting a short text.
struct Converter {
    const char* to;
    const char* from;
    std::unique_ptr<void, IconvCloser> cd;
};
iconv_t ConverterFor(const char* to, const char* from) {
    thread_local std::vector<Converter> converters;
    for (const Converter& c : converters)
        if (std::strcmp(c.to, to) == 0 && std::strcmp(c.from, from) == 0) return static_cast<iconv_t>(c.cd.get());
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
    converters.push_back({to, from, std::unique_ptr<void, IconvCloser>(cd)});
    return cd;
}

// Converts with a replacement byte for anything the target cannot hold.
std::string Convert(const char* to, const char* from, std::string_view input, size_t unitBytes) {
    iconv_t cd = ConverterFor(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial state
    std::string out;
    out.reserve(input.size() * 2 + 4);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr - buffer);
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: replace one input unit and go on.
            out.push_back('?');
            size_t skip = unitBytes;
            if (unitBytes == 0) {  // UTF-8: skip the whole sequence
                unsigned char lead = static_cast<unsigned char>(*in);
                skip = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (skip > inLeft) skip = inLeft;
                for (size_t i = 1; i < skip; ++i)
                    if ((static_cast<unsigned char>(in[i]) & 0xC0) != 0x80) { skip = i; break; }
            } else if (unitBytes == 2) {  // GBK: a lead byte takes only a valid trail byte with it
                skip = GbkCharLength(std::string_view(in, inLeft), 0);
            }
            in += skip;
            inLeft -= skip;
        }
    }
    return out;
}

bool IsLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// A to Z folded in the single-byte characters of a GBK text.
std::string FoldGbk(std::string_view s) {
    std::string out(s);
    for (size_t i = 0; i < out.size();) {
        size_t n = GbkCharLength(out, i);
        if (n == 1) out[i] = FoldAscii(out[i]);
        i += n;
    }
    return out;
}

// Whether needle matches text at the character boundary at, ending on a boundary too.
// With fold, the needle comes folded and the text's single-byte characters are folded.
bool MatchesAt(std::string_view text, size_t at, std::string_view needle, bool fold) {
    if (needle.size() > text.size() - at) return false;
    size_t end = at + needle.size();
    for (size_t i = at; i < end;) {
        size_t n = GbkCharLength(text, i);
        if (i + n > end) return false;
        if (n == 1) {
            if ((fold ? FoldAscii(text[i]) : text[i]) != needle[i - at]) return false;
        } else if (text.compare(i, n, needle.substr(i - at, n)) != 0) {
            return false;
        }
        i += n;
    }
    return true;
}

// Walks the characters from byte index walkFrom, which must start one.
size_t GbkSearch(std::string_view text, std::string_view needle, size_t from, bool fold, size_t walkFrom = 0) {
    const std::string folded = fold ? FoldGbk(needle) : std::string();
    const std::string_view wanted = fold ? std::string_view(folded) : needle;
    for (size_t i = walkFrom; i <= text.size(); i += i < text.size() ? GbkCharLength(text, i) : 1) {
        if (i >= from && MatchesAt(text, i, wanted, fold)) return i;
    }
    return std::string_view::npos;
}

int32_t Search(const std::string& hay, const std::string& needle, int32_t from, bool foldCase) {
    if (from < 1) from = 1;
    size_t start = static_cast<size_t>(from - 1);
    if (start > hay.size()) return -1;
    if (needle.empty()) return from;
    size_t p = GbkSearch(hay, needle, start, foldCase);
    return p == std::string_view::npos ? -1 : static_cast<int32_t>(p + 1);
}

}  // namespace

size_t GbkCharLength(std::string_view text, size_t at) {
    if (at >= text.size()) return 0;
    if (at + 1 < text.size() && IsLead(static_cast<unsigned char>(text[at])) &&
        IsTrail(static_cast<unsigned char>(text[at + 1])))
        return 2;
    return 1;
}

size_t GbkFind(std::string_view text, std::string_view needle, size_t from) {
    return GbkSearch(text, needle, from, false);
}

Text DoubleQuotes(const Text& value) {
    // A quote (0x27) is never the second byte of a character.
    std::string quoted;
    for (char c : value.Bytes()) {
        quoted.push_back(c);
        if (c == '\'') quoted.push_back('\'');
    }
    return Text(std::move(quoted));
}

std::string GbkToUtf8(std::string_view gbk) { return Convert("UTF-8", "GBK", gbk, 2); }
std::string Utf8ToGbk(std::string_view utf8) { return Convert("GBK", "UTF-8", utf8, 0); }

Text Text::FromUtf8(std::string_view utf8) { return Text(Utf8ToGbk(utf8)); }
Text Text::FromBytes(const ByteSet& bytes) { return Text(std::string(bytes.begin(), bytes.end())); }
Text Text::Number(long long value) { return Text(std::to_string(value)); }
std::string Text::ToUtf8() const { return GbkToUtf8(bytes_); }
ByteSet Text::ToBytes() const { return ByteSet(bytes_.begin(), bytes_.end()); }

int32_t Text::Find(const Text& needle, int32_t from) const { return Search(bytes_, needle.bytes_, from, false); }
int32_t Text::FindNoCase(const Text& needle, int32_t from) const { return Search(bytes_, needle.bytes_, from, true); }

Text Text::Left(int32_t count) const {
    if (count <= 0) return Text();
    return Text(bytes_.substr(0, static_cast<size_t>(count)));
}
Text Text::Right(int32_t count) const {
    if (count <= 0) return Text();
    size_t n = std::min(static_cast<size_t>(count), bytes_.size());
    return Text(bytes_.substr(bytes_.size() - n));
}
Text Text::Mid(int32_t start, int32_t count) const {
    if (start < 1) start = 1;
    size_t s = static_cast<size_t>(start - 1);
    if (s >= bytes_.size()) return Text();
    return Text(count < 0 ? bytes_.substr(s) : bytes_.substr(s, static_cast<size_t>(count)));
}
Text Text::LowerAscii() const { return Text(FoldGbk(bytes_)); }
Text Text::Trimmed() const {
    size_t b = bytes_.find_first_not_of(' ');
    if (b == std::string::npos) return Text();
    size_t e = bytes_.find_last_not_of(' ');
    return Text(bytes_.substr(b, e - b + 1));
}
Text Text::WithoutBlanks() const {
    std::string s;
    for (char c : bytes_) if (c != ' ') s.push_back(c);
    return Text(std::move(s));
}
int32_t Text::ToInt32() const {
    size_t i = 0;
    while (i < bytes_.size() && (bytes_[i] == ' ' || bytes_[i] == '\t')) ++i;
    bool negative = false;
    if (i < bytes_.size() && (bytes_[i] == '-' || bytes_[i] == '+')) negative = bytes_[i++] == '-';
    long long value = 0;
    for (; i < bytes_.size() && bytes_[i] >= '0' && bytes_[i] <= '9'; ++i) {
        value = value * 10 + (bytes_[i] - '0');
        if (value > (long long)INT32_MAX + 1) value = (long long)INT32_MAX + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return static_cast<int32_t>(value);
}

std::vector<Text> CutText(const Text& text, const Text& separator) {
    std::vector<Text> pieces;
    const std::string& s = text.Bytes();
    const std::string& sep = separator.Bytes();
    if (sep.empty()) { pieces.push_back(text); return pieces; }
    size_t start = 0;
    // Each piece starts where a match ended, on a character.
    for (size_t p; (p = GbkSearch(s, sep, start, false, start)) != std::string_view::npos; start = p + sep.size())
        pieces.emplace_back(s.substr(start, p - start));
    pieces.emplace_back(s.substr(start));
    return pieces;
}

}  // namespace orbiq
