// GBK texts and byte sets: the one string type of the system.
// Lengths and positions count bytes; positions are 1-based; a failed search gives -1.
// Searching and cutting go by GBK characters: a match never starts or ends inside one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbiq {

// A counted block of bytes (response bodies, pictures, the built-in catalogue).
using ByteSet = std::vector<unsigned char>;

class Text {
public:
    Text() = default;
    // Takes GBK bytes as they are.
    explicit Text(std::string gbk) : bytes_(std::move(gbk)) {}
    explicit Text(const char* gbk) : bytes_(gbk ? gbk : "") {}

    // Converts UTF-8 (source literals, widget texts, Jet fields) to GBK; characters outside GBK become "?".
    static Text FromUtf8(std::string_view utf8);
    // Takes a byte set as text (no conversion).
    static Text FromBytes(const ByteSet& bytes);
    static Text Number(long long value);

    std::string ToUtf8() const;
    ByteSet ToBytes() const;
    const std::string& Bytes() const { return bytes_; }
    const char* CStr() const { return bytes_.c_str(); }

    int32_t Length() const { return static_cast<int32_t>(bytes_.size()); }
    bool Empty() const { return bytes_.empty(); }

    // First occurrence of needle at or after 1-based position from; -1 when absent.
    int32_t Find(const Text& needle, int32_t from = 1) const;
    // The same, folding only the letters A to Z (single-byte characters, never a trail byte).
    int32_t FindNoCase(const Text& needle, int32_t from = 1) const;
    bool ContainsNoCase(const Text& needle) const { return FindNoCase(needle) != -1; }

    Text Left(int32_t count) const;
    Text Right(int32_t count) const;
    // count bytes from 1-based position start; count < 0 takes the rest.
    Text Mid(int32_t start, int32_t count = -1) const;
    Text LowerAscii() const;  // A to Z of single-byte characters only
    Text Trimmed() const;  // blanks removed at both ends
    Text WithoutBlanks() const;  // every blank removed

    // Reads a leading decimal integer (blanks and sign allowed); 0 when there is none.
    // Saturates to the 32-bit range.
    int32_t ToInt32() const;

    Text& operator+=(const Text& other) { bytes_ += other.bytes_; return *this; }
    friend Text operator+(Text a, const Text& b) { a += b; return a; }
    friend bool operator==(const Text& a, const Text& b) { return a.bytes_ == b.bytes_; }
    friend bool operator!=(const Text& a, const Text& b) { return !(a == b); }
    friend bool operator<(const Text& a, const Text& b) { return a.bytes_ < b.bytes_; }

private:
    std::string bytes_;
};

// GBK characters: a lead byte 0x81-0xFE followed by a trail byte 0x40-0xFE other than 0x7F
// make one character; any other byte, a lead byte with no valid trail included, is one.
// The length in bytes (1 or 2) of the character that starts at byte index at.
size_t GbkCharLength(std::string_view text, size_t at);
// Byte index of the first match of needle that starts at a character at or after byte index
// from and ends at a character's end; std::string_view::npos when there is none.
size_t GbkFind(std::string_view text, std::string_view needle, size_t from = 0);

// A text with every single quote doubled, as Jet SQL reads a quote between quotes.
Text DoubleQuotes(const Text& value);

// Cutting a text at a separator: the text before the first occurrence, the texts between
// occurrences and the text after the last, found by GbkFind. Empty pieces count, so n occurrences always
// give n + 1 pieces, and the empty text gives one empty piece. An empty separator gives
// the text whole.
std::vector<Text> CutText(const Text& text, const Text& separator);

// UTF-8 <-> GBK, the system's one converter (glibc iconv).
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace orbiq

// A source literal (UTF-8) as a GBK text, converted once per call site.
#define TXT(literal) ([]() -> const ::orbiq::Text& { \
    static const ::orbiq::Text converted = ::orbiq::Text::FromUtf8(literal); return converted; }())
