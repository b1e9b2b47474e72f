#pragma once
#include "job/Figure.h"
#include "job/Planner.h"

#include <QString>
#include <cstdint>
#include <memory>
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
};

using TFigureList = std::vector<std::unique_ptr<tfigura>>;

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
    // The planner of the work mode, as loading runs it.
    void PlanForWorkMode();

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
    // Distances in steps from the entry point to the four sides of the job.
    int32_t EntryToLeft = 0;
    int32_t EntryToRight = 0;
    int32_t EntryToTop = 0;
    int32_t EntryToBottom = 0;

private:
    JobHost* m_host;
};
