// Unit types of the message board: the report list view and the balloon tip.
#include "platform/ui/units.h"

namespace orbiq::platform {

std::unique_ptr<Unit> CreateBoardUnit(Window*, const QJsonObject&) { return nullptr; }

}  // namespace orbiq::platform
