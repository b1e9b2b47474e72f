#include "job/Blocks.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

// Three threads share the items: each item is done once, only the calling
// thread tells the progress, a "stop" ends every thread with the block it is
// in, and a failure on another thread comes back to the caller.
TEST(RunInBlocks, ItemsOnceProgressOnTheCallerAndStopAndFailureForEveryThread)
{
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<std::atomic<int>> done(1000);
    std::atomic<bool> spentElsewhere{false}, helped{false};
    int64_t spent = 0;
    RunInBlocks(
        done.size(), 3,
        [&] {
            return [&](size_t from, size_t to) {
                for (size_t i = from; i < to; ++i)
                    ++done[i];
                helped = helped || std::this_thread::get_id() != caller;
                std::this_thread::sleep_for(2ms);
                return static_cast<int64_t>(to - from);
            };
        },
        [&](int64_t work) {
            spentElsewhere = spentElsewhere || std::this_thread::get_id() != caller;
            spent += work;
            return true;
        });
    for (size_t i = 0; i < done.size(); ++i)
        ASSERT_EQ(done[i], 1) << "item " << i;
    EXPECT_TRUE(helped);
    EXPECT_FALSE(spentElsewhere);
    EXPECT_GT(spent, 0);

    // The caller's first block says stop while the others are in theirs
    // (1000 items make 13 blocks of 83).
    std::atomic<int> blocks{0};
    std::atomic<bool> told{false};
    RunInBlocks(
        1000, 3,
        [&] {
            return [&](size_t, size_t) {
                ++blocks;
                if (std::this_thread::get_id() != caller)
                    while (!told)
                        std::this_thread::sleep_for(1ms);
                std::this_thread::sleep_for(20ms);
                return int64_t{1};
            };
        },
        [&](int64_t) {
            told = true;
            return false;
        });
    EXPECT_LE(blocks, 3) << "each thread ends with the block it is in";

    // The caller waits in its block for a helper to fail.
    std::atomic<bool> failed{false};
    EXPECT_THROW(RunInBlocks(
                     1000, 3,
                     [&] {
                         return [&](size_t, size_t) {
                             if (std::this_thread::get_id() != caller) {
                                 failed = true;
                                 throw std::runtime_error("no memory");
                             }
                             for (int ms = 0; !failed && ms < 5000; ++ms)
                                 std::this_thread::sleep_for(1ms);
                             return int64_t{1};
                         };
                     },
                     [](int64_t) { return true; }),
                 std::runtime_error);
}
