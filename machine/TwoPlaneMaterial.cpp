#include "machine/TwoPlaneMaterial.h"

#include "app/Globals.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"
#include "machine/MachineOperations.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"

#include <algorithm>
#include <cmath>

double MaterialWidth = -1.0;
double MaterialFrontOffset = -1.0;

namespace {
QString Text(const char* key) { return Tr("Independent_start_dialog", key); }

int32_t LinearSteps(double mm, double stepsPerUnit)
{
    int32_t steps = 0;
    if (!RoundToInt32(mm * 100.0 * stepsPerUnit, steps))
        steps = mm < 0 ? INT32_MIN : INT32_MAX;
    return steps;
}

double Hundredths(double mm) { return RoundEven(mm * 100.0) / 100.0; }
}  // namespace

void ProjectToMachinePlanes(const TPoint3& p, const TPoint3& q, double w, TPoint3& a, TPoint3& b)
{
    const double dz = q.z - p.z;
    auto along = [&](double t) { return TPoint3{p.x - t * (q.x - p.x), p.y - t * (q.y - p.y), p.z - t * dz}; };
    a = along(p.z / dz);
    b = along((p.z - w) / dz);
}

bool IsMergedTwoProfileJob(const TJob& job)
{
    return job.TwoProfile && job.FigureList.size() >= 2 && !job.FigureList[0]->Points.empty() &&
           job.FigureList[0]->Points.size() == job.FigureList[1]->Points.size();
}

QString WorkAreaValue(double mm)
{
    switch (CurrentLengthUnit) {
    case 1:
        return FloatToStrF(MmToUnit(1, mm), ffFixed, 8, 3) + " [inch]";
    case 2:
        return FloatToStrF(MmToUnit(2, mm), ffFixed, 8, 3) + " [feet]";
    default:
        return FloatToStrF(mm, ffFixed, 8, 2) + " [mm]";
    }
}

TwoPlaneMaterial::TwoPlaneMaterial(Machine& machine, const TDlgkonfigModel& settings, TJob& job,
                                   std::function<void(bool)> busyCursor)
    : m_machine(machine), m_settings(settings), m_job(job), m_busy(std::move(busyCursor))
{
}

bool TwoPlaneMaterial::CheckMaterial(double width, double distance) const
{
    const char* refusal = nullptr;
    if (width <= 0)
        refusal = "PodajSzerMat";
    else if (width > MachineWidth)
        refusal = "MaterialZaSzeroki";
    else if (distance + width > MachineWidth)
        refusal = "MaterialPozaMaszyna";
    if (refusal)
        ShowMessageBox(Text(refusal), true);
    return refusal == nullptr;
}

bool TwoPlaneMaterial::btnDalejClick(double width, double distance)
{
    if (!CheckMaterial(width, distance))
        return false;
    // Nothing past a figure's points: only a merged pair is projected.
    if (!IsMergedTwoProfileJob(m_job)) {
        ShowMessageBox(Tr("Main_window", "RoiloscFigurJednakowa"), true);
        return false;
    }
    MaterialWidth = width;
    MaterialFrontOffset = distance;
    tfigura& front = *m_job.FigureList[0];
    tfigura& back = *m_job.FigureList[1];
    front.SecondProfile.clear();
    back.SecondProfile.clear();
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    auto track = [&](const TPoint3& p) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    };
    for (size_t i = 0; i < front.Points.size(); ++i) {
        const TPoint3 p{StepsToMm(front.Points[i].x), StepsToMm(front.Points[i].y), distance};
        const TPoint3 q{StepsToMm(back.Points[i].x), StepsToMm(back.Points[i].y), distance + width};
        TPoint3 a, b;
        ProjectToMachinePlanes(p, q, MachineWidth, a, b);
        front.SecondProfile.push_back({MmToSteps(a.x), MmToSteps(a.y)});
        back.SecondProfile.push_back({MmToSteps(b.x), MmToSteps(b.y)});
        track(a);
        track(b);
    }
    return CheckWorkArea(Hundredths(maxY), Hundredths(minY), Hundredths(maxX), Hundredths(minX));
}

bool TwoPlaneMaterial::CheckWorkArea(double maxY, double minY, double maxX, double minX)
{
    const double w = maxX - minX, h = maxY - minY;
    if (w > FrontLimitX || h > FrontLimitY) {
        ShowMessageBox(Text("ruchRamionPozaObszRob") + "\r\n" + Text("WyliczonaSzerFig") + "\r\nx = " +
                           WorkAreaValue(w) + "\r\ny = " + WorkAreaValue(h),
                       true);
        return false;
    }
    const tfigura* origin = m_job.FigureList.empty() ? nullptr : m_job.FigureList[0].get();
    const double ox = origin ? StepsToMm(origin->OriginX) : 0.0, oy = origin ? StepsToMm(origin->OriginY) : 0.0;
    // The fit and the hot move are both measured from here.
    if (!ReadPositionsForMove(m_machine))
        return false;
    const double fx = PlotState.FrontX / 100.0, fy = PlotState.FrontY / 100.0;
    const double bx = PlotState.BackX / 100.0, by = PlotState.BackY / 100.0;
    if (minX + std::min(bx, fx) - ox >= 0 && maxX + std::max(bx, fx) - ox <= FrontLimitX &&
        minY + std::min(by, fy) - oy >= 0 && maxY + std::max(by, fy) - oy <= FrontLimitY)
        return true;
    // The merge leaves the paths at or left of the origin: this is the
    // leftmost and lowest point from which both fit.
    const double x = std::fabs(std::trunc(minX - ox)) + 1, y = std::fabs(std::trunc(minY - oy)) + 1;
    const QString question = Text("CiecieNiemozliweRamionaPozaObsz") + "\r\n" + Text("MinLewaPozMat") + "\r\nx = " +
                             WorkAreaValue(x) + "\r\ny = " + WorkAreaValue(y) + "\r\n" + Text("CzyPrzesunacDrut");
    // The wires may have moved while the question waited: measured again.
    if (Ask(question, MessageButtons::YesCancel) == mrYes && ReadStatusOrRefuse(m_machine) &&
        ReadPositionsForMove(m_machine))
        PreMoveWires(x, y);
    return false;
}

void TwoPlaneMaterial::PreMoveWires(double x, double y)
{
    const double fx = PlotState.FrontX / 100.0, fy = PlotState.FrontY / 100.0;
    const double bx = PlotState.BackX / 100.0, by = PlotState.BackY / 100.0;
    const double dfx = x - fx, dfy = y - fy, dbx = x - bx, dby = y - by;
    if (dfx == 0 && dfy == 0 && dbx == 0 && dby == 0)
        return;
    // The wires come down to the material's corner: not onto the side wire.
    if (!WiresStayAboveSideWire(m_machine, y, y, std::nullopt))
        return;
    if (m_busy)
        m_busy(true);
    // A cold wire is not dragged through the material: without the heater
    // nothing moves.
    if (SendCommand(m_machine, Bytes({'R', 1, 2}))) {
        m_heaterOn = true;
        m_machine.Clock().Sleep(static_cast<int>(std::clamp(RoundEven(m_settings.Value("Pauza_w_kacie")), 0.0, 2e9)));
        WaitHeatUp(m_machine);
        int64_t length = 0;
        const QByteArray move =
            BuildMove4('A', SpeedDivisor, LinearSteps(dfx, StepsPerUnitX), LinearSteps(dbx, StepsPerUnitX),
                       LinearSteps(dfy, StepsPerUnitY), LinearSteps(dby, StepsPerUnitY), 0, 0, 0, 0, length);
        // The dialog comes back once the wires stand there: a Start pressed
        // meanwhile would measure them on the way.
        if (length > 0 && SendCommand(m_machine, move) && !WaitWhileBusy(m_machine)) {
            RefuseLostLink(m_machine, QString(), 2);
            m_heaterOn = false;
        }
    }
    if (m_busy)
        m_busy(false);
}

void TwoPlaneMaterial::Closed(bool confirmed)
{
    // No cut follows: the wire must not stand hot in the material.
    if (!confirmed && m_heaterOn && SendCommand(m_machine, Bytes({'R', 0, 2})))
        m_heaterOn = false;
}
