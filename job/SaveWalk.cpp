// A planned job written as the machine command file: the walk of each kind of cut.
#include "app/MainStatus.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/CutOrder.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "job/Job.h"
#include "machine/MachineConstants.h"
#include "machine/WireSelection.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

namespace {
constexpr double kSharpCorner = 0.6283185307179586;  // pi / 5

int32_t RoundScaled(int64_t steps)
{
    return static_cast<int32_t>(std::clamp<int64_t>(RoundToInt64Sat(steps * Settings().Skala() / 100.0), INT32_MIN, INT32_MAX));
}
}  // namespace

void TJob::OdwrocKierunek(tfigura& f)
{
    std::reverse(f.Points.begin(), f.Points.end());
    std::reverse(f.VertexInfo.begin(), f.VertexInfo.end());
    std::reverse(f.SecondProfile.begin(), f.SecondProfile.end());
}

bool TJob::Save(const QString& fileName, bool announce, int32_t lastSerialIndex,
                const std::function<void(Thpgl&)>& walk)
{
    return WithinMemory([&] { return SaveWalked(fileName, announce, lastSerialIndex, walk); }, false);
}

bool TJob::SaveWalked(const QString& fileName, bool announce, int32_t lastSerialIndex,
                      const std::function<void(Thpgl&)>& walk)
{
    if (m_host)
        m_host->SetBusy(true);
    if (announce)
        SetMainStatusText("Write file " + fileName);
    Thpgl writer;
    const TsterModel& wires = WireSelection();
    writer.UseFront = wires.KeyFront;
    writer.UseBack = wires.KeyBack;
    writer.UseSide = wires.KeySide;
    writer.Job = this;
    writer.AttachedMachine = m_host ? m_host->AttachedMachine() : nullptr;
    writer.LastSerialIndex = lastSerialIndex;
    bool ok = writer.BeginOutput(fileName);
    if (ok) {
        try {
            walk(writer);
        } catch (const Thpgl::Refused& refused) {
            // Nothing of this job may reach the machine.
            ok = false;
            ShowMessageBox(refused.reason == Thpgl::Refused::Reason::NoStepsPerTurn
                               ? Tr("Project_window", "maszynaBrakKrokowNaObrot")
                               : Tr("Project_window", "projektBrakOsiObrotu"),
                           true);
        } catch (const std::bad_alloc&) {
            writer.AbortOutput();  // no part of the job may reach the machine
            throw;
        }
        SetMainStatusText(QString());
        if (ok)
            ok = writer.EndOutput();
        else
            writer.AbortOutput();
    }
    ShowControlPanel = ok && writer.ShowControlPanel;
    if (m_host)
        m_host->SetBusy(false);
    return ok;
}

bool TJob::save_ciecie(const QString& fileName, double turn, int32_t lastSerialIndex)
{
    return Save(fileName, false, lastSerialIndex, [&](Thpgl& w) { EmitCuttingJob(w, turn); });
}

void TJob::EmitCuttingJob(Thpgl& writer, double turn)
{
    if (StartFigure < 0 || static_cast<size_t>(StartFigure) >= FigureList.size())
        return;
    const tfigura& start = *FigureList[static_cast<size_t>(StartFigure)];
    if (start.Points.empty())
        return;
    const TFigPoint& p = start.Points[static_cast<size_t>(std::clamp<int32_t>(start.EntryVertex, 0, static_cast<int32_t>(start.Points.size()) - 1))];
    writer.SetStartPosition(RoundScaled(static_cast<int64_t>(p.x) - JobMinX), RoundScaled(static_cast<int64_t>(p.y) - JobMinY), 0);
    WalkConnectorTree(writer, StartFigure);
    if (Settings().Mode() == 5)
        return;
    switch (Settings().StolikSwitch()) {
    case 1:
        writer.WriteSideMove(0, turn);
        break;
    case 0:
        writer.WriteSideMove(turn, 0);
        break;
    default:
        break;
    }
}

// The cut of the plain job: every figure from its entry vertex round to it
// again, the figures hanging at a vertex cut when the wire reaches that
// vertex. The walk keeps its own stack, so a job of any size walks in one go.
void TJob::WalkConnectorTree(Thpgl& writer, int32_t root)
{
    const TDlgkonfigModel& settings = Settings();
    const bool serial = settings.Mode() == 2;
    const int32_t count = static_cast<int32_t>(FigureList.size());
    std::vector<std::vector<int32_t>> children(static_cast<size_t>(count));
    for (int32_t g = 0; g < count; ++g) {
        const int32_t parent = FigureList[static_cast<size_t>(g)]->ConnParent;
        if (parent >= 0 && parent < count && parent != g && g != root)
            children[static_cast<size_t>(parent)].push_back(g);
    }
    // Each figure is cut once, even where broken links lead to it again.
    std::vector<uint8_t> visited(static_cast<size_t>(count), 0);
    bool dwellWritten = false;
    const int32_t cornerPause = static_cast<int32_t>(RoundToInt64Sat(writer.CornerPause()));
    auto pointsOf = [&](tfigura& f) -> std::vector<TFigPoint>& { return TwoProfile ? f.SecondProfile : f.Points; };
    auto sharp = [&](const tfigura& f, int32_t v) {
        auto angle = [](const tfigura& g, int32_t k) {
            return k >= 0 && static_cast<size_t>(k) < g.VertexInfo.size() ? std::fabs(g.VertexInfo[static_cast<size_t>(k)].Angle) : 0.0;
        };
        if (TwoProfile && FigureList.size() >= 2)
            return angle(*FigureList[0], v) > kSharpCorner || angle(*FigureList[1], v) > kSharpCorner;
        return angle(f, v) > kSharpCorner;
    };
    auto moveTo = [&](const tfigura& f, int32_t v) {
        if (TwoProfile && FigureList.size() >= 2) {
            const auto& a = FigureList[0]->SecondProfile;
            const auto& b = FigureList[1]->SecondProfile;
            if (static_cast<size_t>(v) >= a.size() || static_cast<size_t>(v) >= b.size())
                return;
            writer.WriteScaledMove4(static_cast<int32_t>(static_cast<int64_t>(a[static_cast<size_t>(v)].x) - JobMinX),
                                    static_cast<int32_t>(static_cast<int64_t>(a[static_cast<size_t>(v)].y) - JobMinY),
                                    static_cast<int32_t>(static_cast<int64_t>(b[static_cast<size_t>(v)].x) - JobMinX),
                                    static_cast<int32_t>(static_cast<int64_t>(b[static_cast<size_t>(v)].y) - JobMinY));
            return;
        }
        const TFigPoint& p = f.Points[static_cast<size_t>(v)];
        writer.WriteScaledMove(static_cast<int32_t>(static_cast<int64_t>(p.x) - JobMinX),
                               static_cast<int32_t>(static_cast<int64_t>(p.y) - JobMinY), writer.UseFront, writer.UseBack,
                               writer.UseSide);
    };

    struct Visit {
        int32_t figure;
        std::vector<CutVisitStep> steps;
        size_t next = 0;
    };
    const CutVisitRules rules{SingleOpenFigure != 0, serial, TwoProfile != 0};
    auto plan = [&](int32_t fi) {
        Visit visit{fi, {}};
        if (visited[static_cast<size_t>(fi)])
            return visit;
        visited[static_cast<size_t>(fi)] = 1;
        writer.WritePause(cornerPause);  // the entry dwell of every visit
        tfigura& f = *FigureList[static_cast<size_t>(fi)];
        std::vector<TFigPoint>& pts = pointsOf(f);
        std::vector<std::pair<int32_t, int32_t>> hanging;
        for (int32_t g : children[static_cast<size_t>(fi)])
            hanging.push_back({FigureList[static_cast<size_t>(g)]->ConnParentVertex, g});
        CutVisit cut = PlanCutVisit(pts, f.Closed != 0, f.EntryVertex, hanging, rules);
        // A figure cut from its last vertex is turned round for good, so that
        // the file and the figure agree; what hangs at it moves with its vertex.
        if (cut.reversed) {
            const auto n = static_cast<int32_t>(pts.size()) - 1;
            OdwrocKierunek(f);
            f.EntryVertex = 0;
            for (int32_t g : children[static_cast<size_t>(fi)])
                FigureList[static_cast<size_t>(g)]->ConnParentVertex = n - FigureList[static_cast<size_t>(g)]->ConnParentVertex;
        }
        visit.steps = std::move(cut.steps);
        return visit;
    };

    std::vector<Visit> stack;
    stack.push_back(plan(root));
    while (!stack.empty()) {
        Visit& top = stack.back();
        if (top.next >= top.steps.size()) {
            stack.pop_back();
            continue;
        }
        const CutVisitStep s = top.steps[top.next++];
        if (s.child) {
            stack.push_back(plan(s.value));
            continue;
        }
        const tfigura& f = *FigureList[static_cast<size_t>(top.figure)];
        const int32_t v = s.value;
        if (top.figure == StartFigure && !CutStartFigure)
            continue;
        if (!f.Closed && !dwellWritten && v == 0)
            writer.WritePause(cornerPause);
        moveTo(f, v);
        dwellWritten = sharp(f, v);
        if (dwellWritten)
            writer.WritePause(cornerPause);
    }
}

// Turning and rotary cutting: every figure that may be oriented, in list order,
// written in passes as the feed direction and the number of passes say.
void TJob::WriteTurningOrRotary(Thpgl& writer, int32_t first, int32_t last, bool turning)
{
    const TDlgkonfigModel& s = Settings();
    const int catDir = s.CatDir();
    const int32_t type = JobFileMode;
    auto resetForward = [&] { return catDir == 0 || catDir == 2; };
    bool forward = resetForward();
    TFigPoint ref{0, 0};
    if (type == 30)
        ref = {0, MmToSteps(AxisOffsetY)};
    else if (type == 301)
        ref = {MmToSteps(AxisOffsetY), 0};
    double angle = 0;
    const double steps = s.Value("ilosckrokow");
    auto sign = [&] { return s.ItemIndex("KierunekObrotow") == 1 ? -1 : 1; };
    auto writeForward = [&](tfigura& f, int dir) { writer.WritePath(f, dir, angle, angle); };
    auto writeBackward = [&](tfigura& f, int dir) {
        OdwrocKierunek(f);
        if (s.Checked("dopasujKierunek"))
            dir = -dir;
        try {
            writer.WritePath(f, dir, angle, angle);
        } catch (...) {
            OdwrocKierunek(f);
            throw;
        }
        OdwrocKierunek(f);
    };
    auto advance = [&] {
        if (catDir == 0)
            forward = true;
        else if (catDir == 1)
            forward = false;
        else
            forward = !forward;
    };
    first = std::max(0, first);
    last = std::min(last, static_cast<int32_t>(FigureList.size()) - 1);
    for (int32_t i = first; i <= last; ++i) {
        tfigura& f = *FigureList[static_cast<size_t>(i)];
        if (!f.MayOrient || (turning && f.OrderId == 0))
            continue;
        if (steps > 1) {
            forward = resetForward();
            const int32_t passes = static_cast<int32_t>(RoundToInt64Sat(steps));
            for (int32_t k = 1; k <= passes; ++k) {
                const int dir = sign();
                if (catDir == 0) {
                    angle = static_cast<double>(k - 1) / passes;
                    writeForward(f, dir);
                } else if (catDir == 1) {
                    angle = static_cast<double>(k - 1) / passes;
                    writeBackward(f, dir);
                } else if (forward) {
                    angle = static_cast<double>(k - 1) / passes;
                    writeForward(f, dir);
                } else {
                    angle += 1.0 / passes;
                    writeBackward(f, dir);
                }
                advance();
                if (!turning && k < passes)
                    writer.WriteHold();
            }
            advance();
            continue;
        }
        const int dir = sign();
        if (catDir == 0) {
            writeForward(f, dir);
        } else if (catDir == 1) {
            writeBackward(f, dir);
        } else if (!f.Points.empty()) {
            const double d0 = Distance(ref, f.Points.front()), d1 = Distance(ref, f.Points.back());
            if (d1 >= d0) {
                writeForward(f, dir);
                ref = f.Points.back();
            } else {
                writeBackward(f, dir);
                ref = f.Points.front();
            }
        }
    }
}

bool TJob::Save_toczenie_wrzeciono(const QString& fileName, int32_t first, int32_t last)
{
    return Save(fileName, true, -1, [&](Thpgl& w) { WriteTurningOrRotary(w, first, last, true); });
}

bool TJob::Save_toczenie_stolik(const QString& fileName, int32_t first, int32_t last)
{
    return Save(fileName, true, -1, [&](Thpgl& w) { WriteTurningOrRotary(w, first, last, true); });
}

bool TJob::Save_ciecie_obrotowe(const QString& fileName, int32_t first, int32_t last)
{
    return Save(fileName, true, -1, [&](Thpgl& w) { WriteTurningOrRotary(w, first, last, false); });
}

bool TJob::save_ciecie_seryjne_wrzeciono(const QString& fileName, int32_t first, int32_t sign, double turn, int32_t last)
{
    return Save(fileName, true, -1, [&](Thpgl& w) {
        // The piece starts where the one before it ended (positions in the
        // axes' own steps).
        // Taken over as they are: a trip through millimetres and job steps
        // would lose a fraction on every piece, and the pieces would drift.
        w.SetStartPosition(0, 0, 0);
        w.AxisPositions[Thpgl::FrontX] = w.AxisPositions[Thpgl::BackX] = SerialPosition[Thpgl::FrontX];
        w.AxisPositions[Thpgl::FrontY] = w.AxisPositions[Thpgl::BackY] = SerialPosition[Thpgl::FrontY];
        double angle = 0;
        for (int32_t i = std::max(0, first); i <= last && i < static_cast<int32_t>(FigureList.size()); ++i) {
            tfigura& f = *FigureList[static_cast<size_t>(i)];
            if (f.MayOrient)
                w.WritePath(f, sign, angle, angle);
        }
        w.WriteSideMove(turn, 0);
        SerialPosition = w.AxisPositions;
    });
}
