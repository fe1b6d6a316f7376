// The built-in channel catalogue: a complete catalogue file (common/catalogue_file.h),
// written when the program folder holds none. The build generates its bytes.
#pragma once

#include "common/text.h"

namespace orbiq {

const ByteSet& BuiltinCatalogue();

}  // namespace orbiq
