#include "support/ProgramEnd.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
struct Ended {
    int code;
};
} // namespace

TEST(ProgramEnd, RunsLiveHooksNewestFirstThenEnds)
{
    std::vector<int> order;
    support::SetProgramTerminator([](int code) { throw Ended{code}; });
    support::ProgramEndHook first([&] { order.push_back(1); });
    {
        support::ProgramEndHook gone([&] { order.push_back(99); });
    }
    support::ProgramEndHook second([&] { order.push_back(2); });
    try {
        support::EndProgram(3);
        ADD_FAILURE() << "EndProgram returned";
    } catch (const Ended &ended) {
        EXPECT_EQ(ended.code, 3);
    }
    support::SetProgramTerminator(nullptr);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
}
