// File names as the system builds them (GBK, "\" separators) turned into native Linux names.
#pragma once

#include "common/text.h"

#include <string>

namespace orbiq::platform {

// Converts a GBK path to UTF-8 and maps every "\" to "/". The mapping works on the UTF-8
// form, so a GBK trail byte 0x5C inside a Chinese character is never taken for a separator.
std::string NativePath(const Text& path);

}  // namespace orbiq::platform
