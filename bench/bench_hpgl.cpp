// Loads a generated HPGL drawing of about 50 MB into a job and reports the
// throughput and the peak memory of the load.
//
//   bench_hpgl [megabytes]
#include "app/MessageBoxes.h"
#include "job/Job.h"

#include <QString>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {
long PeakRssKb()
{
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

long CurrentRssKb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

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

class Silent : public MessagePresenter {
public:
    void Show(const MessageRequest& r) override { std::fprintf(stderr, "box: %s\n", r.text.toUtf8().constData()); }
    int Ask(const MessageRequest&) override { return mrCancel; }
};
}  // namespace

int main(int argc, char** argv)
{
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 50.0;
    const std::string path = (std::filesystem::temp_directory_path() / "bench_hpgl.plt").string();
    size_t contours = 0;
    const uint64_t bytes = Generate(path, static_cast<uint64_t>(megabytes * 1e6), contours);

    Silent silent;
    SetMessagePresenter(&silent);
    const long baseKb = CurrentRssKb();
    const auto start = std::chrono::steady_clock::now();
    TJob job;
    job.InputFileType = 1;
    const bool ok = job.Load(QString::fromStdString(path), 255);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long peakKb = PeakRssKb();
    std::filesystem::remove(path);

    const double mb = bytes / 1e6;
    std::printf("file: %.1f MB, %zu contours drawn, %zu figures loaded (%s)\n", mb, contours,
                job.FigureList.size(), ok ? "ok" : "FAILED");
    std::printf("load: %.3f s, %.1f MB/s\n", seconds, mb / seconds);
    std::printf("peak memory of the load: %.1f MB (%.2f x the file size)\n", (peakKb - baseKb) / 1024.0,
                (peakKb - baseKb) * 1024.0 / bytes);
    return ok ? 0 : 1;
}
