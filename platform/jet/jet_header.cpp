#include "platform/jet/jet_header.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace orbiq::platform {
namespace {

// Page 0 of a Jet 4 file (mdbtools' HACKING.md and its file.c, checked against files our
// writer makes):
//   0x00      page type 0
//   0x04      "Standard Jet DB"
//   0x14      version, 1 for Jet 4
//   0x18      128 bytes enciphered with RC4, key c7 da 39 6b; deciphered they hold
//   0x3e        the database key (pages other than 0 are enciphered when it is not 0)
//   0x42        the password: 20 UCS-2 characters, zero-padded, each byte XOR-ed with
//               the little-endian bytes of the creation date's integer part (4-byte
//               mask, repeated); all zero after unmasking means no password
//   0x72        the creation date, a double (days since 1899-12-30)
// mdbtools deciphers the block but never checks the password; we do.
constexpr size_t kBlockStart = 0x18, kBlockSize = 128;
constexpr size_t kPasswordAt = 0x42, kPasswordBytes = 40;
constexpr size_t kDateAt = 0x72;

// The date's integer part as a 32-bit integer (truncated; out of range saturates, NaN is 0).
uint32_t DayNumber(double date) {
    if (std::isnan(date)) return 0;
    if (date >= 2147483647.0) return 0x7FFFFFFFu;
    if (date <= -2147483648.0) return 0x80000000u;
    return static_cast<uint32_t>(static_cast<int32_t>(date));
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

const unsigned char kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};

}  // namespace

void JetRc4(const unsigned char* key, size_t keyLength, unsigned char* data, size_t length) {
    std::array<unsigned char, 256> s;
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (size_t i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLength]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

uint32_t Jet4DatabaseKey(const unsigned char* page) {
    unsigned char key[4];
    std::array<unsigned char, kBlockStart + kBlockSize> header;
    std::memcpy(header.data(), page, header.size());
    JetRc4(kHeaderKey, sizeof kHeaderKey, header.data() + kBlockStart, kBlockSize);
    std::memcpy(key, header.data() + 0x3E, 4);
    return key[0] | key[1] << 8 | key[2] << 16 | static_cast<uint32_t>(key[3]) << 24;
}

std::optional<std::string> ReadJet4Password(const unsigned char* page, size_t size) {
    if (size < kJetPageSize || page[0] != 0x00 || std::memcmp(page + 4, "Standard Jet DB", 15) != 0 ||
        page[0x14] != 0x01)
        return std::nullopt;
    std::array<unsigned char, kBlockStart + kBlockSize> header;
    std::memcpy(header.data(), page, header.size());
    JetRc4(kHeaderKey, sizeof kHeaderKey, header.data() + kBlockStart, kBlockSize);

    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(header[kDateAt + i]) << (8 * i);
    double date;
    std::memcpy(&date, &bits, sizeof date);
    uint32_t mask = DayNumber(date);

    std::u16string units;
    for (size_t i = 0; i < kPasswordBytes; i += 2) {
        unsigned lo = header[kPasswordAt + i] ^ ((mask >> (8 * (i % 4))) & 0xFF);
        unsigned hi = header[kPasswordAt + i + 1] ^ ((mask >> (8 * ((i + 1) % 4))) & 0xFF);
        char16_t unit = static_cast<char16_t>(lo | (hi << 8));
        if (unit == 0) break;
        units.push_back(unit);
    }
    std::string password;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
        AppendUtf8(password, cp);
    }
    return password;
}

}  // namespace orbiq::platform
