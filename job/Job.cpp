#include "job/Job.h"

#include "app/MainStatus.h"
#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "job/FigureAssembler.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "machine/MachineConstants.h"

#include <algorithm>
#include <cmath>

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

namespace {
// What the reader says went wrong, and where it stopped, for the operator.
QString ReaderFailureText(const ReaderError& e)
{
    using R = ReaderError::Reason;
    QString why;
    switch (e.reason) {
    case R::CannotOpen:
    case R::CannotRead: why = e.detail; break;
    case R::CoordinateOutOfRange: why = Tr("Project_window", "wspolrzednaPozaZakresem"); break;
    case R::FileEndsEarly: why = Tr("Project_window", "plikUrwany"); break;
    case R::GroupCodeExpected: why = Tr("Project_window", "oczekiwanoKoduGrupy"); break;
    case R::NumberExpected: why = Tr("Project_window", "oczekiwanoLiczby"); break;
    case R::WholeNumberExpected: why = Tr("Project_window", "oczekiwanoLiczbyCalkowitej"); break;
    case R::CurveNotFinite: why = Tr("Project_window", "krzywaNieskonczona"); break;
    case R::TooManySegments: why = Tr("Project_window", "zaDuzoOdcinkow"); break;
    case R::EntityIncomplete: why = Tr("Project_window", "obiektNiepelny").arg(e.detail); break;
    case R::SplineMismatch: why = Tr("Project_window", "splineNiespojny"); break;
    }
    if (e.where == ReaderError::Where::Line)
        why += "\n" + Tr("Project_window", "odczytPrzerwanyWierszu").arg(e.position);
    else if (e.where == ReaderError::Where::ByteOffset)
        why += "\n" + Tr("Project_window", "odczytPrzerwanyBajcie").arg(e.position);
    return why;
}
}  // namespace

bool TJob::Load(const QString& fileName, uint8_t penFilter)
{
    m_givenUp = false;
    return WithinMemory([&] { return LoadAndPlan(fileName, penFilter) && !m_givenUp; }, false);
}

void TJob::GiveUpOutOfMemory()
{
    // The figures go first: they hold the memory the message needs.
    FigureList = TFigureList();
    CapturedPath = std::vector<TCapturedPoint>();
    PathPlanned = 0;
    m_givenUp = true;
    m_busyDepth = 0;
    if (m_host)
        m_host->SetBusy(false);
    SetMainStatusText(QString());
    ShowMessageBox(Tr("Project_window", "brakPamieci"), true);
    if (m_host)
        m_host->CloseWindow();
}

bool TJob::LoadAndPlan(const QString& fileName, uint8_t penFilter)
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
        const int code = reader.OpenInput(fileName, InputFileType, CurrentLengthUnit);
        if (code != 0)
            return fail(code == 32 ? Tr("Project_window", "zbioruUzywaInnyProces")
                                   : Tr("Universal", "zbioruNieMoznaOtworzyc") + fileName);

        // Drawings take some hundred bytes a contour: room for that many from the start.
        FigureAssembler assembler(PointTolerance,
                                  static_cast<size_t>(std::min<int64_t>(reader.InputBytes() / 256, 1 << 24)));
        auto figure = std::make_unique<tfigura>();
        while (!reader.EndOfInput) {
            reader.ReadFigure(*figure);
            if (!figure->Valid)
                continue;  // nothing read: the same figure serves the next read
            // A single point (or a point repeated) has nothing to cut.
            const bool keep = HasTwoDistinctPoints(*figure) &&
                              (penFilter == 255 || figure->Pen == penFilter || figure->Pen == 6);
            if (keep) {
                figure->TurnParent = -1;
                assembler.Add(std::move(figure));
            }
            figure = std::make_unique<tfigura>();
        }
        FigureList = assembler.Finish();
        for (auto& f : FigureList)
            licz_parametry(*f);
        RotationAngle = 100.0 * reader.PenTable[1].Width;
        reader.CloseInput();
    } catch (const ReaderError& e) {
        return fail(Tr("Universal", "zbioruNieMoznaOtworzyc") + fileName + "\n" + ReaderFailureText(e));
    }
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

    // A planner that can't plan the job leaves the closing to us: the window
    // goes only once the planner is done with the figures.
    if (!PlanForWorkMode()) {
        if (m_host && !m_givenUp)  // a job given up has closed its window already
            m_host->CloseWindow();
        return false;
    }
    return true;
}

PlainPlanner::Result TJob::ciecie()
{
    return WithinMemory(
        [&] {
            PlainPlanner planner(*this, Settings().Mode(), Settings().Checked("AddFrame"));
            PlainPlanner::Result result;
            {
                // However the planner leaves, the window stops showing its progress.
                struct Planning {
                    JobHost* host;
                    ~Planning()
                    {
                        if (host)
                            host->EndPlanning();
                    }
                } planning{m_host};
                result = planner.Run(m_host ? m_host->BeginPlanning() : nullptr);
                SetMainStatusText(QString());
            }
            if (result == PlainPlanner::Result::Unreachable)
                ShowMessageBox(Tr("Project_window", "figuryNiepolaczone") + QString::number(planner.Unconnected()),
                               true);
            return result;
        },
        PlainPlanner::Result::Cancelled);
}

bool TJob::PlanForWorkMode()
{
    const int mode = Settings().Mode();
    const int rotary = Settings().StolikSwitch();
    // Rotary cutting always goes round the drawn axis, serial cutting only on
    // the spindle, turning on a spindle or a table. Everything else is cut plain.
    if (mode == 1 || (mode == 2 && rotary == 0))
        return ciecie_obrotowe();
    if (mode == 3 && (rotary == 0 || rotary == 1))
        return toczenie();
    ciecie();
    return true;
}

namespace {
// Turns round every figure marked (of at least two points). Vertex numbers
// that belong to a turned figure count from its other end afterwards, so its
// entry and what hangs from it stay at the same points.
void TurnFigures(TJob& job, const std::vector<uint8_t>& marked)
{
    auto& list = job.FigureList;
    const auto count = static_cast<int32_t>(list.size());
    auto turned = [&](int32_t i) {
        return i >= 0 && i < count && marked[static_cast<size_t>(i)] && list[static_cast<size_t>(i)]->Points.size() >= 2;
    };
    auto flip = [](int32_t& v, int32_t n) {
        if (v >= 0 && v <= n)
            v = n - v;
    };
    for (int32_t i = 0; i < count; ++i) {
        if (!turned(i))
            continue;
        tfigura& f = *list[static_cast<size_t>(i)];
        const auto n = static_cast<int32_t>(f.Points.size()) - 1;
        job.OdwrocKierunek(f);
        flip(f.EntryVertex, n);
        flip(f.IdxMinX, n);
        flip(f.IdxMaxX, n);
        flip(f.IdxMinY, n);
        flip(f.IdxMaxY, n);
    }
    for (auto& g : list)
        if (turned(g->ConnParent))
            flip(g->ConnParentVertex, static_cast<int32_t>(list[static_cast<size_t>(g->ConnParent)]->Points.size()) - 1);
}
}  // namespace

void TJob::OdwrocKierunek(int32_t index)
{
    if (index >= static_cast<int32_t>(FigureList.size()))
        return;
    std::vector<uint8_t> marked(FigureList.size(), index < 0 ? 1 : 0);
    if (index >= 0)
        marked[static_cast<size_t>(index)] = 1;
    TurnFigures(*this, marked);
}

void TJob::UstawKierunek(int direction)
{
    std::vector<uint8_t> marked(FigureList.size(), 0);
    for (size_t i = 0; i < FigureList.size(); ++i) {
        const tfigura& f = *FigureList[i];
        if (f.MayOrient && f.Points.size() >= 2) {
            const int32_t first = f.Points.front().x, last = f.Points.back().x;
            marked[i] = direction == 1 ? last < first : first < last;
        }
    }
    TurnFigures(*this, marked);
    for (auto& f : FigureList)
        if (f->MayOrient)
            f->EntryVertex = 0;
    SetMainStatusText(QString());
}
