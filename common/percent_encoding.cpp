#include "common/percent_encoding.h"

namespace orbiq {

std::string PercentEncode(std::string_view bytes, bool (*escape)(unsigned char byte)) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (escape(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace orbiq
