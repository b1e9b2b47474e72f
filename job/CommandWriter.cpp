// The writing side of Thpgl: the machine command file "out.cn".
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "job/Job.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"
#include "machine/WireSelection.h"

#include <QFile>
#include <cmath>
#include <limits>
#include <numbers>

const double Thpgl::Keep = std::numeric_limits<double>::quiet_NaN();

namespace {
constexpr qsizetype kFlushAt = 1 << 18;

const TDlgkonfigModel& S() { return Settings(); }

double AxisFactor(int slot)
{
    switch (slot) {
    case Thpgl::FrontX:
    case Thpgl::BackX:
        return StepsPerUnitX;
    case Thpgl::FrontY:
    case Thpgl::BackY:
        return StepsPerUnitY;
    case Thpgl::AxisZ:
        return StepsPerUnitZ;
    case Thpgl::SideX:
        return SideStepsPerUnitX;
    case Thpgl::SideY:
        return SideStepsPerUnitY;
    default:
        return 1.0;
    }
}


int32_t RoundMul(double a, double b) { return Clamp32(RoundToInt64Sat(a * b)); }

int32_t Scaled(int32_t steps) { return Clamp32(RoundToInt64Sat(S().Skala() * steps / 100.0)); }
}  // namespace

// ---- parameters of the selected wire set ----

double Thpgl::CutSpeed() const
{
    if (UseSide)
        return S().Value("szybkoscObrobkiBok");
    if (UseFront || UseBack)
        return S().Value("szybkoscObrobki");
    return S().At("szybkoscObrobki").minValue;
}

double Thpgl::WorkPower() const
{
    if (UseSide)
        return S().Value("work_power_Bok");
    if (UseFront || UseBack)
        return S().Value("work_power");
    return S().At("work_power").minValue;
}

double Thpgl::HeatingTime() const
{
    if (UseSide)
        return S().Value("CzasRozgrzewaniaBok");
    if (UseFront || UseBack)
        return S().Value("CzasRozgrzewania");
    return S().At("CzasRozgrzewania").minValue;
}

double Thpgl::CornerPause() const
{
    if (UseSide && S().Mode() != 2)
        return S().Value("Pauza_w_kacie_Bok");
    return S().Value("Pauza_w_kacie");
}

uint8_t Thpgl::ScalePower(double amperes)
{
    // The byte holds tenths of an ampere; more than it holds is its largest value.
    return static_cast<uint8_t>(std::clamp<int64_t>(RoundToInt64Sat(amperes * 10.0), 0, 255));
}

// ---- output ----

void Thpgl::Write(const QByteArray& bytes)
{
    if (!m_out || m_out->Failed())
        return;
    m_outBuffer.append(bytes);
    if (m_outBuffer.size() < kFlushAt)
        return;
    m_out->Write(m_outBuffer);
    m_outBuffer.resize(0);  // keeps its room for the next block
}

void Thpgl::Emit(char letter, std::initializer_list<int> bytes)
{
    QByteArray c(1, letter);
    for (int b : bytes)
        c.append(static_cast<char>(b & 0xFF));
    Write(c);
}

void Thpgl::Speed(uint8_t slot, double mmPerMinute)
{
    const auto v = static_cast<uint16_t>(RoundToInt64Sat(mmPerMinute * SpeedDivisor) & 0xFFFF);
    Write(QByteArray(1, 'v') + QByteArray(1, static_cast<char>(slot)) + Int16ToBytes(static_cast<int16_t>(CutSpeedToPeriod(v))));
}

// A dwell as "p" commands: runs of 250 and the rest; the rest first or last.
void Thpgl::Dwell(int32_t count, bool restFirst, QByteArray& out) const
{
    int32_t n = std::max(0, count);
    int runs = 0;
    while (n > 250) {
        ++runs;
        n -= 250;
    }
    const QByteArray rest = QByteArray("p") + static_cast<char>(n);
    if (restFirst)
        out.append(rest);
    for (int i = 0; i < runs; ++i)
        out.append("p\xFA", 2);
    if (!restFirst)
        out.append(rest);
}

void Thpgl::WritePause(int32_t count)
{
    QByteArray out;
    Dwell(count, false, out);
    Write(out);
}

// Positions are kept in the axis's own steps, start positions included, so a
// move measured from them goes exactly where it is meant to.
int32_t Thpgl::Target(int slot, double mm) const { return RoundMul(AxisFactor(slot) * mm, 100.0); }

bool Thpgl::BeginOutput(const QString& fileName)
{
    const int32_t type = JobFileMode;
    AxisPositions.fill(0);
    const double entry = Job ? Job->DajPoz1szegoWjazduWmat() : 0.0;
    if (type == 30) {
        AxisPositions[FrontX] = Target(FrontX, entry);
        AxisPositions[BackX] = Target(BackX, entry);
    } else if (type == 301) {
        AxisPositions[FrontY] = Target(FrontY, entry);
        AxisPositions[BackY] = Target(BackY, entry);
    }
    CornerHistory.fill(AxisPositions);
    // What the machine lets each axis carry, once for the whole file.
    m_axisRule = AxisRule::Current();
    m_turnsOnTable = UsesRemappedSideAxes();

    // No older file of that name may be sent in place of this job.
    m_out = std::make_unique<WholeFileWriter>(fileName, FailedWrite::RemovesOld);
    m_outBuffer.clear();
    m_outBuffer.reserve(kFlushAt + 4096);

    // The heater output goes to the machine at once; without a machine there
    // is nothing to tell.
    if (AttachedMachine && AttachedMachine->Connected()) {
        Machine& machine = *AttachedMachine;
        const int output = S().ItemIndex("PowerOutput");
        if (IsTwoWireModel()) {
            if (output == 0)
                SendPowerOutput(machine, WireSelection().KeyFront ? 0 : 5);
            else if (output == 1)
                SendPowerOutput(machine, 1);
        } else {
            SendPowerOutput(machine, output);
        }
    }

    switch (type) {
    case 30:
        HeaterChannel = 3;
        AxisPositions[FrontY] = Target(FrontY, AxisOffsetY);
        AxisPositions[BackY] = Target(BackY, AxisOffsetY);
        break;
    case 301:
        HeaterChannel = 3;
        AxisPositions[FrontX] = Target(FrontX, AxisOffsetX);
        AxisPositions[BackX] = Target(BackX, AxisOffsetX);
        break;
    case 31:
        HeaterChannel = 1;
        AxisPositions[FrontY] = Target(FrontY, AxisOffsetY);
        AxisPositions[BackY] = Target(BackY, AxisOffsetY);
        break;
    case 311:
        HeaterChannel = 1;
        AxisPositions[FrontY] = Target(FrontY, AxisOffsetY);
        AxisPositions[BackY] = Target(BackY, AxisOffsetY);
        AxisPositions[FrontX] = Target(FrontX, AxisOffsetX);
        AxisPositions[BackX] = Target(BackX, AxisOffsetX);
        break;
    case 32:
        HeaterChannel = S().ItemIndex("PowerOutput") == 1 ? 3 : 1;
        break;
    default:
        HeaterChannel = 1;
        break;
    }
    Header();
    HeatDwellPending = true;
    if (m_out->Failed()) {
        ReportWrite(m_out->Result());
        m_out.reset();
        return false;
    }
    return true;
}

void Thpgl::Header()
{
    const int32_t type = JobFileMode;
    const uint8_t power = ScalePower(WorkPower());
    Speed(0, S().Value("PrzeSpeed"));
    Speed(1, CutSpeed());
    switch (type) {
    case 30:
    case 301:
        Emit('t', {3, power});
        Emit('r', {1, 3});
        break;
    case 31:
    case 311:
        Emit('t', {1, power});
        Emit('r', {1, 1});
        break;
    case 33:
        Emit('t', {1, power});
        Emit('r', {1, 1});
        Emit('f', {1});
        break;
    default:
        Emit('t', {HeaterChannel, power});
        Emit('r', {1, HeaterChannel});
        Emit('p', {1});
        Emit('f', {1});
        WritePause(static_cast<int32_t>(RoundToInt64Sat(HeatingTime())));
        break;
    }
}

QByteArray Thpgl::Move(double frontX, double backX, double frontY, double backY, double tableTurn, double spindleTurn,
                       double axisZ, double thirdTurn, double sideX, double sideY)
{
    QByteArray out;
    MoveInto(out, frontX, backX, frontY, backY, tableTurn, spindleTurn, axisZ, thirdTurn, sideX, sideY);
    return out;
}

bool Thpgl::MoveInto(QByteArray& out, double frontX, double backX, double frontY, double backY, double tableTurn,
                     double spindleTurn, double axisZ, double thirdTurn, double sideX, double sideY)
{
    const double absolute[10] = {frontX, frontY, axisZ, 0, backX, backY, 0, 0, sideX, sideY};
    Axes delta{};
    for (int slot : {FrontX, FrontY, AxisZ, BackX, BackY, SideX, SideY}) {
        const double target = absolute[slot];
        delta[slot] = std::isnan(target) ? 0 : Clamp32(static_cast<int64_t>(Target(slot, target)) - AxisPositions[slot]);
    }
    delta[TableTurn] = RoundMul(tableTurn, StepsPerTurn2);
    delta[SpindleTurn] = RoundMul(spindleTurn, StepsPerTurn1);
    delta[ThirdTurn] = RoundMul(thirdTurn, StepsPerTurn3);
    if (m_turnsOnTable) {
        delta[SpindleTurn] = 0;
        delta[TableTurn] = RoundMul(spindleTurn != 0 ? spindleTurn : tableTurn, StepsPerTurn2);
    }
    int64_t length = 0;
    char records[kMaxMoveBytes];
    const int used = BuildMove10Into(records, m_axisRule, 'a', SpeedDivisor, delta[FrontX], delta[BackX],
                                     delta[FrontY], delta[BackY], delta[TableTurn], delta[SpindleTurn], delta[AxisZ],
                                     delta[ThirdTurn], delta[SideX], delta[SideY], length);
    if (length < 1 || used == 0)
        return false;
    for (size_t s = 0; s < 10; ++s)
        AxisPositions[s] = Clamp32(static_cast<int64_t>(AxisPositions[s]) + delta[s]);
    CornerHistory[0] = CornerHistory[1];
    CornerHistory[1] = CornerHistory[2];
    CornerHistory[2] = AxisPositions;
    if (CornerCosine(CornerHistory[0], CornerHistory[1], CornerHistory[2]) <= 0.87)
        Dwell(static_cast<int32_t>(RoundToInt64Sat(CornerPause())), true, out);
    out.append(records, used);
    return true;
}

void Thpgl::SetStartPosition(int32_t x, int32_t y, int32_t turn)
{
    const double mx = StepsToMm(x), my = StepsToMm(y);
    if (UseSide) {
        AxisPositions[FrontX] = AxisPositions[BackX] = AxisPositions[FrontY] = AxisPositions[BackY] = 0;
        AxisPositions[SideX] = Target(SideX, mx);
        AxisPositions[SideY] = Target(SideY, my);
    } else {
        AxisPositions[FrontX] = Target(FrontX, mx);
        AxisPositions[BackX] = Target(BackX, mx);
        AxisPositions[FrontY] = Target(FrontY, my);
        AxisPositions[BackY] = Target(BackY, my);
        AxisPositions[SideX] = AxisPositions[SideY] = 0;
    }
    AxisPositions[TableTurn] = AxisPositions[SpindleTurn] = turn;
    AxisPositions[ThirdTurn] = AxisPositions[AxisZ] = 0;
}

void Thpgl::WriteScaledMove(int32_t x, int32_t y, bool front, bool back, bool side)
{
    const double mx = StepsToMm(Scaled(x)), my = StepsToMm(Scaled(y));
    // Every selected carriage goes to the point in the one move; the others
    // stay where they are (a carriage that is not cutting must not be dragged
    // towards the job's corner while the other cuts).
    if (!m_out || m_out->Failed())
        return;
    if (MoveInto(m_outBuffer, front ? mx : Keep, back ? mx : Keep, front ? my : Keep, back ? my : Keep, 0, 0, 0, 0,
                 side ? mx : Keep, side ? my : Keep))
        Write(QByteArray());
}

void Thpgl::WriteScaledMove4(int32_t frontX, int32_t frontY, int32_t backX, int32_t backY)
{
    Write(Move(StepsToMm(Scaled(frontX)), StepsToMm(Scaled(backX)), StepsToMm(Scaled(frontY)), StepsToMm(Scaled(backY)),
               0, 0, 0, 0, 0, 0));
}

void Thpgl::WriteHold()
{
    if (!S().Checked("Wstrzymaj"))
        return;
    Emit('p', {1});
    Emit('r', {0, 2});
    Emit('p', {1});
    Write(QByteArray("s\x03", 2) + Int32ToBytes(0));
    HeatDwellPending = true;
}

void Thpgl::WriteSideMove(double spindleTurns, double tableTurns)
{
    if (S().Checked("Heavy") && (spindleTurns != 0 || tableTurns != 0)) {
        Emit('p', {1});
        Write(QByteArray("s\x02", 2) + Int32ToBytes(1));
    }
    // The axes turn in place: the side carriage stays as well.
    Write(Move(Keep, Keep, Keep, Keep, tableTurns, spindleTurns, 0, 0, Keep, Keep));
}

void Thpgl::AbortOutput()
{
    if (!m_out)
        return;
    const QString name = m_out->Path();
    m_out.reset();
    m_outBuffer.clear();
    QFile::remove(name);  // no older file of this name may stand in for the job
}

bool Thpgl::EndOutput()
{
    const int32_t type = JobFileMode;
    ShowControlPanel = false;
    switch (type) {
    case 30:
    case 301:
        Emit('p', {1});
        Emit('r', {0, 2});
        break;
    case 31:
    case 311:
        Emit('p', {1});
        Emit('r', {0, HeaterChannel});
        break;
    case 33:
        if (Job && LastSerialIndex >= 0 && Job->SerialIndex == LastSerialIndex && CutOffModel) {
            const double h = StepsToMm(static_cast<double>(RoundToInt64Sat(S().Skala() * Job->JobWidth / 100.0 / 2.0)));
            double d = std::max(h, S().Value("Srednicamaterialu") / 2.0) + h;
            if (Job->SerialIndex % 2 != 0)
                d = -d;
            Write(Move(d, d, 0, 0, 0, 0, 0, 0, 0, 0));
        }
        Emit('p', {1});
        Emit('r', {0, 2});
        break;
    default: {
        if (IsTwoWireModel() && S().Checked("MoveAfter") && S().Mode() != 5) {
            const double pfx = PlotState.FrontX / 100.0, pfy = PlotState.FrontY / 100.0;
            const double pbx = PlotState.BackX / 100.0, pby = PlotState.BackY / 100.0;
            const double psx = PlotState.SideX / 100.0, psy = PlotState.SideY / 100.0;
            if (UseFront || UseBack) {
                const double upF = FrontLimitY - pfy, upB = FrontLimitY - pby;
                Emit('p', {1});
                Emit('f', {1});
                Write(Move(-pfx, -pbx, 0, 0, 0, 0, 0, 0, 0, 0));
                Emit('p', {1});
                Emit('f', {0});
                Write(Move(-pfx, -pbx, upF, upB, 0, 0, 0, 0, 0, 0));
                Emit('p', {1});
                Write(QByteArray("s\x04", 2) + Int32ToBytes(5));
                if (PlotState.SideY < 0)
                    Write(Move(-pfx, -pbx, upF, upB, 0, 0, 0, 0, 0, 10));
                Emit('p', {1});
                Emit('f', {1});
                Write(Move(-pfx, -pbx, upF, upB, 0, 0, 0, 0, 0, FrontStartPoint.y - psy));
            }
            if (UseSide) {
                Emit('p', {1});
                Emit('f', {1});
                Write(Move(0, 0, 0, 0, 0, 0, 0, 0, -psx, 0));
                Emit('p', {1});
                Emit('f', {0});
                Write(Move(0, 0, 0, 0, 0, 0, 0, 0, -psx, -psy - 10));
                Write(QByteArray("s\x04", 2) + Int32ToBytes(0));
                Emit('p', {1});
                Emit('f', {0});
                Write(Move(0, 0, SideStartPoint.y - pfy, SideStartPoint.y - pby, 0, 0, 0, 0, -psx, -psy - 10));
            }
            ShowControlPanel = true;
        }
        Emit('p', {1});
        Emit('r', {0, HeaterChannel});
        break;
    }
    }
    if (!m_out)
        return false;
    m_out->Write(m_outBuffer);
    m_outBuffer.clear();
    const WriteResult result = m_out->Commit();
    m_out.reset();
    return ReportWrite(result);
}

// One figure of a turning (30, 301) or rotary (31, 311) job: the wire follows
// the figure while the rotary axis turns with the feed.
void Thpgl::WritePath(const tfigura& f, int direction, double& endFraction, double startFraction)
{
    const int32_t type = JobFileMode;
    const bool turning = type == 30 || type == 301;
    const bool spindle = type == 30 || type == 31;  // horizontal axis: feed along X, radius in Y
    // The turn slot: the spindle's, or the table's (also for the spindle on the
    // model whose side wire uses the back carriage's axes).
    const bool tableSlot = !spindle || m_turnsOnTable;
    const int slot = tableSlot ? TableTurn : SpindleTurn;
    const int32_t perTurn = tableSlot ? StepsPerTurn2 : StepsPerTurn1;
    if (f.Points.size() < 2)
        return;
    if (perTurn == 0)
        throw Refused(Refused::Reason::NoStepsPerTurn);

    const double skala = S().Skala();
    const double passes = S().Value("il_obr_rys");
    const int32_t axisLength = spindle ? f.AxisWidth : f.AxisHeight;
    const double scaledAxis = StepsToMm(static_cast<double>(RoundToInt64Sat(skala * axisLength / 100.0)));
    double pitch = -1;
    if (turning && passes != 0) {
        if (scaledAxis == 0)
            throw Refused(Refused::Reason::NoAxisLength);
        pitch = scaledAxis / passes;
    }
    if (!turning && scaledAxis == 0)
        throw Refused(Refused::Reason::NoAxisLength);

    auto point = [&](size_t i, int32_t& X, int32_t& Y, double& radius) {
        const int32_t sx = Scaled(f.Points[i].x), sy = Scaled(f.Points[i].y);
        radius = std::fabs(StepsToMm(spindle ? sy : sx));
        X = sx;
        Y = sy;
        if (type == 30) {
            Y = Clamp32(static_cast<int64_t>(sy) + MmToSteps(S().Value("Ywrzeciona")) - MmToSteps(S().Value("Ynarzedzia")));
        } else if (type == 301) {
            X = Clamp32(static_cast<int64_t>(sx) + MmToSteps(S().Value("Xstolika")) - MmToSteps(S().Value("Xnarzedzia")));
        } else if (type == 31) {
            X = Clamp32(static_cast<int64_t>(sx) + MmToSteps(S().Value("Xwrzeciona")));
            Y = Clamp32(static_cast<int64_t>(sy) + MmToSteps(S().Value("Ywrzeciona")));
        } else {
            X = Clamp32(static_cast<int64_t>(sx) + MmToSteps(S().Value("Xstolika")));
            Y = Clamp32(static_cast<int64_t>(sy) + MmToSteps(S().Value("Ystolika")));
        }
    };
    // A move of both carriages that turns the rotary axis by `turns`.
    auto turnMove = [&](double fx, double fy, double turns) {
        return Move(fx, fx, fy, fy, tableSlot ? turns : 0, tableSlot ? 0 : turns, 0, 0, 0, 0);
    };
    auto heavy = [&] {
        if (S().Checked("Heavy"))
            Write(QByteArray("s\x02", 2) + Int32ToBytes(1));
    };
    auto speed = [&](double v) {
        v = std::clamp(v, 20.0, static_cast<double>(MaxCutSpeed));
        Speed(1, v);
    };

    int32_t X = 0, Y = 0;
    double radius = 0;
    point(0, X, Y, radius);
    if (type != 311)
        Emit('f', {0});

    const int32_t n = AxisPositions[static_cast<size_t>(slot)] % perTurn;
    double j = startFraction + static_cast<double>(perTurn - n) / perTurn;
    if (j >= 1)
        j -= 1;
    if (j > 0.5)
        j -= 1;

    const double x = StepsToMm(X), y = StepsToMm(Y);
    if (spindle) {
        Write(Move(x, x, Keep, Keep, 0, 0, 0, 0, 0, 0));
        Write(Move(x, x, AxisOffsetY, AxisOffsetY, 0, 0, 0, 0, 0, 0));
    } else {
        Write(Move(Keep, Keep, y, y, 0, 0, 0, 0, 0, 0));
        Write(Move(AxisOffsetX, AxisOffsetX, y, y, 0, 0, 0, 0, 0, 0));
    }
    if (j != 0) {
        Emit('p', {1});
        heavy();
        if (type == 311)
            Write(turnMove(AxisOffsetX, y, j));
        else if (spindle)
            Write(Move(x, x, Keep, Keep, tableSlot ? j : 0, tableSlot ? 0 : j, 0, 0, 0, 0));
        else
            Write(Move(Keep, Keep, y, y, tableSlot ? j : 0, tableSlot ? 0 : j, 0, 0, 0, 0));
    }
    auto heatDwell = [&] {
        if (HeatDwellPending) {
            WritePause(static_cast<int32_t>(RoundToInt64Sat(HeatingTime())));
            HeatDwellPending = false;
        }
    };
    if (turning) {
        Emit('p', {1});
        Emit('f', {1});
        Emit('p', {1});
        Emit('r', {1, HeaterChannel});
        heatDwell();
        Emit('p', {1});
        Write(turnMove(x, y, 0));
        if (type == 301)
            Emit('p', {1});
    } else {
        Emit('p', {1});
        Emit('r', {1, HeaterChannel});
        heatDwell();
        Emit('p', {1});
        Emit('f', {1});
        Write(turnMove(x, y, 0));
    }

    const double sv = spindle ? StepsPerTurn1 : StepsPerTurn2;
    for (size_t i = 1; i < f.Points.size(); ++i) {
        const int32_t X0 = X, Y0 = Y;
        point(i, X, Y, radius);
        const double dX = StepsToMm(std::fabs(static_cast<double>(X0) - X));
        const double dY = StepsToMm(std::fabs(static_cast<double>(Y0) - Y));
        const double px = StepsToMm(X), py = StepsToMm(Y);
        if (turning) {
            const double w = pitch != -1 ? (spindle ? dX : dY) / pitch : 0;
            const double l = std::sqrt(std::pow(2 * std::numbers::pi * radius * w, 2) + dX * dX + dY * dY);
            const double t = l / CutSpeed();
            const double v = t > 0 ? Length3D(sv * w / 100, dY, dX) / t : 20;
            if (l > 0) {
                Write(turnMove(px, py, direction * w));
                speed(v);
            }
            if (i + 1 < f.Points.size()) {
                int32_t NX = 0, NY = 0;
                double nr = 0;
                point(i + 1, NX, NY, nr);
                const double q = CornerCosine3D({static_cast<double>(X0), static_cast<double>(Y0), 0},
                                                {static_cast<double>(X), static_cast<double>(Y), 0},
                                                {static_cast<double>(NX), static_cast<double>(NY), 0});
                if (q <= 0.87) {
                    const double w1 = pitch == -1 ? 0 : 1;
                    const double l1 = 2 * std::numbers::pi * radius * w1;
                    const double t1 = l1 / CutSpeed();
                    const double v1 = t1 > 0 ? Length3D(sv * w1 / 100, 0, 0) / t1 : 20;
                    if (l1 > 0) {
                        Emit('p', {1});
                        heavy();
                        Write(turnMove(px, py, direction * w1));
                        speed(v1);
                        Emit('p', {1});
                    }
                }
            }
        } else {
            const double w = passes * (spindle ? dX : dY) / scaledAxis;
            const double l = std::sqrt(dX * dX + dY * dY);
            if (l > 0)
                Write(turnMove(px, py, direction * w));
        }
    }

    const double lx = StepsToMm(X), ly = StepsToMm(Y);
    if (turning) {
        Emit('p', {1});
        Emit('f', {0});
        if (spindle)
            Write(Move(lx, lx, AxisOffsetY, AxisOffsetY, 0, 0, 0, 0, 0, 0));
        else
            Write(Move(AxisOffsetX, AxisOffsetX, ly, ly, 0, 0, 0, 0, 0, 0));
    } else if (spindle) {
        Write(Move(lx, lx, AxisOffsetY, AxisOffsetY, 0, 0, 0, 0, 0, 0));
        Emit('p', {1});
        Emit('f', {0});
    } else {
        Write(Move(AxisOffsetX, AxisOffsetX, ly, ly, 0, 0, 0, 0, 0, 0));
        Emit('p', {1});
    }
    endFraction = static_cast<double>(AxisPositions[static_cast<size_t>(slot)] % perTurn) / perTurn;
}
