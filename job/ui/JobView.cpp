#include "job/ui/JobView.h"

#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/Geometry.h"
#include "job/Job.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {
constexpr double kPickDistance = 3.0;  // pixels from an edge that still pick its figure
constexpr int kTickMs = 10;
// Longer stalls (a modal window, a busy program) are not made up at once.
constexpr double kLongestTickMs = 250.0;
constexpr int kScreenLimit = 1 << 24;

const QColor kBlack(0, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
// Pure yellow is lost on white: a deep yellow.
const QColor kYellow(215, 170, 0);
const QColor kPathColour = kRed;
const QColor kWireColour = kYellow;

// Rounding to the nearest pixel, halves to even, as everywhere in the
// program; the common case (in range, no half) without a library call,
// since every vertex of a large job passes here at each new drawing.
int ToPixel(double v)
{
    if (v >= 0 && v < kScreenLimit) {
        const auto i = static_cast<int>(v + 0.5);
        if (static_cast<double>(i) - v == 0.5 && (i & 1))
            return i - 1;
        return i;
    }
    return static_cast<int>(std::clamp(RoundEven(v), -static_cast<double>(kScreenLimit), static_cast<double>(kScreenLimit)));
}

// Distance from p to the segment a-b: to the foot of the perpendicular when
// it falls within the segment's box, else to the nearer end (the second on a tie).
double DistanceToSegment(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double len2 = dx * dx + dy * dy;
    const double da = std::hypot(p.x() - a.x(), p.y() - a.y());
    const double db = std::hypot(p.x() - b.x(), p.y() - b.y());
    if (len2 > 0) {
        const double u = ((p.x() - a.x()) * dx + (p.y() - a.y()) * dy) / len2;
        const double fx = a.x() + u * dx, fy = a.y() + u * dy;
        constexpr double eps = 1e-9;
        if (fx >= std::min(a.x(), b.x()) - eps && fx <= std::max(a.x(), b.x()) + eps && fy >= std::min(a.y(), b.y()) - eps &&
            fy <= std::max(a.y(), b.y()) + eps)
            return std::hypot(p.x() - fx, p.y() - fy);
    }
    return da < db ? da : db;
}

// Pixel k of the n pixel steps of the screen line a-b.
QPoint PixelAt(const QPoint& a, const QPoint& b, int n, int k)
{
    if (n <= 0 || k <= 0)
        return a;
    if (k >= n)
        return b;
    return {a.x() + static_cast<int>(std::lround(static_cast<double>(b.x() - a.x()) * k / n)),
            a.y() + static_cast<int>(std::lround(static_cast<double>(b.y() - a.y()) * k / n))};
}

int PixelSteps(const QPoint& a, const QPoint& b) { return std::max(std::abs(b.x() - a.x()), std::abs(b.y() - a.y())); }

bool Moves(const ReplayStep& s) { return s.kind == ReplayStep::Kind::Travel || s.kind == ReplayStep::Kind::Cut; }

double UnitsOf(const ReplayStep& s, const JobViewTransform& t)
{
    switch (s.kind) {
    case ReplayStep::Kind::Travel:
        return kTravelUnitsPerPixel * PixelSteps(t.ToScreen(s.from), t.ToScreen(s.to));
    case ReplayStep::Kind::Cut:
        return kCutUnitsPerPixel * PixelSteps(t.ToScreen(s.from), t.ToScreen(s.to));
    case ReplayStep::Kind::Wire:
    case ReplayStep::Kind::Pause:
        return std::max(0.0, s.wait);
    }
    return 0;
}

// Lines of one pixel width set straight into an RGB32 picture (the same
// pixels an aliased cosmetic pen gives, without its cost per line, which
// dominates when a large job is hundreds of thousands of tiny lines).
class PixelCanvas {
public:
    explicit PixelCanvas(QImage& image)
        : m_bits(image.bits()), m_stride(image.bytesPerLine()), m_width(image.width()), m_height(image.height())
    {
    }

    void Plot(int x, int y, QRgb c)
    {
        if (x >= 0 && y >= 0 && x < m_width && y < m_height)
            reinterpret_cast<QRgb*>(m_bits + static_cast<ptrdiff_t>(y) * m_stride)[x] = c;
    }

    void Line(QPoint a, QPoint b, QRgb c)
    {
        if (!Inside(a) || !Inside(b)) {
            if (!Clip(a, b))
                return;
        }
        int x = a.x(), y = a.y();
        const int dx = std::abs(b.x() - x), dy = -std::abs(b.y() - y);
        const int sx = x < b.x() ? 1 : -1, sy = y < b.y() ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            Plot(x, y, c);
            if (x == b.x() && y == b.y())
                return;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }

private:
    bool Inside(const QPoint& p) const { return p.x() >= 0 && p.y() >= 0 && p.x() < m_width && p.y() < m_height; }

    // The part of a-b within the picture (one pixel of margin), or false.
    bool Clip(QPoint& a, QPoint& b) const
    {
        const double x0 = a.x(), y0 = a.y(), dx = b.x() - x0, dy = b.y() - y0;
        double t0 = 0, t1 = 1;
        auto edge = [&](double p, double q) {
            if (p == 0)
                return q >= 0;
            const double r = q / p;
            if (p < 0) {
                if (r > t1)
                    return false;
                t0 = std::max(t0, r);
            } else {
                if (r < t0)
                    return false;
                t1 = std::min(t1, r);
            }
            return true;
        };
        if (!edge(-dx, x0 + 1) || !edge(dx, m_width - x0) || !edge(-dy, y0 + 1) || !edge(dy, m_height - y0))
            return false;
        const QPoint na(static_cast<int>(std::lround(x0 + t0 * dx)), static_cast<int>(std::lround(y0 + t0 * dy)));
        const QPoint nb(static_cast<int>(std::lround(x0 + t1 * dx)), static_cast<int>(std::lround(y0 + t1 * dy)));
        a = na;
        b = nb;
        return true;
    }

    uchar* m_bits;
    qsizetype m_stride;
    int m_width;
    int m_height;
};

// A cheap running hash of what the figures' picture was drawn from.
class Signature {
public:
    void Add(uint64_t v)
    {
        m_h = (m_h ^ v) * 0x9E3779B97F4A7C15ULL;
        m_h ^= m_h >> 29;
    }
    void Add(double v)
    {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        Add(bits);
    }
    uint64_t Value() const { return m_h; }

private:
    uint64_t m_h = 0x243F6A8885A308D3ULL;
};
}  // namespace

// ---- transform and colours ----

JobViewMode JobViewMode::FromSettings()
{
    const TDlgkonfigModel& s = Settings();
    JobViewMode m;
    m.mode = s.Mode();
    m.rotaryAxis = s.StolikSwitch() == 0 || s.StolikSwitch() == 1;
    m.materialRadius = MmToSteps(s.Value("Srednicamaterialu") / 2.0);
    return m;
}

QPoint JobViewTransform::ToScreen(int32_t x, int32_t y) const
{
    return {ToPixel((static_cast<double>(x) - minX) * scale) + x0, y0 - ToPixel((static_cast<double>(y) - minY) * scale)};
}

TFigPoint JobViewTransform::ToJob(const QPoint& p) const
{
    if (!Valid())
        return {minX, minY};
    auto back = [](double v, int32_t base) {
        return static_cast<int32_t>(std::clamp<double>(RoundEven(v) + base, INT32_MIN, INT32_MAX));
    };
    return {back((p.x() - x0) / scale, minX), back((y0 - p.y()) / scale, minY)};
}

JobViewTransform JobViewTransform::Compute(const TJob& job, const JobViewMode& mode, int width, int height, int statusHeight)
{
    JobViewTransform t;
    t.minX = job.JobMinX;
    t.minY = job.JobMinY;
    t.y0 = height - 5 - 2;
    // A job of no extent at all (a point, or nothing) has nothing to show; a
    // straight line along one axis still does.
    if (job.FigureList.empty() || (job.JobWidth < 1 && job.JobHeight < 1))
        return t;
    const double jobWidth = std::max(0, job.JobWidth);
    double drawnHeight = std::max(0, job.JobHeight);
    // A turning job shows the whole radius of the material.
    if (mode.mode == 3 && mode.rotaryAxis)
        drawnHeight = std::max<double>(drawnHeight, mode.materialRadius);
    const double availWidth = width - 20;
    const double availHeight = height - statusHeight - 10;
    const double scale = std::min(availWidth / (jobWidth + 1), availHeight / (drawnHeight + 1));
    if (scale > 0 && std::isfinite(scale))
        t.scale = scale;
    return t;
}

QColor FigureColour(const TJob& job, const JobViewMode& mode, int32_t index, const QColor& previous)
{
    const tfigura& f = *job.FigureList[static_cast<size_t>(index)];
    switch (mode.mode) {
    case 0:
    case 2:
    case 5:
        if (f.NotConnected)
            return kRed;
        return f.Closed ? kBlack : kBlue;
    case 3:
        if (!mode.rotaryAxis)
            return f.Closed ? kBlack : kBlue;
        return index == job.AxisFigure ? kGreen : kBlack;
    case 1:
        return index == job.AxisFigure ? kGreen : kBlack;
    case 4:
        switch (f.Pen) {
        case 4:
            return kGreen;
        case 3:
            return kRed;
        case 6:
            return kYellow;
        default:
            return previous;
        }
    default:
        return kBlack;
    }
}

// ---- the replay's animation ----

// The replay as it is being drawn: where it stands and what it has drawn so
// far, in pixels of the area at its current size.
struct JobView::Animation {
    JobReplay replay;
    bool keep = false;  // the drawn path stays when the replay ends
    QColor colour;
    JobViewTransform t;
    QImage layer;
    size_t step = 0;
    int pixel = 0;       // pixels of the current step done
    double waited = 0;   // units of the current wait done
    bool wireDrawn = false;
    double budget = 0;   // units granted and not yet spent
    double done = 0;
    bool finished = false;
    QPoint pen;

    void NewLayer(const QSize& size, qreal dpr)
    {
        layer = QImage(size * dpr, QImage::Format_ARGB32_Premultiplied);
        layer.setDevicePixelRatio(dpr);
        layer.fill(Qt::transparent);
    }

    // A stretch of cut: a dot of radius 1 at every pixel from pixel `from`
    // to pixel `to` of the screen line a-b.
    void DrawCut(QPainter& p, const QPoint& a, const QPoint& b, int n, int from, int to) const
    {
        const QPoint s = PixelAt(a, b, n, from), e = PixelAt(a, b, n, to);
        if (s == e) {
            p.fillRect(QRect(s.x() - 1, s.y() - 1, 3, 3), colour);
            return;
        }
        p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.drawLine(s, e);
    }
    void DrawWire(QPainter& p, const ReplayStep& s) const
    {
        p.setPen(QPen(colour, 0));
        p.drawLine(t.ToScreen(s.from), t.ToScreen(s.to));
    }

    // Spends `units` on the steps; true when the replay is through.
    bool Run(double units)
    {
        budget += units;
        QPainter painter;
        auto paint = [&]() -> QPainter& {
            if (!painter.isActive())
                painter.begin(&layer);
            return painter;
        };
        while (step < replay.steps.size()) {
            const ReplayStep& s = replay.steps[step];
            if (!Moves(s)) {
                if (s.kind == ReplayStep::Kind::Wire && !wireDrawn) {
                    DrawWire(paint(), s);
                    wireDrawn = true;
                }
                const double need = std::max(0.0, s.wait) - waited;
                if (budget < need) {
                    waited += budget;
                    done += budget;
                    budget = 0;
                    return false;
                }
                budget -= need;
                done += need;
                waited = 0;
                wireDrawn = false;
                ++step;
                continue;
            }
            const bool cut = s.kind == ReplayStep::Kind::Cut;
            const QPoint a = t.ToScreen(s.from), b = t.ToScreen(s.to);
            const int n = PixelSteps(a, b);
            const double cost = cut ? kCutUnitsPerPixel : kTravelUnitsPerPixel;
            if (cut && pixel == 0)
                DrawCut(paint(), a, b, n, 0, 0);
            const int take = static_cast<int>(std::min<double>(n - pixel, std::floor(budget / cost + 1e-9)));
            if (take > 0) {
                if (cut)
                    DrawCut(paint(), a, b, n, pixel + 1, pixel + take);
                pixel += take;
                budget -= take * cost;
                done += take * cost;
            }
            pen = PixelAt(a, b, n, pixel);
            if (pixel < n)
                return false;
            pixel = 0;
            ++step;
        }
        return true;
    }

    // Draws everything done so far again, for a new size of the area.
    void Relayout(const JobViewTransform& to, const QSize& size, qreal dpr)
    {
        if (step < replay.steps.size() && Moves(replay.steps[step]) && pixel > 0) {
            const ReplayStep& s = replay.steps[step];
            const int before = PixelSteps(t.ToScreen(s.from), t.ToScreen(s.to));
            const int after = PixelSteps(to.ToScreen(s.from), to.ToScreen(s.to));
            pixel = before > 0 ? std::min(after, static_cast<int>(std::lround(static_cast<double>(pixel) * after / before))) : 0;
        }
        t = to;
        NewLayer(size, dpr);
        pen = t.ToScreen(replay.start);
        QPainter p(&layer);
        const size_t upTo = std::min(step + 1, replay.steps.size());
        for (size_t i = 0; i < upTo; ++i) {
            const ReplayStep& s = replay.steps[i];
            const bool current = i == step;
            if (s.kind == ReplayStep::Kind::Wire && (!current || wireDrawn))
                DrawWire(p, s);
            if (!Moves(s))
                continue;
            const QPoint a = t.ToScreen(s.from), b = t.ToScreen(s.to);
            const int n = PixelSteps(a, b);
            const int reached = current ? pixel : n;
            if (s.kind == ReplayStep::Kind::Cut)
                DrawCut(p, a, b, n, 0, reached);
            pen = PixelAt(a, b, n, reached);
        }
    }
};

// ---- the view ----

JobView::JobView(TJob& job, QWidget* parent) : QWidget(parent), m_job(job)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setMinimumSize(120, 90);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &JobView::Tick);
}

JobView::~JobView()
{
    // The job may already be gone (it belongs to the window): nothing of it
    // is touched here.
    if (m_filtering)
        qApp->removeEventFilter(this);
}

JobViewTransform JobView::Transform() const
{
    return JobViewTransform::Compute(m_job, JobViewMode::FromSettings(), width(), height(), m_statusHeight);
}

void JobView::SetStatusBarHeight(int height)
{
    if (height == m_statusHeight)
        return;
    m_statusHeight = height;
    update();
}

int32_t JobView::FigureAt(const QPoint& p) const
{
    const JobViewTransform t = Transform();
    if (!t.Valid())
        return -1;
    const QPointF at(p);
    int32_t found = -1;
    const auto count = static_cast<int32_t>(m_job.FigureList.size());
    for (int32_t i = 0; i < count; ++i) {
        const auto& fp = m_job.FigureList[static_cast<size_t>(i)];
        if (!fp || fp->Points.size() < 2)
            continue;
        const auto& pts = fp->Points;
        QPoint a = t.ToScreen(pts[0]);
        for (size_t k = 1; k < pts.size(); ++k) {
            const QPoint b = t.ToScreen(pts[k]);
            const bool far = std::min(a.x(), b.x()) - kPickDistance > p.x() || std::max(a.x(), b.x()) + kPickDistance < p.x() ||
                             std::min(a.y(), b.y()) - kPickDistance > p.y() || std::max(a.y(), b.y()) + kPickDistance < p.y();
            if (!far && DistanceToSegment(at, a, b) < kPickDistance) {
                found = i;
                break;
            }
            a = b;
        }
    }
    return found;
}

uint64_t JobView::FigureSignature(const JobViewTransform& t, const JobViewMode& mode) const
{
    Signature h;
    h.Add(static_cast<uint64_t>(width()) << 32 | static_cast<uint32_t>(height()));
    h.Add(devicePixelRatioF());
    h.Add(t.scale);
    h.Add(static_cast<uint64_t>(static_cast<uint32_t>(t.x0)) << 32 | static_cast<uint32_t>(t.y0));
    h.Add(static_cast<uint64_t>(static_cast<uint32_t>(t.minX)) << 32 | static_cast<uint32_t>(t.minY));
    h.Add(static_cast<uint64_t>(mode.mode) << 40 | static_cast<uint64_t>(mode.rotaryAxis) << 32 | static_cast<uint32_t>(mode.materialRadius));
    h.Add(static_cast<uint64_t>(static_cast<uint32_t>(m_job.AxisFigure)));
    h.Add(static_cast<uint64_t>(m_job.FigureList.size()));
    for (const auto& fp : m_job.FigureList) {
        h.Add(reinterpret_cast<uintptr_t>(fp.get()));
        if (!fp)
            continue;
        const tfigura& f = *fp;
        h.Add(reinterpret_cast<uintptr_t>(f.Points.data()));
        h.Add(static_cast<uint64_t>(f.Points.size()) << 24 | static_cast<uint64_t>(f.NotConnected) << 16 |
              static_cast<uint64_t>(f.Closed) << 8 | f.Pen);
        if (!f.Points.empty()) {
            h.Add(static_cast<uint64_t>(static_cast<uint32_t>(f.Points.front().x)) << 32 | static_cast<uint32_t>(f.Points.front().y));
            h.Add(static_cast<uint64_t>(static_cast<uint32_t>(f.Points.back().x)) << 32 | static_cast<uint32_t>(f.Points.back().y));
        }
    }
    return h.Value();
}

// The figures go into a picture kept until they or the area change: a
// repaint (the replay repaints all the time) only copies it, and the
// selection is drawn over it. The lines are set pixel by pixel straight into
// the picture; consecutive vertices on the same pixel make no line, and a
// figure that falls within one pixel is one point.
void JobView::RenderFigures(const JobViewTransform& t, const JobViewMode& mode)
{
    const qreal dpr = devicePixelRatioF();
    m_figures = QImage(size() * dpr, QImage::Format_RGB32);
    m_figures.setDevicePixelRatio(dpr);
    m_figures.fill(Qt::white);
    PixelCanvas canvas(m_figures);
    auto device = [&](const TFigPoint& p) {
        const QPoint q = t.ToScreen(p);
        return dpr == 1.0 ? q : QPoint(static_cast<int>(std::lround(q.x() * dpr)), static_cast<int>(std::lround(q.y() * dpr)));
    };
    const auto count = static_cast<int32_t>(m_job.FigureList.size());
    QColor previous = kBlack;
    for (int32_t i = 0; i < count; ++i) {
        const auto& fp = m_job.FigureList[static_cast<size_t>(i)];
        if (!fp)
            continue;
        const QColor colour = FigureColour(m_job, mode, i, previous);
        previous = colour;
        const auto& pts = fp->Points;
        if (pts.size() < 2)
            continue;
        const QRgb rgb = colour.rgb();
        QPoint prev = device(pts[0]);
        bool any = false;
        for (size_t k = 1; k < pts.size(); ++k) {
            const QPoint q = device(pts[k]);
            if (q == prev)
                continue;
            canvas.Line(prev, q, rgb);
            prev = q;
            any = true;
        }
        if (!any)
            canvas.Plot(prev.x(), prev.y(), rgb);
    }
}

void JobView::DrawSelection(QPainter& p, const JobViewTransform& t) const
{
    const int32_t selected = m_job.SelectedFigure;
    if (selected < 0 || static_cast<size_t>(selected) >= m_job.FigureList.size() || !m_job.FigureList[static_cast<size_t>(selected)])
        return;
    const auto& pts = m_job.FigureList[static_cast<size_t>(selected)]->Points;
    if (pts.size() < 2)
        return;
    QPolygon line;
    line.reserve(static_cast<qsizetype>(pts.size()));
    for (const TFigPoint& v : pts) {
        const QPoint q = t.ToScreen(v);
        if (line.isEmpty() || line.back() != q)
            line << q;
    }
    // Wide enough to cover the figure's own colour underneath.
    p.setPen(QPen(SelectionColour(), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (line.size() == 1)
        p.drawPoint(line.front());
    else
        p.drawPolyline(line);
}

void JobView::paintEvent(QPaintEvent*)
{
    if (m_job.ShowPath && !ReplayRunning())
        PaintPath();
    QPainter p(this);
    const JobViewMode mode = JobViewMode::FromSettings();
    const JobViewTransform t = JobViewTransform::Compute(m_job, mode, width(), height(), m_statusHeight);
    if (t.Valid()) {
        const uint64_t signature = FigureSignature(t, mode);
        if (!m_figuresValid || signature != m_signature) {
            RenderFigures(t, mode);
            m_signature = signature;
            m_figuresValid = true;
        }
        p.drawImage(0, 0, m_figures);
        DrawSelection(p, t);
        // Where the wire enters the material.
        const ReplayOptions options = ReplayOptions::FromSettings(m_job);
        const int32_t entry = ReplayEntryVertex(m_job);
        if (m_job.PathPlanned && entry >= 0 && ReplayKindFor(m_job, options) == ReplayKind::Plain) {
            const TFigPoint& e = m_job.FigureList[static_cast<size_t>(m_job.StartFigure)]->Points[static_cast<size_t>(entry)];
            p.setPen(QPen(kRed, 2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(t.ToScreen(e), 5, 5);
        }
    }
    if (m_anim) {
        p.drawImage(0, 0, m_anim->layer);
        if (!m_anim->finished) {
            p.setPen(QPen(m_anim->colour.darker(150), 1));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(m_anim->pen, 4, 4);
        }
    }
}

void JobView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_anim) {
        const JobViewTransform t = Transform();
        if (t.Valid())
            m_anim->Relayout(t, size(), devicePixelRatioF());
    }
    update();
}

void JobView::ShowVertexList(int32_t figure)
{
    const tfigura& f = *m_job.FigureList[static_cast<size_t>(figure)];
    QString text = "[mm]\r\n";
    for (size_t k = 0; k < f.Points.size(); ++k)
        text += "\r\np" + QString::number(k) + ":(" + QString::number(StepsToMm(f.Points[k].x), 'f', 2) + " ; " +
                QString::number(StepsToMm(f.Points[k].y), 'f', 2) + ")";
    ShowMessageBox(text, false, Tr("Project_window", "wybranaFiguraNr") + QString::number(figure));
}

void JobView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        emit InfoRequested();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int32_t hit = FigureAt(event->position().toPoint());
    m_job.SelectedFigure = hit;
    repaint();
    emit StatusText(hit < 0 ? QString() : Tr("Project_window", "wybranaFiguraNr") + QString::number(hit));
    const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier;
    if (hit >= 0 && (event->modifiers() & all) == all)
        ShowVertexList(hit);
}

void JobView::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && m_job.SelectedFigure >= 0)
        update();
    QWidget::mouseMoveEvent(event);
}

void JobView::mouseReleaseEvent(QMouseEvent* event)
{
    emit StatusText(QString());
    QWidget::mouseReleaseEvent(event);
}

// ---- the replay ----

void JobView::PaintPath()
{
    if (m_job.CapturePath) {
        m_job.CapturedPath = CapturePlannedPath(m_job, ReplayOptions::FromSettings(m_job));
        return;
    }
    StartReplay();
}

void JobView::StartReplay()
{
    m_timer.stop();
    m_anim.reset();
    m_aborted = false;
    const JobViewTransform t = Transform();
    auto anim = std::make_unique<Animation>();
    anim->replay = ComputeReplay(m_job, ReplayOptions::FromSettings(m_job));
    if (!t.Valid() || anim->replay.steps.empty()) {
        update();
        emit ReplayFinished(false);
        return;
    }
    const bool wires = anim->replay.kind == ReplayKind::TwoProfile;
    anim->keep = wires;
    anim->colour = wires ? kWireColour : kPathColour;
    anim->t = t;
    anim->NewLayer(size(), devicePixelRatioF());
    anim->pen = t.ToScreen(anim->replay.start);
    m_anim = std::move(anim);
    if (!m_filtering) {
        qApp->installEventFilter(this);
        m_filtering = true;
    }
    m_clock.start();
    m_timer.start();
    update();
}

void JobView::StopReplay()
{
    if (ReplayRunning())
        EndReplay(true);
}

bool JobView::ReplayRunning() const { return m_anim && !m_anim->finished; }

const JobReplay* JobView::Replay() const { return m_anim ? &m_anim->replay : nullptr; }

double JobView::ReplayUnitsDone() const { return m_anim ? m_anim->done : 0.0; }

double JobView::ReplayUnitsTotal() const
{
    if (!m_anim)
        return 0;
    double total = 0;
    for (const ReplayStep& s : m_anim->replay.steps)
        total += UnitsOf(s, m_anim->t);
    return total;
}

void JobView::Tick()
{
    const double ms = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
    m_clock.restart();
    AdvanceReplay(std::min(ms, kLongestTickMs));
}

void JobView::AdvanceReplay(double elapsedMs)
{
    if (!ReplayRunning() || elapsedMs <= 0)
        return;
    // The speed bar divides every wait: position 0 is real time, 20 is 21 times as fast.
    const double speed = std::clamp(Settings().Value("sbWspSymulacji"), 0.0, 20.0);
    const bool through = m_anim->Run(elapsedMs * (speed + 1.0));
    update();
    if (through)
        EndReplay(false);
}

void JobView::EndReplay(bool aborted)
{
    m_timer.stop();
    if (m_filtering) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
    m_aborted = aborted;
    if (m_anim) {
        m_anim->finished = true;
        // The path goes with the end of the replay; the wires of a two-profile
        // job stay to be looked at.
        if (!m_anim->keep)
            m_anim.reset();
    }
    update();
    emit ReplayFinished(aborted);
}

bool JobView::eventFilter(QObject* watched, QEvent* event)
{
    if (!ReplayRunning())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // A key stops the replay and does nothing else, shortcuts included.
        event->accept();
        return true;
    case QEvent::KeyPress:
        StopReplay();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            StopReplay();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
