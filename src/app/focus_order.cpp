#include "app/focus_order.h"

#include <algorithm>

namespace joincode {

std::vector<int32_t> FocusOrder(std::span<const WindowRecord> controls) {
  std::vector<const WindowRecord*> members;
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    if (it->visible && it->enabled && it->tabStop) {
      members.push_back(&*it);
    }
  }
  // Stable, so equal tab indexes keep the reversed order.
  std::stable_sort(
      members.begin(), members.end(),
      [](const WindowRecord* a, const WindowRecord* b) { return a->tabIndex < b->tabIndex; });
  std::vector<int32_t> order;
  order.reserve(members.size());
  for (const WindowRecord* member : members) {
    order.push_back(member->identifier);
  }
  return order;
}

}  // namespace joincode
