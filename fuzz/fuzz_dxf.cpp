// Any bytes as a DXF drawing.
#include "fuzz/FuzzLoad.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::LoadDrawing(data, size, 2, [size](const TJob& job) {
        // A few bytes never make a job of unbounded size: the curves of a
        // drawing get 4 million segments (32 a byte in a larger file), and
        // every other point takes bytes of its own. The planner's stubs and
        // connectors add a few points a figure.
        size_t points = 0;
        for (const auto& f : job.FigureList)
            points += f->Points.size();
        if (points > std::max<size_t>(4'000'000, 32 * size) + 8 * size + 64)
            __builtin_trap();
    });
    return 0;
}
