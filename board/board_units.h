// The board window's units by stored name, and the groups its handlers treat together.
#pragma once

#include <cstdint>

#include "common/unit_ref.h"

namespace orbiq {

inline UnitRef BoardUnit(uint64_t window, const char* name) { return UnitRef{window, name}; }

inline constexpr const char* kLoginPanelUnits[] = {"标签2", "标签1", "编辑框1", "用户名字编辑框2", "留言发送按钮2"};
inline constexpr const char* kChatUnits[] = {"留言内容编辑框1", "留言发送按钮1", "留言内容说明标签1", "超级列表框1"};

}  // namespace orbiq
