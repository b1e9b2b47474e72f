#pragma once
#include <QThread>

#include <atomic>
#include <functional>

// The worker of one rasterising step: turns the model by SerialAngle, draws
// its silhouette into PixelGrid and marks the interior.
//
// Its inputs (ModelTriangles, the model's centre, SerialAngle, GridCols,
// GridRows) are set before Resume and left alone until the end handler runs;
// PixelGrid is read only in that handler. The handler is queued to the thread
// that created the worker (the user-interface thread) and runs after the work
// has ended; the worker then deletes itself.
class TRawDoPix : public QThread {
public:
    // Created suspended: nothing runs before Resume.
    explicit TRawDoPix(std::function<void()> onTerminate);

    void Resume() { start(QThread::NormalPriority); }
    // Asks the step to stop; it is tested before the raster is allocated,
    // before the model is turned and between triangles.
    void Terminate() { m_stop.store(true, std::memory_order_relaxed); }
    bool Terminated() const { return m_stop.load(std::memory_order_relaxed); }

    // The step itself, on whichever thread calls it.
    void Execute();

    // Whether the model could be turned in this step.
    bool RotationDone = false;

protected:
    void run() override { Execute(); }

private:
    std::atomic<bool> m_stop{false};
    std::function<void()> m_onTerminate;
};
