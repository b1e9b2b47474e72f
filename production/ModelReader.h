#pragma once
// Reading a three-dimensional model (RAW triangle text or a 3-D DXF drawing)
// into the model's triangles and extents, on a worker thread.
#include "production/Dxf3D.h"
#include "production/Model.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <string_view>

// The running extents of one read; empty until a triangle widens them.
struct ModelBounds {
    static constexpr double inf = std::numeric_limits<double>::infinity();
    double xmin = inf, ymin = inf, xmax = -inf, ymax = -inf, zmin = inf, zmax = -inf;
    bool Empty() const { return !(xmin <= xmax); }
};

// Widens the extents by the triangle's three corners.
void ExtendBounds(ModelBounds& bounds, const TRawTriangle& t);

// One line of RAW text (without its line end): nine numbers in the file's
// unit (0 mm, 1 inch, 2 foot, the settings' `radiounit` item) separated by
// single blanks, one leading blank allowed. True when it holds a triangle,
// which is then in millimetres and inside the extents; any other line (fewer
// or more fields, an empty field, a field that is not a finite number) gives
// false and nine zeros.
bool ParseRawLine(std::string_view line, int32_t unit, TRawTriangle& t, ModelBounds& bounds);

// The triangles of a RAW file in file order; name lines (holding "Object")
// and bad lines are passed over. An unreadable file gives none. The stop test
// is asked before every line; a stop keeps what was read before it.
TriangleList ReadRawText(const QString& fileName, int32_t unit, ModelBounds& bounds, const StopTest& stop = {});

// The triangles of a 3-D DXF file in millimetres; none when the conversion
// fails or is stopped.
TriangleList ReadDxf3D(const QString& fileName, int32_t unit, ModelBounds& bounds, const StopTest& stop = {});

// Reads a model file on a thread of its own. Created idle with the file and
// its unit, started by Start; when the read has ended the handler runs on the
// thread of the context object (the window's), and the reader frees itself
// after it. Outputs are read in the handler only: ModelTriangles holds what
// was read, and ModelInfoRec's extents, ModelSize and the centre are set when
// the model has a triangle (left as they were otherwise). A reader asked to
// stop ends at its next line and changes nothing but ModelTriangles, which
// stays the empty list the generator put there.
class TRAWodczytWatek : public QThread {
public:
    TRAWodczytWatek(QString fileName, int32_t unit);

    void Start(QObject* context, std::function<void(TRAWodczytWatek&)> onEnd);
    void RequestStop() { m_stop.store(true); }
    bool StopRequested() const { return m_stop.load(); }
    // The read did its work and published it.
    bool Completed() const { return m_completed; }

    // The read itself, on the calling thread.
    void Execute();

protected:
    void run() override { Execute(); }

private:
    QString m_fileName;
    int32_t m_unit;
    std::atomic<bool> m_stop{false};
    bool m_completed = false;
    ModelBounds m_bounds;
};
