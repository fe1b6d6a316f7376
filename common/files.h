// Files under the program's folder. Names are GBK texts built as the system builds them
// ("<folder>\iead.dll"); "\" maps to the native separator here, and nowhere else.
// Folders and files the system names (the program's folder, a dialog's choice, the download
// folder) are native paths: their text form is for handlers and display, and the file layer
// keeps the native bytes behind it, so no character outside GBK is lost.
#pragma once

#include <cstdint>
#include <string>

#include "common/text.h"

namespace orbiq {

// The text form of a native path: its GBK conversion, where a character outside GBK (or a
// byte that is no UTF-8) reads "?". When that loses something, the native bytes are kept
// under this text, and NativePath of it, or of it followed by "\name", gives them back.
Text TextOfNativePath(const std::string& native);
// "\" -> "/", GBK -> UTF-8, doubled separators folded; a leading native path's text (as
// TextOfNativePath gave it) becomes its native bytes unchanged.
std::string NativePath(const Text& path);
bool FileExists(const Text& path);
bool DeleteFileAt(const Text& path);       // a missing file is no error
// Reading and writing take regular files only: anything else (a FIFO, a device) fails at
// once instead of blocking the caller.
bool WriteFileAt(const Text& path, const ByteSet& bytes);
int64_t FileSizeAt(const Text& path);      // -1 when missing
bool CreateFolderAt(const Text& path);
ByteSet ReadFileAt(const Text& path);
// At most the first maxBytes of a file; *whole tells whether that was all of it.
ByteSet ReadFileHeadAt(const Text& path, size_t maxBytes, bool* whole = nullptr);

// A file that ships beside the running program (its helper programs and modules): the path
// beside the program's own executable. Only where it is not there with the access `mode` asks
// (access(2): X_OK, R_OK) and SetHelperFolder named a folder that has it, that folder's copy.
std::string BesideProgram(const char* name, int mode);
// For programs that run apart from their helpers (tests and benchmarks in the build): where
// BesideProgram looks next. The program itself never sets it.
void SetHelperFolder(const std::string& folder);

}  // namespace orbiq
