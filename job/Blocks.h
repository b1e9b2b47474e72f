// Work on items that do not depend on each other, in blocks on several
// threads, with the planner's progress and cancel kept on the calling thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

// Threads for `items` items: `forced` when above 0 (tests), else as many as
// the machine has, a thread for every couple of thousand items at most.
inline size_t ThreadsFor(size_t items, int forced)
{
    if (forced > 0)
        return static_cast<size_t>(forced);
    return std::clamp<size_t>(items / 2048, 1, std::max(1u, std::thread::hardware_concurrency()));
}

// Runs the items 0 .. count-1 in blocks taken in turn by `threads` threads,
// the calling one among them. Each thread gets its own body from `make`
// (its own scratch); body(from, to) does the items of one block and answers
// the work done. The calling thread tells `spend` the work of its own blocks
// between them (the others go at the same pace), so a progress that asks
// "go on?" is asked as often as if it worked alone; false stops every thread
// after its block. An exception in any thread comes back here.
template <typename MakeBody>
void RunInBlocks(size_t count, size_t threads, MakeBody make, const std::function<bool(int64_t)>& spend)
{
    threads = std::max<size_t>(1, threads);
    const size_t block = std::clamp<size_t>(count / (4 * threads), 16, 256);
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    auto run = [&](bool calling) {
        auto body = make();
        for (size_t from; !stop && (from = next.fetch_add(block)) < count;) {
            const int64_t work = body(from, std::min(count, from + block));
            if (calling && !spend(work))
                stop = true;
        }
    };
    std::vector<std::thread> helpers;
    std::vector<std::exception_ptr> failures(threads - 1);
    auto joinAll = [&] {
        for (std::thread& t : helpers)
            t.join();
    };
    try {
        for (size_t t = 0; t + 1 < threads; ++t) {
            try {
                helpers.emplace_back([&, t] {
                    try {
                        run(false);
                    } catch (...) {
                        failures[t] = std::current_exception();
                        stop = true;
                    }
                });
            } catch (const std::system_error&) {
                break;  // no more threads to be had: fewer do the work
            }
        }
        run(true);
    } catch (...) {
        stop = true;
        joinAll();
        throw;
    }
    joinAll();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}
