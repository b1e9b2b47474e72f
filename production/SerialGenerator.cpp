#include "production/SerialGenerator.h"

#include "app/Globals.h"
#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Settings.h"
#include "app/SettingsFiles.h"
#include "app/Translator.h"
#include "job/CutState.h"
#include "job/Geometry.h"
#include "machine/MachineConstants.h"
#include "production/Raster.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {
QString AngleText(double degrees) { return FloatToStrF(degrees, ffFixed, 8, 2); }
}  // namespace

TSerialGenerator::TSerialGenerator(SerialGeneratorHooks hooks, QObject* parent)
    : QObject(parent), m_hooks(std::move(hooks))
{
    MakeRasterWorker = [](std::function<void()> onTerminate) { return new TRawDoPix(std::move(onTerminate)); };
}

TSerialGenerator::~TSerialGenerator()
{
    // The window outlives its workers (closing waits for them); should one
    // still run, it must not call back into a generator that is gone.
    if (RasterThread)
        RasterThread->Terminate();
    if (ReaderThread)
        ReaderThread->RequestStop();
}

void TSerialGenerator::Notify() { Call(m_hooks.Changed); }

void TSerialGenerator::ChooseModelFile(const QString& fileName)
{
    // The model and the angle are a worker's inputs: never changed under one.
    if (Busy())
        return;
    // A cancelled choice keeps the series where it stands, so that a larger
    // count still goes on from its last angle.
    if (fileName.isEmpty())
        return;
    SerialAngle = 0;
    Call(m_hooks.CloseAllJobs);
    LoadModel(fileName);
    QString folder = QDir::toNativeSeparators(QFileInfo(fileName).absolutePath());
    while (folder.size() > 1 && folder.endsWith(QDir::separator()))
        folder.chop(1);
    Gcf.OpenFolder = folder.left(79);
}

void TSerialGenerator::LoadModel(const QString& fileName)
{
    if (Busy())
        return;
    if (!QFileInfo(fileName).isFile()) {
        ShowMessageBox(Tr("Universal", "txtPlikuBrak") + "\r\n" + fileName, true);
        ModelInfoRec.FileName.clear();
        return;
    }
    m_fileName = fileName;
    ModelInfoRec.FileName = fileName;
    if (m_hooks.LockViewer)
        m_hooks.LockViewer(true);
    Status[0] = Tr("SerialCutFrom3D", "odczytRAWtrwa");
    FileButtonEnabled = false;
    GenerateEnabled = false;
    // The extents are the reader's output until its handler has run.
    ModelInfoEnabled = false;
    ModelTriangles = TriangleList();
    auto* reader = new TRAWodczytWatek(fileName, Settings().ItemIndex("radiounit"));
    ReaderThread = reader;
    Notify();
    reader->Start(this, [this](TRAWodczytWatek& r) { ZakonczWatekCzytaniaRAW(r); });
}

void TSerialGenerator::ZakonczWatekCzytaniaRAW(TRAWodczytWatek&)
{
    ReaderThread = nullptr;
    if (m_closeAfterRead) {
        // The window was closed during the read: nothing of it is shown.
        m_closing = true;
        Call(m_hooks.CloseWindow);
        return;
    }
    StepNo = 1;
    Status[0] = Tr("SerialCutFrom3D", "importRAWzakonczony");
    if (m_hooks.LockViewer)
        m_hooks.LockViewer(false);
    Call(m_hooks.ShowModel);
    FileButtonEnabled = true;
    if (ModelTriangles.empty()) {
        if (m_hooks.LockViewer)
            m_hooks.LockViewer(true);
        StepCountEnabled = false;
        GenerateEnabled = false;
        ModelInfoEnabled = false;
        Notify();
        ShowMessageBox(Tr("Project_window", "zbiorPusty"), true);
        return;
    }
    GenerateEnabled = true;
    ModelInfoEnabled = true;
    Notify();
}

bool TSerialGenerator::CheckModelFits()
{
    const double w = ModelInfoRec.xmax - ModelInfoRec.xmin;
    const double h = ModelInfoRec.ymax - ModelInfoRec.ymin;
    const double s = Settings().Skala();
    if (s * w / 100 > FrontLimitX || s * h / 100 > FrontLimitY) {
        ShowMessageBox(Tr("Main_window", "projektZaDuzy"), true);
        return false;
    }
    if (s * h / 100 > FrontLimitY - Settings().Value("Ystolika")) {
        ShowMessageBox(Tr("Main_window", "projektZaDuzaWysokosc") + "\r\n" + Tr("SerialCutFrom3D", "obnizYstolika"),
                       true);
        return false;
    }
    return true;
}

void TSerialGenerator::btnGenerujClick(int steps)
{
    if (Busy() || ModelTriangles.empty() || steps < 1)
        return;
    if (!CheckModelFits())
        return;
    StepCount = steps;
    FileButtonEnabled = false;
    StepCountEnabled = false;
    GenerateEnabled = false;
    if (m_hooks.LockViewer)
        m_hooks.LockViewer(true);
    ProgressShown = true;
    ProgressMax = StepCount;
    ProgressPosition = 0;
    Running = true;
    if (StepNo == 1 || StepCount < StepNo) {
        Call(m_hooks.ResetViewerTurn);
        Call(m_hooks.CloseAllJobs);
        StepNo = 1;
        SerialAngle = 0;
    } else {
        ProgressPosition = StepNo - 1;
    }
    StepAngle = 180.0 / StepCount;
    ChooseGridSize();
    GenSerFileName = m_fileName;
    Notify();
    StartRasterStep();
}

void TSerialGenerator::StartRasterStep()
{
    Status[1] = "[" + AngleText(SerialAngle) + " st]";
    if (RasterThread) {
        // One worker at a time: the running one is stopped, and its handler
        // starts this step again.
        m_rasterStopAsked = true;
        RasterThread->Terminate();
        Notify();
        return;
    }
    m_rasterStopAsked = false;
    TRawDoPix* worker = MakeRasterWorker([self = QPointer<TSerialGenerator>(this)] {
        if (self)
            self->ZakonczWatekRawDoPix();
    });
    RasterThread = worker;
    Notify();
    worker->Resume();
}

void TSerialGenerator::ZakonczWatekRawDoPix()
{
    Status[0].clear();
    Status[1].clear();
    RasterThread = nullptr;
    const bool stopped = m_rasterStopAsked;
    m_rasterStopAsked = false;
    if (!Running) {
        if (m_cancelPending) {
            m_cancelPending = false;
            StepNo = 1;
            SerialAngle = 0;
            EnableControls();
        }
        Notify();
        return;
    }
    if (stopped) {
        // The raster of a stopped step is incomplete: the step is made again.
        StartRasterStep();
        return;
    }
    if (!TraceContours())
        return;
    if (m_hooks.TurnViewer)
        m_hooks.TurnViewer(static_cast<int>(std::nearbyint(-2 * StepAngle)));
    if (StepCount == StepNo)
        Call(m_hooks.TileJobs);
    SerialAngle += StepAngle;
    ++StepNo;
    ProgressPosition = std::min(ProgressPosition + 1, ProgressMax);
    if (StepCount < StepNo) {
        Running = false;
        EnableControls();
        CutOffModel = CutOffWhenDone;
        // Serial cutting, with what that mode forces; the settings command is
        // not told of a change (it would close every job just made).
        TDlgkonfigModel& settings = Settings();
        const bool mode = settings.ModeChanged, rotary = settings.RotaryChanged, power = settings.PowerChanged;
        settings.SetItemIndex("Mode", 2);
        settings.ModeChanged = mode;
        settings.RotaryChanged = rotary;
        settings.PowerChanged = power;
        Notify();
        if (CloseWhenDone) {
            m_closing = true;
            Call(m_hooks.CloseWindow);
        }
        return;
    }
    Notify();
    StartRasterStep();
}

bool TSerialGenerator::TraceContours()
{
    Tracer.TraceSilhouette();
    TFigureList kept;
    for (std::unique_ptr<tfigura>& f : TracedFigures)
        if (f && (!f->ClosedTrace || KeepClosedFigures))
            kept.push_back(std::move(f));
    TracedFigures.clear();
    if (kept.empty()) {
        // Nothing to cut at this angle: no empty job, the series ends, and
        // the operator learns which step left no open profile.
        const QString angle = AngleText(SerialAngle);
        EndSeries();
        ShowMessageBox(Tr("SerialCutFrom3D", "brakOtwartegoProfilu").arg(angle), true);
        return false;
    }
    const QString caption =
        QFileInfo(m_fileName).completeBaseName() + " [" + AngleText(SerialAngle) + " st]";
    TJob* job = m_hooks.NewJob ? m_hooks.NewJob(caption) : nullptr;
    JobWindow = job;
    if (!job) {
        EndSeries();
        return false;
    }
    job->InputFileType = 1;
    job->FigureList.clear();
    for (std::unique_ptr<tfigura>& f : kept)
        job->AddFigure(std::move(f));
    if (job->FigureList.size() > 1) {
        Call(m_hooks.Beep);
        if (Ask(Tr("SerialCutFrom3D", "wieleFigur") + "\r\n" + Tr("SerialCutFrom3D", "czyKontynuowac"),
                MessageButtons::OkCancel) != mrOk) {
            EndSeries();
            return false;
        }
    }
    job->Ustaw_PPiPK();
    job->JobWidth = job->JobMaxX - job->JobMinX;
    job->JobHeight = job->JobMaxY - job->JobMinY;
    tfigura& first = *job->FigureList.front();
    first.OriginX = job->JobMinX;
    first.OriginY = job->JobMinY;
    job->SingleOpenFigure =
        job->FigureList.size() == 1 && !NearPoint(first.Points.front(), first.Points.back()) ? 1 : 0;
    job->SerialIndex = StepNo;
    job->MaxDepth = 0;
    job->SelectedFigure = -1;
    job->ciecie();
    return true;
}

void TSerialGenerator::EndSeries()
{
    Running = false;
    ProgressPosition = 0;
    Call(m_hooks.ResetViewerTurn);
    Call(m_hooks.CloseAllJobs);
    JobWindow = nullptr;
    if (RasterThread) {
        // The angle is the running worker's input: it is reset, and the
        // controls return, once the worker has ended.
        m_cancelPending = true;
    } else {
        StepNo = 1;
        SerialAngle = 0;
        EnableControls();
    }
    Notify();
}

void TSerialGenerator::EnableControls()
{
    FileButtonEnabled = true;
    StepCountEnabled = true;
    GenerateEnabled = !ModelTriangles.empty();
    ModelInfoEnabled = !ModelTriangles.empty();
    ProgressShown = false;
    if (m_hooks.LockViewer)
        m_hooks.LockViewer(false);
}

void TSerialGenerator::btnAnulujClick()
{
    Running = false;
    if (!RasterThread) {
        Call(m_hooks.CloseWindow);
        return;
    }
    m_rasterStopAsked = true;
    RasterThread->Terminate();
    EndSeries();
}

bool TSerialGenerator::CloseQuery()
{
    if (m_closing)
        return true;
    if (RasterThread) {
        ShowMessageBox(Tr("SerialCutFrom3D", "zakonczGenPlikowWy"), false);
        return false;
    }
    if (ReaderThread) {
        ReaderThread->RequestStop();
        m_closeAfterRead = true;
        return false;
    }
    return true;
}
