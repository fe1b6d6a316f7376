// Percent-encoding ("%XX", capital hex digits) of bytes that cannot stand as they are.
#pragma once

#include <string>
#include <string_view>

namespace orbiq {

// Encodes every byte for which escape(byte) is true and keeps the others.
std::string PercentEncode(std::string_view bytes, bool (*escape)(unsigned char byte));

// Byte classes the program's callers escape.
inline bool AnyByte(unsigned char) { return true; }
// Not an unreserved character of a URL (letters, digits, "-._~"): for a query value.
inline bool NotUnreserved(unsigned char c) {
    return !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
             c == '_' || c == '~');
}

}  // namespace orbiq
