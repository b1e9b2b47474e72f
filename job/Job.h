#pragma once
#include "app/WholeFile.h"
#include "job/Figure.h"
#include "job/Planner.h"

#include <QString>
#include <functional>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

// What a job asks of the window that shows it. The job window implements it;
// tests use a recording one.
class JobHost {
public:
    virtual ~JobHost() = default;
    virtual void SetCaption(const QString& caption) = 0;
    // The window's own status bar.
    virtual void SetOwnStatus(const QString& text) = 0;
    virtual void SetBusy(bool busy) = 0;
    // The job can't be shown (nothing to cut, unreadable drawing): the window goes.
    virtual void CloseWindow() = 0;
    // Planning starts: where its progress goes and whether the operator cancels
    // (nullptr: nobody watches). Planning ends: the window shows the plan.
    virtual PlanProgress* BeginPlanning() { return nullptr; }
    virtual void EndPlanning() {}
    // The machine a written job's commands go to at once (nullptr: none).
    virtual class Machine* AttachedMachine() { return nullptr; }
};

using TFigureList = std::vector<std::unique_ptr<tfigura>>;

// One point of a captured cut path, as the drawing merge reads it: the tag
// changes from one figure to the next; coordinates in steps.
struct TCapturedPoint {
    int32_t tag = 0;
    int32_t vertex = 0;
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const TCapturedPoint&, const TCapturedPoint&) = default;
};
static_assert(sizeof(TCapturedPoint) == 16);

// One cutting job: its figures in order (drawing figures first, then what the
// planners add), its bounds and the marks the planners set. Owned by its window.
class TJob {
public:
    explicit TJob(JobHost* host = nullptr);
    ~TJob();
    TJob(const TJob&) = delete;
    TJob& operator=(const TJob&) = delete;

    void SetHost(JobHost* host) { m_host = host; }

    // Reads a drawing into the figure list and plans it. Pen filter 255 keeps
    // every pen; any other value keeps that pen and pen 6. False when nothing
    // could be loaded; the operator has been told why and the window closed.
    // Running out of memory while loading, planning or saving gives the job
    // up the same way.
    bool Load(const QString& fileName, uint8_t penFilter);

    // Parameter computation of one figure.
    void licz_parametry(tfigura& figure) const;
    // Appends a drawing figure (the job takes ownership); returns its index.
    int32_t AddFigure(std::unique_ptr<tfigura> figure);
    // Appends a connector with the given closed flag; returns its index.
    int32_t AddLacznik(std::unique_ptr<tfigura> figure, uint8_t closed);
    // Every figure's Index from its position, and the job's bounds from the figures.
    void Ustaw_PPiPK();
    // First entry into the material of a rotary or turning job, in mm.
    double DajPoz1szegoWjazduWmat() const;
    // Plans one continuous wire path through every figure (work mode and frame
    // from the settings). When figures can't be reached the operator is told
    // how many, and the job stays unplanned.
    PlainPlanner::Result ciecie();
    // The planner of the work mode, as loading runs it. False when the job
    // can't be cut in this mode (the operator has been told why): the caller
    // closes the window once nothing works on the job any more.
    bool PlanForWorkMode();

    // Jobs cut around a rotary axis carry that axis as a straight two-point
    // line of the drawing. These planners find it, move the drawing so that
    // the axis starts at the origin and orient the figures; the turning ones
    // also fix the cutting order. Each returns false when the job can't be
    // planned: the operator has been told why and the caller closes the window.
    bool ciecie_obrotowe();
    // Turning on the rotary axis chosen in the settings.
    bool toczenie();
    bool toczenie_wrzeciono();
    bool toczenie_stolik();
    // The cutting order of a turning job: each figure after the figures that
    // hang from it (TurnParent), deeper figures' trees first.
    void sortuj_toczenie();

    // Writing the job as the machine command file, one method per kind of
    // cut (the job type code JobFileMode is set by the caller). Each returns
    // false when the file could not be written; the operator has been told.
    bool save_ciecie(const QString& fileName, double turn, int32_t lastSerialIndex = -1);
    bool Save_toczenie_wrzeciono(const QString& fileName, int32_t first, int32_t last);
    bool Save_toczenie_stolik(const QString& fileName, int32_t first, int32_t last);
    bool Save_ciecie_obrotowe(const QString& fileName, int32_t first, int32_t last);
    bool save_ciecie_seryjne_wrzeciono(const QString& fileName, int32_t first, int32_t sign, double turn, int32_t last);
    // The figures as a drawing again, each one polyline through its points:
    // HPGL in steps, or a plain DXF in millimetres. The file is replaced only
    // when written whole; the caller tells the operator when it could not be.
    WriteResult SaveAsHPGL(const QString& fileName) const;
    WriteResult ZapiszDXF(const QString& fileName) const;
    // Turns a figure round: its points (and what belongs to each point).
    void OdwrocKierunek(tfigura& figure);
    // Turns figure `index` round (every figure when index < 0); the figures
    // hanging from it stay at the same vertex, now numbered from the other end.
    void OdwrocKierunek(int32_t index);
    // Orients every figure that may be oriented: direction 1 from left to
    // right, any other value from right to left; each is then entered at its
    // first vertex.
    void UstawKierunek(int direction);

    TFigureList FigureList;
    int32_t JobMinX = 0;
    int32_t JobMinY = 0;
    int32_t JobMaxX = 0;
    int32_t JobMaxY = 0;
    int32_t JobWidth = 0;
    int32_t JobHeight = 0;
    int32_t InputFileType = 1;
    uint8_t SideDrawing = 0;
    int8_t FeedSign[2] = {1, 1};
    double RotationAngle = 0.0;
    int32_t SelectedFigure = -1;
    int32_t StartFigure = -1;
    int32_t AxisFigure = -1;
    int32_t MaxDepth = 0;
    double TotalLength = 0.0;
    int32_t SerialIndex = 0;
    uint8_t ShowPath = 0;
    uint8_t FrameAdded = 0;
    uint8_t StartOutline = 0;
    uint8_t PathPlanned = 0;
    uint8_t SingleOpenFigure = 0;
    // A job of two profiles cut at once (front and back wires).
    uint8_t TwoProfile = 0;
    // The start figure is cut too, not only walked for its connectors.
    uint8_t CutStartFigure = 0;
    // With ShowPath: the path is captured into CapturedPath instead of drawn.
    uint8_t CapturePath = 0;
    std::vector<TCapturedPoint> CapturedPath;
    // After the last save of a two-wire cut the manual control panel is shown.
    bool ShowControlPanel = false;
    // The rotary planner found a horizontal axis line: the material turns on
    // the spindle.
    uint8_t HasSpindleAxis = 0;
    // Nothing of the job lies above that horizontal axis.
    uint8_t FlatProfile = 0;
    // Distances in steps from the entry point to the four sides of the job.
    int32_t EntryToLeft = 0;
    int32_t EntryToRight = 0;
    int32_t EntryToTop = 0;
    int32_t EntryToBottom = 0;

private:
    bool LoadAndPlan(const QString& fileName, uint8_t penFilter);
    // Runs fn(); when memory runs out on the way, the job is given up (its
    // figures released, the operator told, the window closed) and `failed`
    // returned instead.
    template <typename Fn, typename R>
    R WithinMemory(Fn&& fn, R failed)
    {
        try {
            return fn();
        } catch (const std::bad_alloc&) {
            GiveUpOutOfMemory();
            return failed;
        }
    }
    void GiveUpOutOfMemory();
    bool m_givenUp = false;
    void EmitCuttingJob(class Thpgl& writer, double turn);
    void WalkConnectorTree(class Thpgl& writer, int32_t figure);
    bool Save(const QString& fileName, bool announce, int32_t lastSerialIndex,
              const std::function<void(class Thpgl&)>& walk);
    bool SaveWalked(const QString& fileName, bool announce, int32_t lastSerialIndex,
                    const std::function<void(class Thpgl&)>& walk);
    void WriteTurningOrRotary(class Thpgl& writer, int32_t first, int32_t last, bool turning);
    enum class RotaryPlan { Cutting, SpindleTurning, TableTurning };
    bool PlanAroundAxis(RotaryPlan plan);
    int32_t FindAxisLine(bool horizontal, bool rightmost) const;
    // The hourglass while a planner runs; nested planners keep it until the
    // outermost ends.
    void Busy(bool busy);
    int m_busyDepth = 0;
    JobHost* m_host;
};
