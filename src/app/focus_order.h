// The keyboard focus order of a window, computed from its control records.
//
//   std::vector<int32_t> order = FocusOrder(kMainWindowControls);
//   // 按钮1, 编辑框1, 编辑框2, 编辑框3, 按钮3 (their identifiers)
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "app/window_definition.h"

namespace joincode {

// The identifiers of the controls that are visible, enabled and tab stops, by tab index, lower
// first; equal tab indexes in the reverse of the records' order.
[[nodiscard]] std::vector<int32_t> FocusOrder(std::span<const WindowRecord> controls);

}  // namespace joincode
