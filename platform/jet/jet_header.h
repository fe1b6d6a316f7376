// The Jet 4 header page: recognising the format and reading the database password
// the way the engine checks it at open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orbiq::platform {

inline constexpr size_t kJetPageSize = 4096;

// The password (UTF-8, empty when the file has none) stored in a Jet 4 header page;
// nullopt when the bytes are not a Jet 4 header.
std::optional<std::string> ReadJet4Password(const unsigned char* page, size_t size);

// The database key of a Jet 4 header page: when it is not 0, every other page is
// enciphered with RC4 keyed by (key XOR page number), little-endian.
uint32_t Jet4DatabaseKey(const unsigned char* page);

void JetRc4(const unsigned char* key, size_t keyLength, unsigned char* data, size_t length);

}  // namespace orbiq::platform
