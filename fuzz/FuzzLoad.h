#pragma once
// Any bytes as a drawing file, loaded into a job as the open command does: the
// reader and the loader either give figures or report the file, never crash,
// hang or read out of bounds.
#include "app/MessageBoxes.h"
#include "job/Figure.h"
#include "job/Job.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {
class Quiet : public MessagePresenter {
public:
    void Show(const MessageRequest&) override {}
    int Ask(const MessageRequest&) override { return mrCancel; }
};

// Loads the bytes as a file of the input type and checks what every load must
// give; then hands the job to `more` for the checks of the file type.
template <typename More>
void LoadDrawing(const uint8_t* data, size_t size, int32_t type, More&& more)
{
    static Quiet quiet;
    static const int fd = memfd_create("drawing", 0);
    SetMessagePresenter(&quiet);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return;
    TJob job;
    job.InputFileType = type;
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
    more(job);
}
}  // namespace fuzz
