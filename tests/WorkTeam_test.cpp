// The team shares out each call's indices: every index done exactly once,
// and all of them done when the call returns, whatever the team size and
// however quickly the helpers wake.
#include <gtest/gtest.h>

#include <vector>

#include "trend/WorkTeam.h"

TEST(WorkTeam, EveryIndexOnceAndDoneOnReturn)
{
    for (unsigned threads : {0u, 1u, 2u, 5u}) {
        trend::WorkTeam team(threads);
        std::vector<int> out(257);
        for (int round = 1; round <= 3000; ++round) {
            const int n = round % 258;
            team.ForEach(n, [&](int32_t i) { out[static_cast<size_t>(i)] += round; });
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(out[static_cast<size_t>(i)], round) << "threads " << threads << ", index " << i;
            std::fill(out.begin(), out.end(), 0);
        }
    }
}
