// Files under the program's folder. Names are GBK texts built as the system builds them
// ("<folder>\iead.dll"); "\" maps to the native separator here, and nowhere else.
#pragma once

#include <cstdint>
#include <string>

#include "common/text.h"

namespace orbiq {

std::string NativePath(const Text& path);  // "\" -> "/", GBK -> UTF-8; doubled separators folded
bool FileExists(const Text& path);
bool DeleteFileAt(const Text& path);       // a missing file is no error
bool WriteFileAt(const Text& path, const ByteSet& bytes);
int64_t FileSizeAt(const Text& path);      // -1 when missing
bool CreateFolderAt(const Text& path);
ByteSet ReadFileAt(const Text& path);
// At most the first maxBytes of a file; *whole tells whether that was all of it.
ByteSet ReadFileHeadAt(const Text& path, size_t maxBytes, bool* whole = nullptr);

}  // namespace orbiq
