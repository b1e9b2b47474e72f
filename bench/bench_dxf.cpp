// Reads a generated DXF drawing of about 60 MB (100,000 LINE and 20,000
// closed LWPOLYLINE entities of 50 vertices, written as a CAD program writes
// them) and reports the throughput and the peak memory, each run in a process
// of its own (the time is the best of three):
//   read  the reader alone, figure after figure;
//   load  the job's load, with the work mode's planner refusing at once (rotary
//         cutting without a rotary device), so the time is reading, joining
//         and the figures' parameters.
//
//   bench_dxf [LINE entities] [LWPOLYLINE entities]
#include "bench/BenchMemory.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "job/Hpgl.h"
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
class Writer {
public:
    explicit Writer(const std::string& path) : m_out(path, std::ios::binary) { m_buf.reserve(1 << 20); }
    ~Writer() { Flush(); }
    void Group(int code, const char* value)
    {
        char line[64];
        // Codes right-aligned in three columns, as CAD programs write them.
        std::snprintf(line, sizeof line, "%3d\n", code);
        m_buf += line;
        m_buf += value;
        m_buf += '\n';
        if (m_buf.size() > (1 << 20) - 256)
            Flush();
    }
    void Number(int code, double v)
    {
        // Sixteen significant digits, as CAD programs write doubles.
        char value[40];
        std::snprintf(value, sizeof value, "%.16g", v);
        Group(code, value);
    }
    void Handle(int code, uint64_t h)
    {
        char value[24];
        std::snprintf(value, sizeof value, "%llX", static_cast<unsigned long long>(h));
        Group(code, value);
    }
    uint64_t Bytes() const { return m_written + m_buf.size(); }

private:
    void Flush()
    {
        m_out.write(m_buf.data(), static_cast<std::streamsize>(m_buf.size()));
        m_written += m_buf.size();
        m_buf.clear();
    }
    std::ofstream m_out;
    std::string m_buf;
    uint64_t m_written = 0;
};

uint64_t Generate(const std::string& path, int lines, int polylines, size_t& vertices)
{
    Writer w(path);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> pos(0.0, 1000.0), len(1.0, 20.0), angle(0.0, 2 * M_PI),
        radius(2.0, 9.0);
    w.Group(0, "SECTION");
    w.Group(2, "HEADER");
    w.Group(9, "$ACADVER");
    w.Group(1, "AC1015");
    w.Group(9, "$INSUNITS");
    w.Group(70, "4");
    w.Group(9, "$LTSCALE");
    w.Group(40, "1.0");
    w.Group(0, "ENDSEC");
    w.Group(0, "SECTION");
    w.Group(2, "ENTITIES");
    uint64_t handle = 0x100;
    vertices = 0;
    for (int i = 0; i < lines; ++i) {
        const double x = pos(rng), y = pos(rng) / 2, a = angle(rng), l = len(rng);
        w.Group(0, "LINE");
        w.Handle(5, handle++);
        w.Group(330, "1F");
        w.Group(100, "AcDbEntity");
        w.Group(8, "0");
        w.Group(100, "AcDbLine");
        w.Number(10, x);
        w.Number(20, y);
        w.Number(30, 0.0);
        w.Number(11, x + l * std::cos(a));
        w.Number(21, y + l * std::sin(a));
        w.Number(31, 0.0);
    }
    constexpr int kVertices = 50;
    for (int i = 0; i < polylines; ++i) {
        const double cx = pos(rng), cy = pos(rng) / 2, r = radius(rng);
        w.Group(0, "LWPOLYLINE");
        w.Handle(5, handle++);
        w.Group(330, "1F");
        w.Group(100, "AcDbEntity");
        w.Group(8, "PARTS");
        if (i % 7 == 0)
            w.Group(62, "3");
        w.Group(100, "AcDbPolyline");
        w.Group(90, std::to_string(kVertices).c_str());
        w.Group(70, "1");
        w.Number(43, 0.0);
        for (int k = 0; k < kVertices; ++k) {
            // A star-like outline, so no two parts repeat each other.
            const double rk = r * (k % 2 ? 0.8 : 1.0);
            w.Number(10, cx + rk * std::cos(2 * M_PI * k / kVertices));
            w.Number(20, cy + rk * std::sin(2 * M_PI * k / kVertices));
            ++vertices;
        }
    }
    w.Group(0, "ENDSEC");
    w.Group(0, "EOF");
    return w.Bytes();
}

class Quiet : public MessagePresenter {
public:
    void Show(const MessageRequest&) override {}
    int Ask(const MessageRequest&) override { return mrCancel; }
};

size_t ReadOnly(const QString& path)
{
    Thpgl reader;
    if (reader.OpenInput(path, 2) != 0)
        return 0;
    size_t figures = 0;
    tfigura figure;
    while (!reader.EndOfInput) {
        figure.Points.clear();
        reader.ReadFigure(figure);
        figures += figure.Valid;
    }
    reader.CloseInput();
    return figures;
}

size_t LoadJob(const QString& path)
{
    // Rotary cutting without a rotary device: the planner refuses before it
    // looks at a figure, and the figures stay as the load left them.
    Settings().SetItemIndex("Mode", 1);
    Settings().SetItemIndex("StolikSwitch", 2);
    TJob job;
    job.InputFileType = 2;
    job.Load(path, 255);
    return job.FigureList.size();
}

int Measure(const std::string& path, uint64_t bytes, bool load)
{
    Quiet quiet;
    SetMessagePresenter(&quiet);
    const QString file = QString::fromStdString(path);
    const long baseKb = CurrentRssKb();
    double seconds = 1e9;
    size_t figures = 0;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        figures = load ? LoadJob(file) : ReadOnly(file);
        seconds = std::min(seconds, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    const long peakKb = PeakRssKb();
    const double mb = bytes / 1e6;
    std::printf("%-5s %6.1f MB, %7zu figures: %.3f s, %6.1f MB/s, peak memory %.2f x the file%s\n",
                load ? "load" : "read", mb, figures, seconds, mb / seconds, (peakKb - baseKb) * 1024.0 / bytes,
                figures ? "" : "  (NOTHING READ)");
    return figures ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv)
{
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int polylines = argc > 2 ? std::atoi(argv[2]) : 20000;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("bench_dxf_" + std::to_string(getpid()) + ".dxf")).string();
    size_t vertices = 0;
    const uint64_t bytes = Generate(path, lines, polylines, vertices);
    std::printf("drawing: %d LINE, %d LWPOLYLINE, %zu vertices, %.1f MB\n", lines, polylines, vertices, bytes / 1e6);
    int failures = 0;
    for (const bool load : {false, true}) {
        std::fflush(stdout);
        // Each measurement in a process of its own, so each peak is its own.
        const pid_t child = fork();
        if (child == 0) {
            const int result = Measure(path, bytes, load);
            std::fflush(stdout);
            std::_Exit(result);
        }
        int status = 0;
        waitpid(child, &status, 0);
        failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::filesystem::remove(path);
    return failures;
}
