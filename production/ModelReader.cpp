#include "production/ModelReader.h"

#include "app/Units.h"
#include "app/WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

void ExtendBounds(ModelBounds& b, const TRawTriangle& t)
{
    b.xmin = std::min({b.xmin, double(t.x1), double(t.x2), double(t.x3)});
    b.xmax = std::max({b.xmax, double(t.x1), double(t.x2), double(t.x3)});
    b.ymin = std::min({b.ymin, double(t.y1), double(t.y2), double(t.y3)});
    b.ymax = std::max({b.ymax, double(t.y1), double(t.y2), double(t.y3)});
    b.zmin = std::min({b.zmin, double(t.z1), double(t.z2), double(t.z3)});
    b.zmax = std::max({b.zmax, double(t.z1), double(t.z2), double(t.z3)});
}

namespace {
float* Coordinates(TRawTriangle& t)
{
    static_assert(sizeof(TRawTriangle) == 9 * sizeof(float));
    return &t.x1;
}

// The nine coordinates in millimetres; false when one leaves the float range.
bool ToMillimetres(TRawTriangle& t, int32_t unit)
{
    float* c = Coordinates(t);
    for (int i = 0; i < 9; ++i) {
        c[i] = static_cast<float>(UnitToMm(unit, c[i]));
        if (!std::isfinite(c[i]))
            return false;
    }
    return true;
}
}  // namespace

bool ParseRawLine(std::string_view line, int32_t unit, TRawTriangle& t, ModelBounds& bounds)
{
    t = TRawTriangle{};
    if (line.find_first_not_of(' ') == std::string_view::npos)
        return false;
    // One leading blank is allowed; after it every blank ends a field, so a
    // second blank in a row makes an empty field.
    if (line.front() == ' ')
        line.remove_prefix(1);
    if (std::count(line.begin(), line.end(), ' ') != 8)
        return false;
    TRawTriangle read;
    float* c = Coordinates(read);
    size_t from = 0;
    for (int i = 0; i < 9; ++i) {
        const size_t blank = i < 8 ? line.find(' ', from) : line.size();
        double v = 0;
        if (!ParseModelNumber(line.substr(from, blank - from), v))
            return false;
        c[i] = static_cast<float>(v);
        from = blank + 1;
    }
    if (!ToMillimetres(read, unit))
        return false;
    t = read;
    ExtendBounds(bounds, t);
    return true;
}

TriangleList ReadRawText(const QString& fileName, int32_t unit, ModelBounds& bounds, const StopTest& stop)
{
    TriangleList list;
    InputFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return list;
    ModelBounds read = bounds;
    while (!file.atEnd()) {
        if (stop && stop())
            break;
        // A line of any length, without its LF or CR LF.
        QByteArray bytes = file.readLine();
        if (file.error() != QFileDevice::NoError)
            return {};
        std::string_view line(bytes.constData(), static_cast<size_t>(bytes.size()));
        if (!line.empty() && line.back() == '\n')
            line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find("Object") != std::string_view::npos)
            continue;
        TRawTriangle t;
        if (ParseRawLine(line, unit, t, read))
            list.push_back(t);
    }
    bounds = read;
    return list;
}

TriangleList ReadDxf3D(const QString& fileName, int32_t unit, ModelBounds& bounds, const StopTest& stop)
{
    TDxf2RawConverter converter(fileName, stop);
    if (!converter.Convert())
        return {};
    TriangleList list = std::move(converter.Triangles);
    ModelBounds read = bounds;
    for (TRawTriangle& t : list) {
        if (!ToMillimetres(t, unit))
            return {};
        ExtendBounds(read, t);
    }
    bounds = read;
    return list;
}

TRAWodczytWatek::TRAWodczytWatek(QString fileName, int32_t unit) : m_fileName(std::move(fileName)), m_unit(unit)
{
}

void TRAWodczytWatek::Start(QObject* context, std::function<void(TRAWodczytWatek&)> onEnd)
{
    // Both ends of the read are queued to the context's thread, the handler
    // first; the reader is freed only after it.
    connect(this, &QThread::finished, context, [this, onEnd = std::move(onEnd)] {
        if (onEnd)
            onEnd(*this);
    }, Qt::QueuedConnection);
    connect(this, &QThread::finished, this, &QObject::deleteLater, Qt::QueuedConnection);
    start();
}

void TRAWodczytWatek::Execute()
{
    m_bounds = ModelBounds{};
    const StopTest stop = [this] { return StopRequested(); };
    const QString ext = QFileInfo(m_fileName).suffix().toUpper();
    TriangleList read;
    if (ext == "DXF")
        read = ReadDxf3D(m_fileName, m_unit, m_bounds, stop);
    else if (ext == "RAW")
        read = ReadRawText(m_fileName, m_unit, m_bounds, stop);
    if (StopRequested())
        return;
    ModelTriangles = std::move(read);
    m_completed = true;
    // A model without a triangle has no extents: the old ones stay rather
    // than infinities.
    if (ModelTriangles.empty() || m_bounds.Empty())
        return;
    ModelInfoRec.xmin = m_bounds.xmin;
    ModelInfoRec.ymin = m_bounds.ymin;
    ModelInfoRec.zmin = m_bounds.zmin;
    ModelInfoRec.xmax = m_bounds.xmax;
    ModelInfoRec.ymax = m_bounds.ymax;
    ModelInfoRec.zmax = m_bounds.zmax;
    ModelSize = {static_cast<float>(m_bounds.xmax - m_bounds.xmin), static_cast<float>(m_bounds.ymax - m_bounds.ymin),
                 static_cast<float>(m_bounds.zmax - m_bounds.zmin)};
    ModelCentreX = ModelSize[0] / 2.0 + m_bounds.xmin;
    ModelCentreY = ModelSize[1] / 2.0 + m_bounds.ymin;
    ModelCentreZ = ModelSize[2] / 2.0 + m_bounds.zmin;
}
