#include "board/board_window.h"

namespace orbiq {

uint64_t LoadMessageBoardWindow(const RemoteHosts&) { return 0; }

}  // namespace orbiq
