// Paints a generated job in a job view and reports the time of a repaint:
// the first one, one after a new size (both draw the figures), one with
// nothing changed, one after the selection changed, and one while the replay
// runs.
//
//   bench_view [figures] [width height]      (default: 100000 1200 800)
#include "app/Settings.h"
#include "job/Figure.h"
#include "job/Job.h"
#include "job/ui/JobView.h"

#include <QApplication>
#include <QImage>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// A grid of small squares, with every fifth figure a circle of 24 vertices
// and every row ending in a connector-like open line.
void Fill(TJob& job, int figures)
{
    const int columns = std::max(1, static_cast<int>(std::sqrt(figures * 1.6)));
    for (int i = 0; i < figures; ++i) {
        const int32_t x = (i % columns) * 300, y = (i / columns) * 300;
        auto f = std::make_unique<tfigura>();
        if (i % 5 == 4) {
            for (int k = 0; k <= 24; ++k) {
                const double a = 2 * std::numbers::pi * (k % 24) / 24;
                f->Points.push_back({x + 100 + static_cast<int32_t>(std::lround(100 * std::cos(a))),
                                     y + 100 + static_cast<int32_t>(std::lround(100 * std::sin(a)))});
            }
        } else if (i % columns == columns - 1) {
            f->Points = {{x, y}, {x + 250, y + 150}};
        } else {
            f->Points = {{x, y}, {x + 200, y}, {x + 200, y + 200}, {x, y + 200}, {x, y}};
        }
        job.AddFigure(std::move(f));
        job.FigureList.back()->NotConnected = 0;
    }
    job.Ustaw_PPiPK();
    job.JobWidth = job.JobMaxX - job.JobMinX;
    job.JobHeight = job.JobMaxY - job.JobMinY;
    // The replay cuts the first figure.
    job.StartFigure = 0;
    job.FigureList[0]->ConnParent = -1;
}

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

double Paint(JobView& view, QImage& target)
{
    const auto t0 = Clock::now();
    view.render(&target);
    return Ms(t0, Clock::now());
}
}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int figures = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int width = argc > 3 ? std::atoi(argv[2]) : 1200;
    const int height = argc > 3 ? std::atoi(argv[3]) : 800;

    TJob job;
    Fill(job, figures);
    size_t points = 0;
    for (const auto& f : job.FigureList)
        points += f->Points.size();
    JobView view(job);
    view.resize(width, height);
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);

    const double first = Paint(view, target);
    const int rounds = 5;
    // A new size draws the figures again.
    double redrawn = 0;
    for (int r = 0; r < rounds; ++r) {
        view.resize(width, height + 1 + r % 2);
        redrawn += Paint(view, target);
    }
    view.resize(width, height);
    Paint(view, target);
    double unchanged = 0, selection = 0;
    for (int r = 0; r < rounds; ++r) {
        unchanged += Paint(view, target);
        job.SelectedFigure = r * 97 % figures;
        selection += Paint(view, target);
    }
    view.StartReplay();
    view.AdvanceReplay(2000);
    double replay = 0;
    for (int r = 0; r < rounds; ++r) {
        view.AdvanceReplay(20);
        replay += Paint(view, target);
    }
    view.StopReplay();

    std::printf("%d figures, %zu points, %dx%d pixels\n", figures, points, width, height);
    std::printf("  first paint            %8.1f ms\n", first);
    std::printf("  repaint, new size      %8.1f ms\n", redrawn / rounds);
    std::printf("  repaint, nothing new   %8.1f ms\n", unchanged / rounds);
    std::printf("  repaint, new selection %8.1f ms\n", selection / rounds);
    std::printf("  repaint during replay  %8.1f ms\n", replay / rounds);
    return 0;
}
