#include "production/RasterThread.h"

#include "production/Raster.h"

TRawDoPix::TRawDoPix(std::function<void()> onTerminate) : m_onTerminate(std::move(onTerminate))
{
    // Queued to this object's own thread, the one that created it.
    connect(this, &QThread::finished, this, [this] {
        wait();
        if (m_onTerminate)
            m_onTerminate();
        deleteLater();
    }, Qt::QueuedConnection);
}

void TRawDoPix::Execute()
{
    RotationDone = false;
    if (!Terminated()) {
        AllocatePixelGrid();
        ClearPixelGrid();
        if (!Terminated())
            RotationDone = RotateModel();
        if (!RotationDone)
            return;
        for (const TRawTriangle& t : RotatedTriangles) {
            if (Terminated())
                break;
            FillTriangle(t);
        }
        MarkInterior();
        FreeRotatedModel();
    }
    Terminate();
}
