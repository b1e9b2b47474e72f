// Loads generated HPGL drawings into a job and reports the throughput and the
// peak memory of each load, once reading and joining only ("read") and once
// with the planning that follows every load ("plan"); each drawing in a
// process of its own, the time the best of three loads:
//   parts  about 50 MB of ring-shaped parts, some drawn as two open halves;
//   chain  a polyline drawn as separate touching segments, joined on loading;
//   dense  one polyline of millions of points.
//
//   bench_hpgl [megabytes of the parts drawing]
#include "bench/BenchMemory.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "job/Job.h"

#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Rings of 24 points on a grid within the machine's area; every fifth part is
// drawn as two open halves that the loader joins, and a few are drawn twice.
uint64_t Generate(const std::string& path, uint64_t targetBytes, size_t& contours)
{
    std::ofstream out(path, std::ios::binary);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> radius(60, 160);
    std::string buf;
    buf.reserve(1 << 20);
    buf += "IN;SP1;";
    uint64_t written = 0;
    contours = 0;
    for (int cell = 0; written + buf.size() < targetBytes; ++cell) {
        // 560 x 280 cells of 340 steps: the whole job fits the machine's travel.
        const int cx = 200 + (cell % 560) * 340;
        const int cy = 200 + (cell / 560 % 280) * 340;
        const int r = radius(rng);
        auto point = [&](int k) {
            const double a = 2 * M_PI * k / 24;
            return std::to_string(cx + static_cast<int>(r * std::cos(a))) + "," +
                   std::to_string(cy + static_cast<int>(r * std::sin(a)));
        };
        auto polyline = [&](int from, int to) {
            buf += "PU" + point(from) + ";PD";
            for (int k = from + 1; k <= to; ++k)
                buf += point(k) + (k < to ? "," : ";");
            buf += "PU;\n";
            ++contours;
        };
        if (cell % 5 == 0) {
            polyline(0, 12);
            polyline(12, 24);
        } else {
            polyline(0, 24);
            if (cell % 97 == 0)
                polyline(0, 24);
        }
        if (buf.size() > (1 << 20) - 4096) {
            out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
            written += buf.size();
            buf.clear();
        }
    }
    out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
    written += buf.size();
    return written;
}

// One long polyline, as separate segments that touch (chain) or as one run of
// points (dense).
uint64_t GenerateLine(const std::string& path, uint64_t targetBytes, bool segments, size_t& contours)
{
    std::ofstream out(path, std::ios::binary);
    std::string buf = "IN;SP1;PU0,0;PD";
    uint64_t written = 0;
    contours = segments ? 0 : 1;
    for (int64_t i = 0; written + buf.size() < targetBytes; ++i) {
        // A zigzag that stays within the machine's travel.
        const int64_t x = (i * 7) % 190000, y = (i % 2) * 40 + (i / 27000) * 100;
        const std::string p = std::to_string(x) + "," + std::to_string(y);
        if (segments) {
            const int64_t nx = ((i + 1) * 7) % 190000, ny = ((i + 1) % 2) * 40 + ((i + 1) / 27000) * 100;
            buf += p + "," + std::to_string(nx) + "," + std::to_string(ny) + ";PU;PU" + std::to_string(nx) + "," +
                   std::to_string(ny) + ";PD";
            ++contours;
        } else {
            buf += p + ",";
        }
        if (buf.size() > (1 << 20) - 4096) {
            out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
            written += buf.size();
            buf.clear();
        }
    }
    buf += "0,0;PU;";
    out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
    return written + buf.size();
}

// Prints the boxes of a load that should have given none; the planner's
// refusal when reading only is expected and kept quiet.
class Silent : public MessagePresenter {
public:
    void Show(const MessageRequest& r) override
    {
        if (!refusalExpected)
            std::fprintf(stderr, "box: %s\n", r.text.toUtf8().constData());
    }
    int Ask(const MessageRequest&) override { return mrCancel; }
    bool refusalExpected = false;
};

// Best of three loads of the file: the machine's other work only ever adds
// time. Without planning, the rotary mode without a rotary device makes the
// planner refuse before it looks at a figure, so what is measured is reading
// and joining.
struct Timing {
    double seconds = 1e9;
    size_t figures = 0;
    long peakKb = 0;
    bool ok = true;
};

Timing TimeLoads(const std::string& path, bool plan, Silent& boxes)
{
    boxes.refusalExpected = !plan;
    Settings().Reset();
    if (!plan) {
        Settings().SetItemIndex("Mode", 1);
        Settings().SetItemIndex("StolikSwitch", 2);
    }
    ResetPeak();
    const long baseKb = CurrentRssKb();
    Timing t;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        TJob job;
        job.InputFileType = 1;
        const bool loaded = job.Load(QString::fromStdString(path), 255);
        t.seconds = std::min(t.seconds, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        t.figures = job.FigureList.size();
        t.ok = t.ok && (plan ? loaded && job.PathPlanned : t.figures > 0);
    }
    t.peakKb = PeakRssKb() - baseKb;
    return t;
}

int Measure(const char* name, double megabytes)
{
    const std::string path = (std::filesystem::temp_directory_path() / (std::string("bench_hpgl_") + name + ".plt")).string();
    size_t contours = 0;
    const uint64_t target = static_cast<uint64_t>(megabytes * 1e6);
    const uint64_t bytes = std::string(name) == "parts" ? Generate(path, target, contours)
                                                        : GenerateLine(path, target, std::string(name) == "chain", contours);

    Silent silent;
    SetMessagePresenter(&silent);
    const double mb = bytes / 1e6;
    bool ok = true;
    for (const bool plan : {false, true}) {
        const Timing t = TimeLoads(path, plan, silent);
        std::printf("%-6s %-5s %6.1f MB, %7zu contours drawn, %7zu figures: %.3f s, %6.1f MB/s, peak memory %.2f x the file%s\n",
                    name, plan ? "plan" : "read", mb, contours, t.figures, t.seconds, mb / t.seconds,
                    t.peakKb * 1024.0 / bytes, t.ok ? "" : "  (LOAD FAILED)");
        ok = ok && t.ok;
    }
    std::filesystem::remove(path);
    return ok ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv)
{
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 50.0;
    const std::pair<const char*, double> runs[] = {{"parts", megabytes}, {"chain", megabytes / 5}, {"dense", megabytes / 2}};
    int failures = 0;
    for (const auto& [name, size] : runs) {
        std::fflush(stdout);
        // Each drawing in a process of its own, so each peak is its own.
        const pid_t child = fork();
        if (child == 0) {
            const int result = Measure(name, size);
            std::fflush(stdout);
            std::_Exit(result);
        }
        int status = 0;
        waitpid(child, &status, 0);
        failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    return failures;
}
