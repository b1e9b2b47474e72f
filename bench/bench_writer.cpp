// Writes the machine command file of a planned job of about a million vertices
// and reports the time and how much memory the writing took beyond the job.
//
//   bench_writer [vertices]
#include "bench/BenchMemory.h"
#include "app/MessageBoxes.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "job/Job.h"

#include <QFileInfo>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <unistd.h>

namespace {
class Silent : public MessagePresenter {
public:
    void Show(const MessageRequest& r) override { std::fprintf(stderr, "box: %s\n", r.text.toUtf8().constData()); }
    int Ask(const MessageRequest&) override { return mrCancel; }
};
}  // namespace

int main(int argc, char** argv)
{
    const long vertices = argc > 1 ? std::atol(argv[1]) : 1000000;
    Silent silent;
    SetMessagePresenter(&silent);

    // Rings of 500 vertices on a sheet.
    TJob job;
    const int perRing = 500;
    const long rings = std::max(1L, vertices / perRing);
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(rings))));
    for (long r = 0; r < rings; ++r) {
        auto f = std::make_unique<tfigura>();
        const int32_t cx = 2000 + static_cast<int32_t>(r % side) * 4000, cy = 2000 + static_cast<int32_t>(r / side) * 4000;
        for (int k = 0; k < perRing; ++k) {
            const double a = 2 * std::numbers::pi * k / perRing;
            f->Points.push_back({cx + static_cast<int32_t>(std::lround(1500 * std::cos(a))),
                                 cy + static_cast<int32_t>(std::lround(1500 * std::sin(a)))});
        }
        f->Points.push_back(f->Points.front());
        job.AddFigure(std::move(f));
    }
    job.Ustaw_PPiPK();
    job.JobWidth = job.JobMaxX - job.JobMinX;
    job.JobHeight = job.JobMaxY - job.JobMinY;
    job.ciecie();
    long total = 0;
    for (const auto& f : job.FigureList)
        total += static_cast<long>(f->Points.size());

    const std::string path = (std::filesystem::temp_directory_path() / "bench_writer.cn").string();
    JobFileMode = 32;
    ResetPeak();
    const long before = CurrentRssKb();
    const auto start = std::chrono::steady_clock::now();
    const bool ok = job.save_ciecie(QString::fromStdString(path), 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peak = PeakRssKb();
    const qint64 bytes = QFileInfo(QString::fromStdString(path)).size();
    std::filesystem::remove(path);
    std::printf("%ld vertices (%zu figures with connectors): %s %.1f MB in %.3f s; memory while writing %.1f MB\n",
                total, job.FigureList.size(), ok ? "wrote" : "FAILED to write", bytes / 1e6, seconds,
                (peak - before) / 1024.0);
    return ok ? 0 : 1;
}
