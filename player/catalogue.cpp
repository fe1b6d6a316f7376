// The channel catalogue: the channel tree and the channel choice.
#include "platform/ui/ui.h"
#include "player/globals.h"
#include "player/main_window.h"

namespace orbiq {

void FillChannelTree() {}

void OnChannelTreeSelectionChanged() {}

}  // namespace orbiq
