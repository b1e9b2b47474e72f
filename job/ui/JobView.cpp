#include "job/ui/JobView.h"

#include "job/Job.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {
constexpr int kMargin = 12;
}

JobView::JobView(const TJob& job, QWidget* parent) : QWidget(parent), m_job(job)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setMinimumSize(120, 90);
}

QTransform JobView::JobToView() const
{
    if (m_job.FigureList.empty() || m_job.JobMaxX < m_job.JobMinX || m_job.JobMaxY < m_job.JobMinY)
        return {};
    const double w = std::max(1.0, static_cast<double>(m_job.JobMaxX) - m_job.JobMinX);
    const double h = std::max(1.0, static_cast<double>(m_job.JobMaxY) - m_job.JobMinY);
    const double availW = std::max(1, width() - 2 * kMargin);
    const double availH = std::max(1, height() - 2 * kMargin);
    const double scale = std::min(availW / w, availH / h);
    const double offX = kMargin + (availW - w * scale) / 2.0;
    const double offY = kMargin + (availH - h * scale) / 2.0;
    // x' = offX + (x - minX) * s ; y' = offY + (maxY - y) * s
    return QTransform(scale, 0, 0, -scale, offX - m_job.JobMinX * scale, offY + m_job.JobMaxY * scale);
}

void JobView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QTransform t = JobToView();
    painter.setRenderHint(QPainter::Antialiasing, m_job.FigureList.size() < 20000);
    // Drawn figures black, the frame grey, connectors blue; the entry into
    // the material as a red ring.
    const QPen drawn(Qt::black, 0), frame(Qt::gray, 0, Qt::DashLine), connector(QColor(0, 90, 220), 0);
    for (const auto& f : m_job.FigureList) {
        if (!f || f->Points.size() < 2)
            continue;
        painter.setPen(f->Origin == 1 ? frame : f->Origin == 3 ? connector : drawn);
        QPolygonF poly;
        poly.reserve(static_cast<qsizetype>(f->Points.size()));
        for (const TFigPoint& p : f->Points)
            poly << t.map(QPointF(p.x, p.y));
        painter.drawPolyline(poly);
    }
    if (m_job.PathPlanned && m_job.StartFigure >= 0 && static_cast<size_t>(m_job.StartFigure) < m_job.FigureList.size()) {
        const tfigura& start = *m_job.FigureList[static_cast<size_t>(m_job.StartFigure)];
        if (m_job.FigureList[static_cast<size_t>(m_job.StartFigure)] && start.EntryVertex >= 0 &&
            static_cast<size_t>(start.EntryVertex) < start.Points.size()) {
            const TFigPoint& e = start.Points[static_cast<size_t>(start.EntryVertex)];
            painter.setPen(QPen(Qt::red, 2));
            painter.drawEllipse(t.map(QPointF(e.x, e.y)), 5, 5);
        }
    }
}
