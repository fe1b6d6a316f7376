// MessageBoardWindow: the message board opened from MainWindow's chat items.
#pragma once

#include <cstdint>

#include "common/hosts.h"

namespace orbiq {

// Loads the message board, not modally and with no parent; returns at once.
uint64_t LoadMessageBoardWindow(const RemoteHosts& hosts);

}  // namespace orbiq
