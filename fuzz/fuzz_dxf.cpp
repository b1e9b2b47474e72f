// Any bytes as a DXF drawing, loaded into a job as the open command does: the
// reader and the loader either give figures or report the file, never crash,
// hang or read out of bounds.
#include "app/MessageBoxes.h"
#include "job/Figure.h"
#include "job/Job.h"

#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {
class Quiet : public MessagePresenter {
public:
    void Show(const MessageRequest&) override {}
    int Ask(const MessageRequest&) override { return mrCancel; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Quiet quiet;
    static const int fd = memfd_create("drawing", 0);
    SetMessagePresenter(&quiet);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    TJob job;
    job.InputFileType = 2;
    const bool loaded = job.Load(QString("/proc/self/fd/%1").arg(fd), 255);
    if (loaded == job.FigureList.empty())
        __builtin_trap();
    // Every figure of the drawing can be cut; what the planner adds (a stub at
    // the corner, connectors) may be a single point.
    for (const auto& f : job.FigureList)
        if (!f || (f->Origin == 0 && !HasTwoDistinctPoints(*f)) || f->Index < 0)
            __builtin_trap();
    if (loaded && job.PathPlanned)
        for (const auto& f : job.FigureList)
            if (f->NotConnected)
                __builtin_trap();
    // A few bytes never make a job of unbounded size: the curves of a drawing
    // get 4 million segments (32 a byte in a larger file), and every other
    // point takes bytes of its own. The planner's stubs and connectors add a
    // few points a figure.
    size_t points = 0;
    for (const auto& f : job.FigureList)
        points += f->Points.size();
    if (points > std::max<size_t>(4'000'000, 32 * size) + 8 * size + 64)
        __builtin_trap();
    return 0;
}
