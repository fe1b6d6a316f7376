// URL splitting into the host, port and path that the request call connects with, and the
// form-value encoder that escapes every byte.
#pragma once

#include "common/text.h"

#include <cstdint>

namespace orbiq {

// The authority's text before its first ":", folded to lower case. Only "http://" is known
// as a scheme (letter case ignored); anything else counts as part of the authority.
Text GetUrlHost(const Text& url);

// The number after the authority's first ":"; 80 when there is no ":", 0 when the text after
// it is empty or does not begin with a decimal digit.
int32_t GetUrlPort(const Text& url);

// The URL from the first "/" at or after the host's first occurrence in the whole URL; "/"
// when there is none.
Text GetUrlPath(const Text& url);

// "%" and two upper-case hex digits for every byte, letters and digits included.
Text PercentEncodeAllBytes(const Text& text);

}  // namespace orbiq
