#pragma once
#include "job/Figure.h"
#include "job/Replay.h"

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

class QPainter;
class TJob;

// What the drawing depends on besides the job: the work mode, whether a
// rotary axis is in use, and the material radius (steps) that a turning job
// must show whole.
struct JobViewMode {
    int mode = 0;
    bool rotaryAxis = false;
    int32_t materialRadius = 0;

    static JobViewMode FromSettings();
};

// Job steps to pixels of the drawing area: the job's lower-left corner 7
// pixels in from the left and up from the bottom, one scale for both axes so
// that the whole job fits with room for the window's status bar, y upwards.
struct JobViewTransform {
    double scale = 0;
    int x0 = 7;
    int y0 = 0;
    int32_t minX = 0;
    int32_t minY = 0;

    bool Valid() const { return scale > 0; }
    QPoint ToScreen(int32_t x, int32_t y) const;
    QPoint ToScreen(const TFigPoint& p) const { return ToScreen(p.x, p.y); }
    TFigPoint ToJob(const QPoint& p) const;

    // width and height of the drawing area, statusHeight of the status bar
    // below it. Invalid when the job has nothing to show or the area no room.
    static JobViewTransform Compute(const TJob& job, const JobViewMode& mode, int width, int height, int statusHeight);
};

// The colour of figure `index` in the work mode; `previous` is the colour of
// the figure drawn before (the independent-wires mode keeps it for pens it
// has no colour of its own for).
QColor FigureColour(const TJob& job, const JobViewMode& mode, int32_t index, const QColor& previous);

// The drawing area of a job window: the job's figures coloured by the work
// mode, the entry into the material, the selected figure, and the animated
// replay of the cut (the simulation).
class JobView : public QWidget {
    Q_OBJECT
public:
    explicit JobView(TJob& job, QWidget* parent = nullptr);
    ~JobView() override;

    // The selected figure is drawn over the others in this colour, wider:
    // white would vanish on the white background.
    static QColor SelectionColour() { return QColor(255, 0, 255); }

    JobViewTransform Transform() const;
    void SetStatusBarHeight(int height);

    // The figure with an edge within 3 pixels of p (the last such figure in
    // list order), -1 when none.
    int32_t FigureAt(const QPoint& p) const;

    // What a paint with the job's ShowPath set does: with CapturePath the
    // cut's path is captured into CapturedPath, nothing drawn; otherwise the
    // replay starts.
    void PaintPath();
    // The replay animates with a timer; the window keeps working meanwhile.
    // A key press or a left click anywhere in the program stops it.
    void StartReplay();
    void StopReplay();
    bool ReplayRunning() const;
    // The last replay was stopped by the operator (until the next starts).
    bool ReplayAborted() const { return m_aborted; }
    // Moves the replay on by elapsed real time (the timer calls it); the
    // simulation speed setting multiplies it.
    void AdvanceReplay(double elapsedMs);
    // Units of the replay passed so far and in all (pixels and pauses at the
    // slowest speed, for the current size of the area).
    double ReplayUnitsDone() const;
    double ReplayUnitsTotal() const;
    // The steps being animated or still shown; nullptr when there are none.
    const JobReplay* Replay() const;

signals:
    void StatusText(const QString& text);
    void InfoRequested();
    void ReplayFinished(bool aborted);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Animation;
    void EndReplay(bool aborted);
    void Tick();
    void RenderFigures(const JobViewTransform& t, const JobViewMode& mode);
    void DrawSelection(QPainter& p, const JobViewTransform& t) const;
    uint64_t FigureSignature(const JobViewTransform& t, const JobViewMode& mode) const;
    void ShowVertexList(int32_t figure);

    TJob& m_job;
    int m_statusHeight = 0;
    QImage m_figures;          // the figures as last drawn
    uint64_t m_signature = 0;  // what they were drawn from
    bool m_figuresValid = false;
    std::unique_ptr<Animation> m_anim;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_aborted = false;
    bool m_filtering = false;
};
