#include "job/Job.h"

#include "app/MainStatus.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/FlatMultiMap.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "machine/MachineConstants.h"

#include <algorithm>
#include <cmath>

// Open figures of the list by the cells their two ends fall in. A cell is at
// least as wide as the point tolerance, so every end near a point lies in the
// 3 x 3 cells around it.
class EndpointIndex {
public:
    explicit EndpointIndex(double tolerance)
        : m_cell(std::max<int64_t>(1, static_cast<int64_t>(std::ceil(tolerance))))
    {
    }

    void Add(const tfigura& f, int32_t pos)
    {
        const uint64_t a = CellKey(f.Points.front());
        const uint64_t b = CellKey(f.Points.back());
        m_cells.Insert(a, pos);
        if (b != a)
            m_cells.Insert(b, pos);
    }

    // Calls visit(pos) for every indexed figure with an end in the cells around p.
    template <typename Visit>
    void Around(const TFigPoint& p, Visit&& visit) const
    {
        const int64_t cx = Cell(p.x), cy = Cell(p.y);
        for (int64_t dx = -1; dx <= 1; ++dx)
            for (int64_t dy = -1; dy <= 1; ++dy)
                m_cells.ForEach(Key(cx + dx, cy + dy), visit);
    }

private:
    int64_t Cell(int32_t v) const
    {
        const int64_t q = v / m_cell;
        return (v % m_cell != 0 && v < 0) ? q - 1 : q;
    }
    static uint64_t Key(int64_t cx, int64_t cy)
    {
        return (static_cast<uint64_t>(cx) << 32) ^ (static_cast<uint64_t>(cy) & 0xFFFFFFFFULL);
    }
    uint64_t CellKey(const TFigPoint& p) const { return Key(Cell(p.x), Cell(p.y)); }

    int64_t m_cell;
    FlatMultiMap m_cells;
};

namespace {
uint64_t HashPoints(const std::vector<TFigPoint>& points)
{
    uint64_t h = 0xCBF29CE484222325ULL ^ points.size();
    for (const TFigPoint& p : points) {
        const uint64_t v = (static_cast<uint64_t>(static_cast<uint32_t>(p.x)) << 32) | static_cast<uint32_t>(p.y);
        h = (h ^ v) * 0x100000001B3ULL;
        h ^= h >> 29;
    }
    return h;
}

bool Joinable(const tfigura& f)
{
    return f.Points.size() > 1 && !(f.Points.size() >= 3 && NearPoint(f.Points.front(), f.Points.back()));
}

// Which end of F touches which end of N, in the order the joints are tried:
// 1 B-C, 2 B-D, 3 A-C, 4 A-D (A, B the ends of N; C, D those of F); 0 none.
int JointOf(const tfigura& n, const tfigura& f)
{
    const TFigPoint& a = n.Points.front();
    const TFigPoint& b = n.Points.back();
    const TFigPoint& c = f.Points.front();
    const TFigPoint& d = f.Points.back();
    if (NearPoint(b, c)) return 1;
    if (NearPoint(b, d)) return 2;
    if (NearPoint(a, c)) return 3;
    if (NearPoint(a, d)) return 4;
    return 0;
}

// F's touching point is dropped, so the joint keeps N's end point.
void Absorb(tfigura& n, const tfigura& f, int joint)
{
    const std::vector<TFigPoint>& fp = f.Points;
    std::vector<TFigPoint>& np = n.Points;
    switch (joint) {
    case 1:
        np.insert(np.end(), fp.begin() + 1, fp.end());
        break;
    case 2:
        np.insert(np.end(), fp.rbegin() + 1, fp.rend());
        break;
    case 3:
        np.insert(np.begin(), fp.rbegin(), fp.rend() - 1);
        break;
    case 4:
        np.insert(np.begin(), fp.begin(), fp.end() - 1);
        break;
    }
}
}  // namespace

TJob::TJob(JobHost* host) : m_host(host) {}

TJob::~TJob() = default;

void TJob::licz_parametry(tfigura& figure) const { ComputeFigureParameters(figure); }

int32_t TJob::AddFigure(std::unique_ptr<tfigura> figure)
{
    licz_parametry(*figure);
    figure->IsFigure = 1;
    FigureList.push_back(std::move(figure));
    return static_cast<int32_t>(FigureList.size() - 1);
}

int32_t TJob::AddLacznik(std::unique_ptr<tfigura> figure, uint8_t closed)
{
    licz_parametry(*figure);
    figure->Closed = closed;
    figure->IsFigure = 0;
    FigureList.push_back(std::move(figure));
    return static_cast<int32_t>(FigureList.size() - 1);
}

void TJob::Ustaw_PPiPK()
{
    JobMinX = 2147483647;
    JobMinY = 2147483647;
    JobMaxX = -2147483647;
    JobMaxY = -2147483647;
    for (size_t i = 0; i < FigureList.size(); ++i) {
        tfigura& f = *FigureList[i];
        f.Index = static_cast<int32_t>(i);
        JobMinX = std::min(JobMinX, f.MinX);
        JobMinY = std::min(JobMinY, f.MinY);
        JobMaxX = std::max(JobMaxX, f.MaxX);
        JobMaxY = std::max(JobMaxY, f.MaxY);
    }
}

double TJob::DajPoz1szegoWjazduWmat() const
{
    const int stolik = Settings().StolikSwitch();
    for (size_t i = 0; i < FigureList.size(); ++i) {
        if (static_cast<int32_t>(i) == AxisFigure)
            continue;
        const tfigura& f = *FigureList[i];
        if (f.Points.empty())
            return 0.0;
        if (stolik == 0)
            return StepsToMm(f.Points.front().x);
        if (stolik == 1)
            return StepsToMm(f.Points.front().y);
        return 0.0;
    }
    return 0.0;
}

// Absorbs into N every open figure of the list whose end touches one of N's ends,
// in passes over the list until a pass joins nothing, or until N has closed.
// Within a pass the figures are taken in list order; the index only finds them.
void TJob::JoinOpenFigures(tfigura& n, EndpointIndex& ends)
{
    int64_t passPos = -1;
    bool joinedThisPass = false;
    while (Joinable(n)) {
        int32_t best = -1;
        auto consider = [&](int32_t pos) {
            if (pos <= passPos || (best >= 0 && pos >= best))
                return;
            const tfigura* f = FigureList[static_cast<size_t>(pos)].get();
            if (f && JointOf(n, *f) != 0)
                best = pos;
        };
        ends.Around(n.Points.front(), consider);
        ends.Around(n.Points.back(), consider);
        if (best < 0) {
            if (!joinedThisPass)
                return;
            passPos = -1;
            joinedThisPass = false;
            continue;
        }
        std::unique_ptr<tfigura>& slot = FigureList[static_cast<size_t>(best)];
        Absorb(n, *slot, JointOf(n, *slot));
        slot.reset();
        passPos = best;
        joinedThisPass = true;
    }
}

bool TJob::Load(const QString& fileName, uint8_t penFilter)
{
    ShowPath = 0;
    FrameAdded = 0;
    StartOutline = 0;
    PathPlanned = 0;
    const int catDir = Settings().CatDir();
    FeedSign[0] = FeedSign[1] = catDir == 1 ? -1 : 1;

    SetMainStatusText("Open file " + fileName);
    if (m_host) {
        m_host->SetCaption(fileName);
        m_host->SetBusy(true);
    }
    auto fail = [&](const QString& text) {
        FigureList.clear();
        if (m_host)
            m_host->SetBusy(false);
        SetMainStatusText(QString());
        ShowMessageBox(text, true);
        if (m_host)
            m_host->CloseWindow();
        return false;
    };

    FigureList.clear();
    Thpgl reader;
    try {
        const int code = reader.OpenInput(fileName, InputFileType);
        if (code != 0)
            return fail(code == 32 ? Tr("Project_window", "zbioruUzywaInnyProces")
                                   : Tr("Universal", "zbioruNieMoznaOtworzyc") + fileName);

        EndpointIndex ends(PointTolerance);
        // List positions of the figures by the hash of their points. Drawings
        // take some hundred bytes a contour: room for that many from the start.
        FlatMultiMap shapes;
        const auto expected = static_cast<size_t>(std::min<int64_t>(reader.InputBytes() / 256, 1 << 24));
        shapes.Reserve(expected);
        FigureList.reserve(expected);
        // The reader fills one scratch figure, whose point buffer is kept from
        // figure to figure; a figure that stays is copied out at its exact size.
        tfigura scratch;
        auto clearScratch = [&] {
            std::vector<TFigPoint> buffer = std::move(scratch.Points);
            buffer.clear();
            scratch = tfigura();
            scratch.Points = std::move(buffer);
            scratch.TurnParent = -1;
        };
        clearScratch();
        while (!reader.EndOfInput) {
            reader.ReadFigure(scratch);
            if (!scratch.Valid)
                continue;
            // A single point (or a point repeated) has nothing to cut.
            const bool keep = HasTwoDistinctPoints(scratch) &&
                              (penFilter == 255 || scratch.Pen == penFilter || scratch.Pen == 6);
            if (!keep) {
                clearScratch();
                continue;
            }
            JoinOpenFigures(scratch, ends);
            const uint64_t hash = HashPoints(scratch.Points);
            bool duplicate = false;
            shapes.ForEach(hash, [&](int32_t at) {
                const tfigura* other = FigureList[static_cast<size_t>(at)].get();
                duplicate = duplicate || (other && other->Points == scratch.Points);
            });
            if (!duplicate) {
                licz_parametry(scratch);
                const auto pos = static_cast<int32_t>(FigureList.size());
                shapes.Insert(hash, pos);
                if (scratch.IsOpen && scratch.Points.size() > 1)
                    ends.Add(scratch, pos);
                FigureList.push_back(std::make_unique<tfigura>(scratch));
            }
            clearScratch();
        }
        RotationAngle = 100.0 * reader.PenTable[1].Width;
        reader.CloseInput();
    } catch (const ReaderError&) {
        return fail(Tr("Universal", "zbioruNieMoznaOtworzyc") + fileName);
    } catch (const std::bad_alloc&) {
        return fail(Tr("Universal", "zbioruNieMoznaOtworzyc") + fileName);
    }
    // Figures absorbed by joining left holes behind.
    std::erase_if(FigureList, [](const std::unique_ptr<tfigura>& f) { return !f; });

    if (FigureList.empty())
        return fail(Tr("Project_window", "zbiorPusty"));

    Ustaw_PPiPK();
    JobWidth = static_cast<int32_t>(std::min<int64_t>(2147483647, static_cast<int64_t>(JobMaxX) - JobMinX));
    JobHeight = static_cast<int32_t>(std::min<int64_t>(2147483647, static_cast<int64_t>(JobMaxY) - JobMinY));
    for (auto& f : FigureList) {
        f->OriginX = JobMinX;
        f->OriginY = JobMinY;
    }
    MaxDepth = 0;
    SelectedFigure = -1;
    if (m_host) {
        m_host->SetBusy(false);
        m_host->SetOwnStatus(Tr("Project_window", "iloscFigur") + QString::number(FigureList.size()));
    }
    SetMainStatusText(QString());

    // The job against the machine's travel at the scale in force.
    const double skala = Settings().Skala();
    const double widthMm = StepsToMm(static_cast<double>(RoundToInt64Sat(skala * JobWidth / 100.0)));
    const double heightMm = StepsToMm(static_cast<double>(RoundToInt64Sat(skala * JobHeight / 100.0)));
    const bool side = SideDrawing == 1;
    const double limitX = side ? SideLimitX : FrontLimitX;
    const double limitY = side ? SideLimitY : FrontLimitY;
    if (widthMm > limitX || heightMm > limitY)
        ShowMessageBox(Tr("Main_window", "projektZaDuzy"), true,
                       side ? Tr("Control", "VeKeyBack.caption") : Tr("Control", "KeyFront.caption"));

    // The job stays unplanned here: planning by work mode follows loading once
    // the planners are part of the program.
    return true;
}
