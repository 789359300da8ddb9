// The trace container's message pump: a message that pumps again while many
// are pending nests only so deep; the rest wait in order for the pump already
// running, so no number of pending messages can overflow the stack.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/scenario_harness.h"

namespace {

using marklet::testing::RunScenario;

TEST(TracePump, TenThousandPostedMovesAreAllDeliveredWithoutDeepNesting) {
  // Each move tests the link's box, and the hit test pumps pending messages.
  std::string scenario = "new\nset Text \"#ek<link here>\"\npaint\n";
  for (int i = 0; i < 10000; ++i) {
    scenario += "post move ";
    scenario += std::to_string(100 + i % 7);
    scenario += " 50\n";
  }
  scenario += "move 99 50\n";
  std::vector<std::string> records = RunScenario(scenario);

  std::vector<std::string> moves;
  for (const auto& r : records)
    if (r.rfind("{\"event\":\"MouseMove\"", 0) == 0) moves.push_back(r);
  ASSERT_EQ(moves.size(), 10001u);
  // Events are raised as handlers return: the deepest nested move's first,
  // then the moves the deepest pump delivered one after another in the order
  // posted, then the nested ones unwinding, the direct move last.
  constexpr int kDeepest = 8;
  for (int i = kDeepest; i < 10000; ++i) {
    std::string place = std::to_string(100 + i % 7);
    place += ",50]";
    ASSERT_NE(moves[static_cast<std::size_t>(i - kDeepest)].find(place), std::string::npos)
        << i << ": " << moves[static_cast<std::size_t>(i - kDeepest)];
  }
  EXPECT_NE(moves.back().find(",99,50]"), std::string::npos) << moves.back();
  EXPECT_EQ(std::count(records.begin(), records.end(), "{\"pumpDepthLimit\":8}"), 1);
}

TEST(TracePump, FewPendingMessagesNeverReachTheLimit) {
  std::string scenario = "new\nset Text \"#ek<link here>\"\npaint\n";
  for (int i = 0; i < 8; ++i) scenario += "post move 100 50\n";
  scenario += "move 100 50\n";
  std::vector<std::string> records = RunScenario(scenario);
  EXPECT_EQ(std::count(records.begin(), records.end(), "{\"pumpDepthLimit\":8}"), 0);
  EXPECT_EQ(std::count_if(records.begin(), records.end(),
                          [](const std::string& r) { return r.rfind("{\"event\":\"MouseMove\"", 0) == 0; }),
            9);
}

}  // namespace
