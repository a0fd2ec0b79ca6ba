// How a walled child is started on Windows where the system refuses some of its walls, and how its
// input's writer is let go when no one reads.
#include "stats/system/windows/child_walls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "stats/system/windows/child_start.h"
#include "stats/system/windows/role_input.h"

namespace {

struct Outcome {
  bool started, token, policies;
  std::vector<std::string> tried;
};

// Starts behind the walls `refuses` lets through, noting every attempt.
template <typename Refuses>
Outcome StartWhere(bool walled, bool have_token, Refuses refuses) {
  Outcome outcome = {};
  outcome.started = stats::StartBehindWallsGranted(
      walled, have_token,
      [&](bool token, bool policies) {
        outcome.tried.push_back(std::string(token ? "token" : "-") + "+" +
                                (policies ? "policies" : "-"));
        return !refuses(token, policies);
      },
      outcome.token, outcome.policies);
  return outcome;
}

TEST(WalledChildOnWindows, KeepsEveryWallTheSystemGrantsLeavingOffOnlyWhatItRefuses) {
  const Outcome all = StartWhere(true, true, [](bool, bool) { return false; });
  EXPECT_TRUE(all.started && all.token && all.policies);
  EXPECT_EQ(all.tried.size(), 1u);

  // An older system, or an image on a share that a policy refuses: the token still holds.
  const Outcome no_policies = StartWhere(true, true, [](bool, bool policies) { return policies; });
  EXPECT_TRUE(no_policies.started && no_policies.token);
  EXPECT_FALSE(no_policies.policies);

  const Outcome no_token = StartWhere(true, true, [](bool token, bool) { return token; });
  EXPECT_TRUE(no_token.started && no_token.policies);
  EXPECT_FALSE(no_token.token);

  const Outcome refused = StartWhere(true, true, [](bool, bool) { return true; });
  EXPECT_FALSE(refused.started);
  EXPECT_EQ(refused.tried,
            (std::vector<std::string>{"token+policies", "token+-", "-+policies", "-+-"}));

  EXPECT_EQ(StartWhere(true, false, [](bool, bool) { return true; }).tried,
            (std::vector<std::string>{"-+policies", "-+-"}))
      << "no token was made: none is asked for";
  EXPECT_EQ(StartWhere(false, true, [](bool, bool) { return false; }).tried,
            std::vector<std::string>{"-+-"})
      << "a program that is not this one's own gets no walls";
}

TEST(WalledChildOnWindows, InputNoOneReadsIsLetGoWithinABoundRatherThanWaitedOnForEver) {
  stats::OwnedHandle read_end, write_end;
  ASSERT_TRUE(stats::MakePipe(read_end, write_end, 4096));
  const auto start = std::chrono::steady_clock::now();
  {
    stats::InputRest rest;
    ASSERT_TRUE(rest.Start(std::move(write_end), std::string(1 << 20, 'x')));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
      << "the read end is open here and nothing reads it";
}

}  // namespace
