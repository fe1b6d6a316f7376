// The built-in channel catalogue: a complete Jet 4 file, written when no catalogue file exists.
#pragma once

#include "common/text.h"

namespace orbiq {

const ByteSet& BuiltinCatalogue();

}  // namespace orbiq
