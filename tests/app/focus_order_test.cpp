#include "app/focus_order.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/window_definition.h"

namespace joincode {
namespace {

struct Flags {
  bool visible = true;
  bool enabled = true;
  bool tabStop = true;
};

WindowRecord Control(int32_t identifier, int32_t tabIndex, Flags flags = {}) {
  return {identifier,    RecordKind::kEditBox, "",       0,  0, 10, 10, flags.visible,
          flags.enabled, flags.tabStop,        tabIndex, {}, ""};
}

struct FocusCase {
  const char* name;
  std::vector<WindowRecord> controls;
  std::vector<int32_t> expected;
};

TEST(FocusOrder, FollowsTabIndexThenReverseDefinitionOrder) {
  const FocusCase cases[] = {
      {"no controls", {}, {}},
      {"equal tab indexes reverse the records",
       {Control(1, 0), Control(2, 0), Control(3, 0)},
       {3, 2, 1}},
      {"lower tab index first", {Control(1, 2), Control(2, 0), Control(3, 1)}, {2, 3, 1}},
      {"ties reversed within each tab index",
       {Control(1, 1), Control(2, 0), Control(3, 1), Control(4, 0)},
       {4, 2, 3, 1}},
      {"negative tab index comes before zero", {Control(1, 0), Control(2, -1)}, {2, 1}},
      {"hidden control left out", {Control(1, 0), Control(2, 0, {.visible = false})}, {1}},
      {"disabled control left out", {Control(1, 0, {.enabled = false}), Control(2, 0)}, {2}},
      {"control without tab stop left out",
       {Control(1, 0), Control(2, 0, {.tabStop = false}), Control(3, 0)},
       {3, 1}},
      {"nothing focusable",
       {Control(1, 0, {.tabStop = false}), Control(2, 0, {.visible = false})},
       {}},
  };
  for (const FocusCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FocusOrder(c.controls), c.expected);
  }
}

// The main window's order: 按钮1, 编辑框1, 编辑框2, 编辑框3, 按钮3; the labels never take part.
TEST(FocusOrder, MainWindowStartsOnGenerateButton) {
  const std::vector<int32_t> expected = {369164291, 369164871, 369164875, 369164882, 369164891};
  EXPECT_EQ(FocusOrder(kMainWindowControls), expected);
}

}  // namespace
}  // namespace joincode
