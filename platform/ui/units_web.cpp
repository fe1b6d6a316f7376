// Unit types that show web content: the HTML view and the hyperlink box.
#include "platform/ui/units.h"

namespace orbiq::platform {

std::unique_ptr<Unit> CreateWebUnit(Window*, const QJsonObject&) { return nullptr; }

}  // namespace orbiq::platform
