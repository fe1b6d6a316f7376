#include "platform/transfer/native_path.h"

#include <algorithm>

namespace orbiq::platform {

std::string NativePath(const Text& path) {
    std::string native = GbkToUtf8(path.Bytes());
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

}  // namespace orbiq::platform
