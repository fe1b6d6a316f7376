// Linked into the test and bench programs, which run from folders of their own: they find the
// program's helpers (its Jet reader, its web view module) in the program's build folder.
#include "common/files.h"

namespace {

[[maybe_unused]] const bool gHelpersInBuild = (orbiq::SetHelperFolder(ORBIQ_PROGRAM_DIR), true);

}  // namespace
