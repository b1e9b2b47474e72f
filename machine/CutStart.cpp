#include "machine/CutStart.h"

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "app/WholeFile.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "job/Job.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/JobState.h"
#include "machine/MachineConstants.h"
#include "machine/MachineState.h"
#include "machine/MoveCommands.h"

#include <QFile>
#include <algorithm>

namespace {
// A job length in steps as it is cut: scaled, in mm.
double Scaled(const TDlgkonfigModel& settings, int32_t steps)
{
    return StepsToMm(RoundEven(static_cast<double>(steps) * settings.Skala() / 100.0));
}

void Refuse(const char* section, const char* key) { ShowMessageBox(Tr(section, key), true); }

// The wire's height above the spindle axis in whole hundredths of a
// millimetre: a difference of doubles would make 0.05 mm read as more at
// some heights.
int64_t HundredthsAboveSpindle(int32_t frontY, double spindleY) { return frontY - RoundToInt64Sat(spindleY * 100.0); }

// Restores the job type code however the save ends.
class JobFileModeKeeper {
public:
    JobFileModeKeeper() : m_saved(JobFileMode) {}
    ~JobFileModeKeeper() { JobFileMode = m_saved; }
    JobFileModeKeeper(const JobFileModeKeeper&) = delete;
    JobFileModeKeeper& operator=(const JobFileModeKeeper&) = delete;

private:
    int32_t m_saved;
};
}  // namespace

QByteArray PositioningSpeedCommand(const TDlgkonfigModel& settings)
{
    const auto v = static_cast<uint16_t>(RoundToInt64Sat(settings.Value("PrzeSpeed") * SpeedDivisor) & 0xFFFF);
    return Bytes({'V', 0}) + Int16ToBytes(static_cast<int16_t>(CutSpeedToPeriod(v)));
}

CutStart::CutStart(Machine& machine, const TDlgkonfigModel& settings, TsterModel& wires,
                   MachineOperations& operations, Transmission& transmission, CutStartHooks hooks)
    : m_machine(machine), m_settings(settings), m_wires(wires), m_ops(operations), m_transmission(transmission),
      m_hooks(std::move(hooks))
{
}

bool CutStart::TestRun()
{
    const QStringList& p = CommandLineParameters();
    return !p.isEmpty() && p.first() == QLatin1String("test");
}

QString CutStart::OutFile() const { return ProgramDir + "out.cn"; }

bool CutStart::CheckBeforeCut(TJob& job)
{
    const bool test = TestRun();
    const bool read = ReadStatus(m_machine);
    if (read) {
        IdentifyMachine(m_machine);
        // Without a machine a failed send would only add a box to the one below.
        SendCommand(m_machine, PositioningSpeedCommand(m_settings));
    }
    if (!test) {
        if (!read) {
            // Said here rather than nothing at all: START with the cable out
            // would otherwise look like a button that does not work.
            RefuseLostLink(m_machine);
            return false;
        }
        if (PlotState.JobWorking() && PlotState.WaitsForGo()) {
            // The controller still holds a job and may go on with it.
            if (SendCommand(m_machine, "G")) {
                JobRunning = true;
                m_jobGoesOn = true;
            }
            return false;
        }
    }
    if (m_transmission.Running())
        m_transmission.Stop();
    return CheckJobAndWire(job, test);
}

bool CutStart::CheckJobAndWire(TJob& job, bool test)
{
    const TDlgkonfigModel& s = m_settings;
    const int mode = s.Mode();
    const QString warning = Tr("Universal", "uwaga");
    if (mode == 4 && !SupportsIndependentCut()) {
        ShowMessageBox(Tr("Main_window", "RoniezalezneNiedostepne"), true, warning);
        return false;
    }
    if (mode == 5 && !IsTwoWireModel()) {
        ShowMessageBox(Tr("Main_window", "VePoprzeczneNiedostepne"), true, warning);
        return false;
    }
    if (!test && mode != 0 && mode != 4 && !PlotState.Homed()) {
        Refuse("Control", "wykonajBazowanie");
        return false;
    }
    // The working area and the wires' clearance are measured from here.
    if (!test && !ReadPositionsForMove(m_machine))
        return false;

    const bool front = m_wires.KeyFront, back = m_wires.KeyBack, side = m_wires.KeySide;
    if (IsTwoWireModel() && !front && !back && !side) {
        // No carriage to measure the job from: nothing is checked against an
        // undefined position.
        Refuse("Main_window", "brakWybranegoDrutu");
        return false;
    }
    double px = 0.0, py = 0.0;
    int32_t limitY = 0, limitX = 0;
    WorkAreaForWires(front, back, side, px, py, limitY, limitX);
    const double lx = limitX, ly = limitY;
    if (Scaled(s, job.JobWidth) > lx || Scaled(s, job.JobHeight) > ly) {
        Refuse("Main_window", "projektZaDuzy");
        return false;
    }
    if (mode == 5 && m_jobWindows != 2) {
        Refuse("Main_window", "wymagane2plt");
        return false;
    }

    QString direction;
    if ((mode == 0 || mode == 4) && job.StartFigure >= 0 &&
        job.StartFigure < static_cast<int32_t>(job.FigureList.size())) {
        tfigura& f = *job.FigureList[static_cast<size_t>(job.StartFigure)];
        const int32_t n = static_cast<int32_t>(f.Points.size()) - 1;
        job.SingleOpenFigure =
            job.FigureList.size() == 1 && n >= 0 && !NearPoint(f.Points.front(), f.Points.back()) ? 1 : 0;
        if (job.SingleOpenFigure) {
            const bool rising = f.Points.front().x < f.Points.back().x;
            if (job.FeedSign[1] == -1) {
                f.EntryVertex = rising ? n : 0;
                direction = Tr("Configuration", "catdir.Item1");
            } else if (job.FeedSign[1] == 1) {
                f.EntryVertex = rising ? 0 : n;
                direction = Tr("Configuration", "catdir.Item0");
            }
        }
        if (n >= 0) {
            const TFigPoint& e = f.Points[static_cast<size_t>(std::clamp<int32_t>(f.EntryVertex, 0, n))];
            job.EntryToLeft = e.x - job.JobMinX;
            job.EntryToRight = job.JobMaxX - e.x;
            job.EntryToBottom = e.y - job.JobMinY;
            job.EntryToTop = job.JobMaxY - e.y;
        }
    }
    if (mode == 0) {
        if (Scaled(s, job.EntryToRight) + px > lx || Scaled(s, job.EntryToTop) + py > ly ||
            Scaled(s, job.EntryToLeft) > px || Scaled(s, job.EntryToBottom) > py) {
            ShowMessageBox(Tr("Main_window", "projektPozaObszaremMaszyny") + "\r\n" +
                               Tr("Main_window", "zmienPunktStartowy"),
                           true, Tr("Configuration", "CatDir.caption") + " : " + direction);
            return false;
        }
        if (IsTwoWireModel() && WiresCrashChecking) {
            const QString collision = Tr("Main_window", "VeKolizjaDrutow") + "\r\n";
            if (front && back && py - Scaled(s, job.EntryToBottom) < PlotState.SideY / 100.0 + 10.0) {
                ShowMessageBox(collision + Tr("Main_window", "VePrzesunBocznyDrut"), false);
                return false;
            }
            if (side && PlotState.FrontY / 100.0 - 10.0 < py + Scaled(s, job.EntryToTop)) {
                ShowMessageBox(collision + Tr("Main_window", "VePrzesunFrontowyDrut"), false);
                return false;
            }
        }
    }
    if (IsTwoWireModel() && mode != 5) {
        if (front)
            FrontStartPoint = {PlotState.FrontX / 100.0, PlotState.FrontY / 100.0};
        else
            SideStartPoint = {PlotState.SideX / 100.0, PlotState.SideY / 100.0};
    }
    if (test)
        return true;
    return WireTest();
}

uint8_t TestCurrentByte(double workPower)
{
    // Powers above 25.5 do not fit the byte: the strongest test current.
    return static_cast<uint8_t>(std::clamp<int64_t>(RoundToInt64Sat(workPower * 10.0), 0, 255));
}

bool CutStart::WireTest()
{
    const double power = CurrentWorkPower();
    if (m_settings.Mode() == 2 || m_settings.ItemIndex("PowerOutput") != 0 || power == 0.0)
        return true;
    for (;;) {
        if (!ReadStatusOrRefuse(m_machine))
            return false;
        // A command that did not arrive switched the wire off and said so.
        if (!SendCommand(m_machine, Bytes({'T', 1, TestCurrentByte(power)})) ||
            !SendCommand(m_machine, Bytes({'R', 1, 1})))
            return false;
        m_machine.Clock().Sleep(300);
        // Unread, the wire may be broken: no cut starts on a guess.
        if (!ReadStatus(m_machine)) {
            RefuseLostLink(m_machine, QString(), 1);
            return false;
        }
        if (!SendCommand(m_machine, Bytes({'R', 0, 1})))
            return false;
        if (!PlotState.WireBroken())
            return true;
        if (Ask(Tr("Control", "zerwanyDrut"), MessageButtons::OkCancelRetry) == mrCancel)
            return false;
    }
}

bool CutStart::StartFigureQuestion(TJob& job)
{
    if (job.StartOutline && job.FrameAdded) {
        if (!HeaterOffForOperator())
            return false;
        const int answer = Ask(Tr("Main_window", "czyRysowacObrys"), MessageButtons::YesNoCancel);
        if (answer != mrYes && answer != mrNo)
            return false;
        job.CutStartFigure = answer == mrYes ? 1 : 0;
    } else {
        job.CutStartFigure = 1;
    }
    return true;
}

bool CutStart::Save(TJob& job, int32_t direction, int jobWindows, int32_t lastSerialIndex)
{
    const TDlgkonfigModel& s = m_settings;
    const int mode = s.Mode();
    const int rotary = s.StolikSwitch();
    const QString out = OutFile();
    const int32_t last = static_cast<int32_t>(job.FigureList.size()) - 1;
    JobFileModeKeeper keep;

    auto plain = [&] {
        JobFileMode = 32;
        return StartFigureQuestion(job) && job.save_ciecie(out, 0.0);
    };
    auto tooHigh = [] {
        Refuse("Main_window", "projektZaDuzaWysokosc");
        return false;
    };

    switch (mode) {
    case 0:
        return plain();
    case 4:
        if (!HeaterOffForOperator())
            return false;
        if (!m_hooks.twoPlaneDialog || !m_hooks.twoPlaneDialog())
            return false;
        m_twoPlaneConfirmed = true;
        return plain();
    case 5:
        if (m_wires.KeyFront) {
            if (!HeaterOffForOperator())
                return false;
            if (!m_hooks.startPointsDialog || !m_hooks.startPointsDialog())
                return false;
            if (!FrontClearOfParkedSideWire(job))
                return false;
            if (!m_hooks.parkSideWire || !m_hooks.parkSideWire())
                return false;
            if (!WaitWhileBusyOrRefuse(m_machine))
                return false;
            // The parking moves heat the wires; the operator places the
            // material by a cold one.
            if (!HeaterOffForOperator())
                return false;
            if (Ask(Tr("Main_window", "VeUmiescMaterial"), MessageButtons::OkCancel) != mrOk)
                return false;
        }
        return plain();
    case 1:
        if (job.HasSpindleAxis) {
            CutOriginY = Scaled(s, job.JobHeight);
            AxisOffsetY = std::max(CutOriginY, s.Value("Srednicamaterialu") / 2.0);
            const double axisY = s.Value("Ywrzeciona");
            if (job.FlatProfile) {
                CutOriginY = axisY - CutOriginY;
                AxisOffsetY = axisY - AxisOffsetY;
            } else {
                CutOriginY = axisY + CutOriginY;
                AxisOffsetY = axisY + AxisOffsetY;
            }
            if (AxisOffsetY < 0 || CutOriginY < 0)
                return tooHigh();
            JobFileMode = 31;
        } else {
            AxisOffsetY = s.Value("Ystolika");
            CutOriginX = -Scaled(s, job.JobMinX);
            AxisOffsetX = std::max(CutOriginX, s.Value("Srednicamaterialu") / 2.0);
            AxisOffsetX = s.Value("Xstolika") - AxisOffsetX;
            CutOriginX = s.Value("Xstolika") - CutOriginX;
            if (AxisOffsetX < 0 || CutOriginX < 0)
                return tooHigh();
            JobFileMode = 311;
        }
        return job.Save_ciecie_obrotowe(out, 0, last);
    case 2: {
        const int windows = std::max(1, jobWindows);
        double step = 0.0;
        if (s.ItemIndex("rgKatObrotu") != 0)
            step = job.RotationAngle / 360.0;
        else
            step = (rotary == 1 ? 0.5 : 1.0) / windows;
        job.CutStartFigure = 1;
        if (rotary == 1) {
            JobFileMode = 33;
            return job.save_ciecie(out, step, lastSerialIndex);
        }
        JobFileMode = 31;
        return job.save_ciecie_seryjne_wrzeciono(out, 0, direction, step, last);
    }
    case 3:
        if (rotary == 0) {
            CutOriginY = Scaled(s, job.JobHeight);
            AxisOffsetY = std::max(CutOriginY, s.Value("Srednicamaterialu") / 2.0);
            CutOriginY = s.Value("Ywrzeciona") + CutOriginY - s.Value("Ynarzedzia");
            AxisOffsetY = s.Value("Ywrzeciona") + AxisOffsetY - s.Value("Ynarzedzia");
            JobFileMode = 30;
            return job.Save_toczenie_wrzeciono(out, 0, last);
        }
        if (rotary == 1) {
            CutOriginX = Scaled(s, job.JobWidth);
            AxisOffsetX = std::max(CutOriginX, s.Value("Srednicamaterialu") / 2.0);
            CutOriginX = s.Value("Xstolika") - CutOriginX - s.Value("Xnarzedzia");
            AxisOffsetX = s.Value("Xstolika") - AxisOffsetX - s.Value("Xnarzedzia");
            JobFileMode = 301;
            return job.Save_toczenie_stolik(out, 0, last);
        }
        return plain();
    default:
        return false;
    }
}

bool CutStart::GoTo(uint8_t slot, double frontX, double backX, double frontY, double backY, double table,
                    double spindle)
{
    // The side carriage stays where it is.
    return m_ops.gotopointKreuz(true, slot, frontX, backX, PlotState.SideX / 100.0, frontY, backY,
                                PlotState.SideY / 100.0, table, spindle);
}

bool CutStart::JobClearOfSideWire(std::optional<double> entryY)
{
    // Plain cutting checked its wires before the save, as the operator set them.
    if (m_settings.Mode() == 0 || !IsTwoWireModel() || !WiresCrashChecking || TestRun())
        return true;
    if (!ReadPositionsForMove(m_machine))
        return false;
    const tplotstate& p = PlotState;
    InputFile file(OutFile());
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessageBox(file.errorString() + "\r\n" + OutFile(), true);
        return false;
    }
    // Where the entry will take the front and back wires, or where they stand.
    const int32_t front = entryY ? static_cast<int32_t>(RoundToInt64Sat(*entryY * 100.0)) : p.FrontY;
    const int32_t back = entryY ? front : p.BackY;
    if (WiresKeepClearance(file.readAll(), front, back, p.SideY))
        return true;
    ShowMessageBox(Tr("Main_window", "VeKolizjaDrutow") + "\r\n" +
                       Tr("Main_window", m_wires.KeySide ? "VePrzesunFrontowyDrut" : "VePrzesunBocznyDrut"),
                   false);
    return false;
}

bool CutStart::StartTransmission(bool clearanceChecked)
{
    return (clearanceChecked || JobClearOfSideWire(std::nullopt)) && m_transmission.Start(OutFile());
}

bool CutStart::FrontClearOfParkedSideWire(const TJob& job) const
{
    if (!WiresCrashChecking)
        return true;
    // Where the parking leaves the side wire, and the lowest the front
    // drawing goes from its start point.
    const double parked = std::min(FrontStartPoint.y - 10.0, SideStartPoint.y);
    const double bottom = FrontStartPoint.y - Scaled(m_settings, job.EntryToBottom);
    if (RoundToInt64Sat((bottom - parked) * 100.0) >= 1000)
        return true;
    ShowMessageBox(Tr("Main_window", "VeKolizjaDrutow") + "\r\n" + Tr("Main_window", "VePrzesunBocznyDrut"), false);
    return false;
}

bool CutStart::PositionAndStart(TJob& job)
{
    const TDlgkonfigModel& s = m_settings;
    const int mode = s.Mode();
    const int rotary = s.StolikSwitch();
    const bool test = TestRun();
    auto notConnected = [this] {
        RefuseLostLink(m_machine);
        return false;
    };

    if (mode == 2)
        return true;
    if (mode == 0 || mode == 4 || mode == 5 || (mode == 3 && rotary == 2)) {
        // A plain job starts where the front wire stands: the controller is
        // told that position first. Turning without a rotary axis writes a
        // plain job and is started the same way.
        // The controller is told where the wire stands: read, never a guess.
        if (!ReadStatus(m_machine) || !ReadPositions(m_machine))
            return notConnected();
        PlotState.PositionToSetX = PlotState.FrontX;
        PlotState.PositionToSetY = PlotState.FrontY;
        if (!SetPositionCommand(m_machine))
            return false;
        return StartTransmission();
    }
    if (mode == 1) {
        if (!ReadPositions(m_machine) || !ReadStatus(m_machine))
            return notConnected();
        const tplotstate& p = PlotState;
        // The entry lowers the wires to the axis' height: checked before they go.
        if (!JobClearOfSideWire(AxisOffsetY))
            return false;
        if (job.HasSpindleAxis) {
            // In whole hundredths: 0.05 mm is allowed at any height.
            const int64_t f = HundredthsAboveSpindle(p.FrontY, s.Value("Ywrzeciona"));
            if (job.FlatProfile && f > 5) {
                Refuse("Main_window", "ploterPowyzejPunktuStart");
                return false;
            }
            if (!job.FlatProfile && f < -5) {
                Refuse("Main_window", "ploterPonizejPunktuStart");
                return false;
            }
            SendCommand(m_machine, Bytes({'F', 0}));
            if (!GoTo(0, 0, 0, AxisOffsetY, AxisOffsetY, 0, m_ops.JogStopPosB))
                return false;
        } else {
            SendCommand(m_machine, Bytes({'F', 0}));
            if (!GoTo(0, p.FrontX / 100.0, p.BackX / 100.0, AxisOffsetY, AxisOffsetY, m_ops.JogStopPosA, 0))
                return false;
            if (!GoTo(0, AxisOffsetX, AxisOffsetX, AxisOffsetY, AxisOffsetY, m_ops.JogStopPosA, 0))
                return false;
        }
        return StartTransmission(true);
    }
    if (mode == 3) {
        if (!test) {
            if (!ReadPositions(m_machine) || !ReadStatus(m_machine))
                return notConnected();
        }
        const double e = job.DajPoz1szegoWjazduWmat();
        const double entryY = rotary == 1 ? s.Value("Ystolika") + e - s.Value("Ynarzedzia") : AxisOffsetY;
        if (!JobClearOfSideWire(entryY))
            return false;
        const tplotstate& p = PlotState;
        if (rotary == 1) {
            const double y = entryY;
            if (!GoTo(0, p.FrontX / 100.0, p.BackX / 100.0, y, y, m_ops.JogStopPosA, p.SpindleTurnSteps))
                return false;
            if (!GoTo(0, AxisOffsetX, AxisOffsetX, y, y, m_ops.JogStopPosA, p.SpindleTurnSteps))
                return false;
        } else {
            const double x = s.Value("Xwrzeciona") + e - s.Value("Xnarzedzia");
            if (!GoTo(0, x, x, AxisOffsetY, AxisOffsetY, p.TableTurnSteps, m_ops.JogStopPosB))
                return false;
        }
        return StartTransmission(true);
    }
    return false;
}

bool CutStart::tnij(TJob& job, int32_t, int32_t, int32_t direction, int jobWindows, int32_t lastSerialIndex)
{
    m_jobWindows = jobWindows;
    m_twoPlaneConfirmed = false;
    if (!CheckBeforeCut(job))
        return false;
    Busy(true);
    struct NormalCursor {
        CutStart& c;
        ~NormalCursor() { c.Busy(false); }
    } normal{*this};
    // The two-plane dialog may have heated the wires to bring them to the
    // material: a start that stops after it must not leave them hot.
    struct HeaterOffUnlessStarted {
        CutStart& c;
        bool started = false;
        ~HeaterOffUnlessStarted()
        {
            if (!started && c.m_twoPlaneConfirmed)
                SendCommand(c.m_machine, Bytes({'R', 0, 2}));
        }
    } heater{*this};

    // A job that was not written whole must not reach the machine: the
    // operator has been told why.
    if (!Save(job, direction, jobWindows, lastSerialIndex))
        return false;
    if (job.ShowControlPanel && m_hooks.showControlPanel)
        m_hooks.showControlPanel();
    {
        InputFile file(OutFile());
        if (!file.open(QIODevice::ReadOnly)) {
            ShowMessageBox(file.errorString() + "\r\n" + OutFile(), true);
            return false;
        }
    }
    const int mode = m_settings.Mode();
    if (mode != 2 && !TestRun()) {
        // Whatever the controller still holds is dropped before the new job.
        SendCommand(m_machine, "Q");
        m_machine.Clock().Sleep(10);
        if (!WaitWhileBusyOrRefuse(m_machine))
            return false;
        SendCommand(m_machine, "C");
        m_machine.Clock().Sleep(10);
    }
    heater.started = PositionAndStart(job);
    // Only this front cut of a transverse job is followed by its side cut.
    if (heater.started && mode == 5 && m_wires.KeyFront)
        m_machine.ArmSideCut(true);
    return heater.started;
}

bool CutStart::Start1Click(const std::vector<TJob*>& windows, TJob* active, StartSource source, bool windowPlanning)
{
    const Machine::StartMark mark(m_machine);
    if (!mark.Owns())
        return false;  // a start waits in its dialogs: this one would run over it
    m_machine.ArmSideCut(false);
    if (windowPlanning)
        return false;
    m_jobGoesOn = false;
    // A series of repetitions belongs to the serial start that set it up:
    // none is left over to move the wires at the end of another job.
    SerialRepeatActive = false;
    const bool started = StartOne(windows, active, source);
    if (!started)
        SerialRepeatActive = false;
    // A start that cuts nothing leaves no wire hot, whichever way it ended.
    if (!started && !m_jobGoesOn && PlotState.StatusKnown)
        (void)HeaterOffForOperator();
    return started;
}

bool CutStart::PausedCutMayGo()
{
    if (!ReadStatus(m_machine)) {
        // Whether a paused cut would be lost is not known: asked only in a
        // run without the machine.
        if (TestRun())
            return true;
        RefuseLostLink(m_machine);
        return false;
    }
    if (!PlotState.Paused())
        return true;
    if (!HeaterOffForOperator())
        return false;
    return AskBeforeDiscarding(Tr("Main_window", "przerwaneCiecieStracone"), MessageButtons::YesNo) == mrYes;
}

bool CutStart::HeaterOffForOperator()
{
    // Unread, the wire may be hot: it goes off unread before the one box,
    // and nothing more of the start is asked.
    if (!ReadStatusOrRefuse(m_machine))
        return false;
    if (!PlotState.HeaterOn())
        return true;
    (void)ReadHeaterState(m_machine);
    return SendCommand(m_machine, Bytes({'R', 0, PlotState.HeaterChannel}));
}

bool CutStart::StartOne(const std::vector<TJob*>& windows, TJob* active, StartSource source)
{
    // A paused cut is the operator's place in the job: a new start loses it.
    if (!PausedCutMayGo())
        return false;
    if (m_settings.Mode() == 2)
        return StartSerial(windows, active);
    if (m_settings.Mode() == 5 && IsTwoWireModel() && source == StartSource::MenuOrButton) {
        // The panel's click handlers switch the machine to these wires.
        m_ops.SetWireBox(OperationHooks::WireBox::Front, true);
        m_ops.SetWireBox(OperationHooks::WireBox::Back, true);
        for (TJob* w : windows)
            if (w && w->SerialIndex == 0) {
                active = w;
                if (m_hooks.activate)
                    m_hooks.activate(*w);
                break;
            }
    }
    if (!active) {
        if (!m_machine.Connected() && !TestRun())
            Refuse("Control", "ploterBrakLacznosci");
        return false;
    }
    const bool started = tnij(*active, 0, static_cast<int32_t>(active->FigureList.size()) - 1, 1,
                              static_cast<int>(windows.size()));
    if (m_settings.CatDir() == 2)
        active->FeedSign[1] = static_cast<int8_t>(-active->FeedSign[1]);
    return started;
}

namespace {

// The heater of the reported channel, switched to the state asked for (a
// toggle would follow whatever state it was left in).
void SetHeater(Machine& machine, bool on)
{
    SendCommand(machine, Bytes({'R', on ? 1 : 0, PlotState.HeaterChannel}));
    machine.Clock().Sleep(200);
}

void ShowFileError(const QFile& file)
{
    ShowMessageBox(file.errorString() + "\r\n" + file.fileName(), true);
}
}  // namespace

bool CutStart::PositionSerialTable(const TJob& active)
{
    const TDlgkonfigModel& s = m_settings;
    const double tableX = s.Value("Xstolika");
    AxisOffsetY = s.Value("Ystolika");
    CutOriginX = StepsToMm(RoundEven(static_cast<double>(active.JobWidth) * s.Skala() / 100.0 / 2.0));
    AxisOffsetX = CutOriginX;
    const double startX = tableX - std::max(CutOriginX, s.Value("Srednicamaterialu") / 2.0);
    AxisOffsetX = tableX - AxisOffsetX;
    CutOriginX = tableX - CutOriginX;

    if (!ReadPositionsForMove(m_machine))
        return false;
    SendCommand(m_machine, PositioningSpeedCommand(s));
    SendCommand(m_machine, Bytes({'F', 0}));
    const double spindle = PlotState.SpindleTurnSteps;
    if (!GoTo(0, startX, startX, AxisOffsetY, AxisOffsetY, m_ops.JogStopPosA, spindle))
        return false;
    // The entry into the material is cut hot; the heater goes off after it
    // even when the move was refused.
    if (!ReadHeaterState(m_machine)) {
        RefuseLostLink(m_machine);
        return false;
    }
    SetHeater(m_machine, true);
    WaitHeatUp(m_machine);
    SendCommand(m_machine, CuttingSpeedCommand());
    const bool entered = GoTo(1, AxisOffsetX, AxisOffsetX, AxisOffsetY, AxisOffsetY, m_ops.JogStopPosA, spindle);
    SetHeater(m_machine, false);
    return entered;
}

bool CutStart::PositionSerialSpindle(const TJob& active)
{
    const TDlgkonfigModel& s = m_settings;
    const double axisX = s.Value("Xwrzeciona"), axisY = s.Value("Ywrzeciona");
    if (HundredthsAboveSpindle(PlotState.FrontY, axisY) < -5) {
        Refuse("Main_window", "ploterPonizejPunktuStart");
        return false;
    }
    AxisOffsetY = s.Value("Srednicamaterialu") / 2.0 + axisY;
    CutOriginY = Scaled(s, active.JobHeight);
    CutOriginX = AxisOffsetX = axisX;
    SendCommand(m_machine, PositioningSpeedCommand(s));
    SendCommand(m_machine, Bytes({'F', 0}));
    return GoTo(0, axisX, axisX, AxisOffsetY, AxisOffsetY, 0, m_ops.JogStopPosA);
}

bool CutStart::JoinSerialFiles(const std::vector<TJob*>& windows, TJob*& active)
{
    const TDlgkonfigModel& s = m_settings;
    const QString outName = OutFile();
    std::vector<TJob*> order;
    for (TJob* w : windows)
        if (w && w->SerialIndex >= 0 && w->SerialIndex <= 9999)
            order.push_back(w);
    std::stable_sort(order.begin(), order.end(),
                     [](const TJob* a, const TJob* b) { return a->SerialIndex < b->SerialIndex; });
    const int32_t lastIndex = order.empty() ? -1 : order.back()->SerialIndex;

    // The joined file takes the place of the last piece's only when whole.
    WholeFileWriter joined(outName, FailedWrite::RemovesOld);
    // A piece that was refused or not written ends the whole start: half a
    // series must not be cut, nor a piece of it stand in for the series.
    // A pipe or folder in the file's place is no file of ours: it stays, and
    // the writer's box said so.
    auto removeOut = [&] {
        if (NotPlainFileReason(outName).isEmpty())
            QFile::remove(outName);
    };
    auto giveUp = [&] {
        joined.Cancel();
        removeOut();
        return false;
    };
    if (joined.Failed()) {
        ReportWrite(joined.Result());
        return giveUp();
    }
    bool reverse = s.CatDir() == 1;
    for (TJob* w : order) {
        active = w;
        if (m_hooks.activate)
            m_hooks.activate(*w);
        if (reverse) {
            CutOriginX = Scaled(s, w->JobWidth) + s.Value("Xwrzeciona");
            w->UstawKierunek(-1);
        } else {
            CutOriginX = s.Value("Xwrzeciona");
            w->UstawKierunek(1);
        }
        // Only the file this piece writes may be joined, never the one left
        // by an earlier piece or an earlier start.
        removeOut();
        if (!tnij(*w, 0, static_cast<int32_t>(w->FigureList.size()) - 1, reverse ? -1 : 1,
                  static_cast<int>(windows.size()), lastIndex))
            return giveUp();
        InputFile piece(outName);
        if (!piece.open(QIODevice::ReadOnly)) {
            ShowFileError(piece);
            return giveUp();
        }
        // Copied in blocks: a piece's file may be large.
        while (!piece.atEnd()) {
            const QByteArray block = piece.read(1 << 16);
            if (block.isEmpty() && piece.error() != QFileDevice::NoError) {
                ShowFileError(piece);
                return giveUp();
            }
            if (!joined.Write(block)) {
                ReportWrite(joined.Result());
                return giveUp();
            }
        }
        if (s.CatDir() == 2)
            reverse = !reverse;
    }
    return ReportWrite(joined.Commit());
}

bool CutStart::StartSerial(const std::vector<TJob*>& windows, TJob* active)
{
    const TDlgkonfigModel& s = m_settings;
    if (!ReadStatusOrRefuse(m_machine))
        return false;
    if (!PlotState.Homed()) {
        Refuse("Control", "wykonajBazowanie");
        return false;
    }
    if (windows.empty() || !active)
        return false;
    if (s.ItemIndex("rgKatObrotu") == 1) {
        if (!HeaterOffForOperator())
            return false;
        SerialRepeatActive = m_hooks.serialCutDialog && m_hooks.serialCutDialog();
        if (!SerialRepeatActive)
            return false;
    } else {
        SerialRepeats = 0;
    }

    SendCommand(m_machine, "Q");
    if (!WaitWhileBusyOrRefuse(m_machine))
        return false;
    SendCommand(m_machine, "C");
    if (!ReadPositionsForMove(m_machine))
        return false;
    const bool table = s.StolikSwitch() == 1;
    if (!(table ? PositionSerialTable(*active) : PositionSerialSpindle(*active)))
        return false;

    // The first piece starts at the spindle axis; the positions are kept in
    // the axes' own steps, as the pieces carry them on.
    const double axisX = s.Value("Xwrzeciona");
    SerialPosition[Thpgl::FrontX] = SerialPosition[Thpgl::BackX] =
        Clamp32(RoundToInt64Sat(axisX * 100.0 * StepsPerUnitX));
    SerialPosition[Thpgl::FrontY] = SerialPosition[Thpgl::BackY] =
        Clamp32(RoundToInt64Sat(AxisOffsetY * 100.0 * StepsPerUnitY));

    if (!JoinSerialFiles(windows, active))
        return false;
    const bool started = StartTransmission();
    if (s.CatDir() == 2)
        active->FeedSign[1] = static_cast<int8_t>(-active->FeedSign[1]);
    return started;
}

bool CutStart::Wstrzymaj1Click()
{
    Busy(true);
    const bool paused = m_ops.wstrzymaj();
    if (paused)
        JobStopped = true;
    Busy(false);
    return paused;
}

void CutStart::Kontynuacja1Click()
{
    if (!m_ops.MoznaRuszac())
        return;
    Busy(true);
    m_ops.kontynuuj(&m_transmission);
    JobStopped = false;
    Busy(false);
}

bool WiresKeepClearance(const QByteArray& file, int32_t frontY, int32_t backY, int32_t sideY)
{
    // In hundredths of a millimetre, as the machine reports positions.
    double front = frontY, back = backY, side = sideY;
    const int sideYId = SideAxesRemapped ? 5 : SideAxisB;
    const bool separateBack = !SideAxesRemapped;
    auto clear = [&] {
        const double wire = separateBack ? std::min(front, back) : front;
        return RoundToInt64Sat(wire - side) >= 1000;
    };
    if (!clear())
        return false;
    double dFront = 0, dBack = 0, dSide = 0;
    for (qsizetype at = 0; at < file.size();) {
        const char letter = file.at(at);
        const int length = CommandLength(letter);
        if (length <= 0 || at + length > file.size())
            return true;  // not a command file the transmission would stream
        if ((letter == 'a' || letter == 'A') && length == 6) {
            const auto id = static_cast<uint8_t>(file.at(at + 1));
            int32_t value = 0;
            for (int i = 0; i < 4; ++i)
                value |= static_cast<int32_t>(static_cast<uint8_t>(file.at(at + 2 + i))) << (8 * i);
            if (id == 0xFF) {
                dFront = dBack = dSide = 0;
            } else if (id == 0xFE) {
                front += dFront;
                back += dBack;
                side += dSide;
                if (!clear())
                    return false;
            } else if (id == sideYId) {
                dSide = SideStepsPerUnitY != 0 ? value / SideStepsPerUnitY : 0;
            } else if (id == 1) {
                dFront = StepsPerUnitY != 0 ? value / StepsPerUnitY : 0;
            } else if (id == 5 && separateBack) {
                dBack = StepsPerUnitY != 0 ? value / StepsPerUnitY : 0;
            }
        }
        at += length;
    }
    return true;
}
