#pragma once
// The sequence of the serial profile generator, free of widgets: a model is
// read on a worker thread, then each step of a series rasterises the turned
// model's silhouette on another worker and, back on the user-interface
// thread, traces it into the profile of one new planned job.
#include "job/Job.h"
#include "production/ModelReader.h"
#include "production/RasterThread.h"
#include "production/Trace.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

// What the generator asks of the program around it: the job windows, the
// viewer and its own window. Any hook left empty does nothing.
struct SerialGeneratorHooks {
    // A new job window with this caption; the generator fills its job.
    std::function<TJob*(const QString& caption)> NewJob;
    std::function<void()> CloseAllJobs;
    std::function<void()> TileJobs;
    // The viewer shows ModelTriangles with ModelInfoRec's extents.
    std::function<void()> ShowModel;
    std::function<void(bool locked)> LockViewer;
    std::function<void()> ResetViewerTurn;
    // Turns the shown model by that many pixels of horizontal drag and redraws.
    std::function<void(int dx)> TurnViewer;
    std::function<void()> Beep;
    // The window closes (its close request is granted now).
    std::function<void()> CloseWindow;
    // Enabled states, status texts or the progress changed.
    std::function<void()> Changed;
};

class TSerialGenerator : public QObject {
public:
    explicit TSerialGenerator(SerialGeneratorHooks hooks, QObject* parent = nullptr);
    ~TSerialGenerator() override;

    // The controls' state, which the window shows.
    bool FileButtonEnabled = true;
    bool StepCountEnabled = true;
    bool GenerateEnabled = false;
    bool ModelInfoEnabled = false;
    QString Status[2];
    bool ProgressShown = false;
    int ProgressMax = 0;
    int ProgressPosition = 0;

    // The check boxes: cut the model off its base at the end, close the window
    // at the end, keep closed traced figures in the jobs.
    bool CutOffWhenDone = true;
    bool CloseWhenDone = true;
    bool KeepClosedFigures = false;

    QPointer<TRAWodczytWatek> ReaderThread;
    QPointer<TRawDoPix> RasterThread;
    // The job made by the last step.
    TJob* JobWindow = nullptr;
    int StepNo = 1;
    bool Running = false;
    double StepAngle = 10.0;
    // N, the number of steps of the series.
    int StepCount = 18;
    TContourTracer Tracer;

    // Makes the rasterising worker of a step (tests count them through it).
    std::function<TRawDoPix*(std::function<void()> onTerminate)> MakeRasterWorker;

    // The chosen model file (empty: the dialog was cancelled).
    void ChooseModelFile(const QString& fileName);
    void LoadModel(const QString& fileName);
    void ZakonczWatekCzytaniaRAW(TRAWodczytWatek& reader);
    // The model, scaled, fits the machine's travel; the operator is told when not.
    bool CheckModelFits();
    // Generates a series of `steps` steps (or goes on with a longer one).
    void btnGenerujClick(int steps);
    void StartRasterStep();
    void ZakonczWatekRawDoPix();
    // One step's profile into a new planned job; false when the series ended.
    bool TraceContours();
    void btnAnulujClick();
    // Whether the window may close now. During a load the reader is asked to
    // stop and the window closes once its handler has run.
    bool CloseQuery();

    // A worker (reader or rasteriser) is registered.
    bool Busy() const { return ReaderThread || RasterThread; }

private:
    void EndSeries();
    void EnableControls();
    void Notify();
    void Call(const std::function<void()>& hook)
    {
        if (hook)
            hook();
    }

    SerialGeneratorHooks m_hooks;
    QString m_fileName;
    // The running rasteriser was asked to stop: its raster is not used.
    bool m_rasterStopAsked = false;
    // A Cancel waits for the stopped rasteriser before the controls return.
    bool m_cancelPending = false;
    bool m_closeAfterRead = false;
    bool m_closing = false;
};
