#include "production/Duplication.h"

#include "app/MessageBoxes.h"
#include "app/NumericEntry.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "production/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

namespace {
const QString kSection = "Duplication_parameters";
const QString kElements = "Number of elements in a row";
const QString kRows = "Number of rows";
const QString kSpacingX = "Space between the elements";
const QString kSpacingY = "Space between the rows";
const QString kGapVertical = "Space between the elements and the vertical connecting line";
const QString kGapHorizontal = "Space between the elements and the horizontal connecting line";

QString Text(const char* key) { return Tr("Duplication_parameters", key); }

// Files of either decimal mark read alike; a value that is no number keeps
// the default.
double ReadNumber(const TIniFile& ini, const QString& key, double fallback)
{
    const auto text = ini.Value(kSection, key);
    if (!text)
        return fallback;
    QString t = *text;
    t.replace(',', '.');
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(v) ? v : fallback;
}

QString WriteNumber(double value) { return FloatToStrGeneral(value, QLocale::c()); }

// A length as the messages show it: two decimals in the display unit.
QString ShownLength(double mm)
{
    return FloatToStrF(MmToUnit(CurrentLengthUnit, mm), ffFixed, 15, 2) + " " + UnitName(CurrentLengthUnit);
}

int32_t GapSteps(double mm) { return std::max<int32_t>(1, MmToSteps(mm)); }

constexpr int64_t kMaxCoordinate = std::numeric_limits<int32_t>::max();

bool InRange(int64_t low, int64_t high) { return low >= -kMaxCoordinate && high <= kMaxCoordinate; }

// A count cut to whole elements; huge counts stay huge without overflowing.
int64_t WholeCount(double count)
{
    if (!(count >= 0))
        return 0;
    return count >= 1e12 ? int64_t{1000000000000} : static_cast<int64_t>(count);
}

int64_t FigureCount(const TJob& job) { return std::max<int64_t>(1, static_cast<int64_t>(job.FigureList.size())); }

// Every copy of the pattern and the connector's runs beside them stay in the
// 32-bit range of the steps, along x for the columns and along y for the rows.
bool ColumnsFit(const TJob& p, int64_t n, const DuplicationParams& params)
{
    const int64_t sx = std::llabs(MmToSteps(params.SpacingX));
    const int64_t gv = std::llabs(GapSteps(params.GapVertical));
    const int64_t w = std::llabs(int64_t{p.JobMaxX} - p.JobMinX);
    const int64_t m = MmToSteps(1);
    return InRange(int64_t{p.JobMinX} - gv - m, int64_t{p.JobMaxX} + n * sx + w + gv);
}

bool RowsFit(const TJob& p, int64_t rows, const DuplicationParams& params)
{
    const int64_t sy = std::llabs(MmToSteps(params.SpacingY));
    const int64_t gv = std::llabs(GapSteps(params.GapVertical));
    const int64_t gh = std::llabs(GapSteps(params.GapHorizontal));
    const int64_t m = MmToSteps(1);
    return InRange(int64_t{p.JobMinY} - gv - gh - sy - 2 * m, int64_t{p.JobMaxY} + rows * sy + gh + gv + m);
}

// The pattern's start figure; an unplanned pattern enters at its first figure.
const tfigura* StartOf(const TJob& pattern)
{
    const auto& list = pattern.FigureList;
    if (pattern.StartFigure >= 0 && pattern.StartFigure < static_cast<int32_t>(list.size()) &&
        !list[pattern.StartFigure]->Points.empty())
        return list[pattern.StartFigure].get();
    for (const auto& f : list)
        if (!f->Points.empty())
            return f.get();
    return nullptr;
}
}  // namespace

void SetDefaultSpacing(DuplicationParams& params, double patternWidth, double patternHeight)
{
    params.SpacingX = patternWidth + 10;
    params.SpacingY = patternHeight + 10;
    params.GapVertical = (params.SpacingX - patternWidth) / 2;
    params.GapHorizontal = (params.SpacingY - patternHeight) / 2;
}

QString DplFileNameFor(const QString& caption)
{
    if (caption.isEmpty())
        return QString();
    const qsizetype slash = std::max(caption.lastIndexOf('/'), caption.lastIndexOf('\\'));
    const qsizetype dot = caption.lastIndexOf('.');
    return (dot > slash ? caption.left(dot) : caption) + ".dpl";
}

bool HasParametersFolder(const QString& caption)
{
    return QDir::isAbsolutePath(caption) && !QFileInfo(caption).fileName().isEmpty();
}

bool ReadDplFile(const QString& path, double patternWidth, double patternHeight, DuplicationParams& params)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isFile())
        return false;
    TIniFile ini;
    if (!ini.Load(path) || !ini.SectionExists(kSection))
        return false;
    params.ElementsPerRow = ReadNumber(ini, kElements, 2);
    params.RowCount = ReadNumber(ini, kRows, 1);
    params.SpacingX = ReadNumber(ini, kSpacingX, patternWidth + 10);
    params.SpacingY = ReadNumber(ini, kSpacingY, patternHeight + 10);
    // The gaps are kept in steps.
    params.GapVertical = StepsToMm(MmToSteps(ReadNumber(ini, kGapVertical, (params.SpacingX - patternWidth) / 2)));
    params.GapHorizontal =
        StepsToMm(MmToSteps(ReadNumber(ini, kGapHorizontal, (params.SpacingY - patternHeight) / 2)));
    return true;
}

WriteResult WriteDplFile(const QString& path, const DuplicationGrid& grid)
{
    TIniFile ini;
    // Other sections of an existing file are kept; one that can't be read is
    // not overwritten.
    QString error;
    if (QFileInfo(path).isFile() && !ini.Load(path, &error))
        return WriteResult::Failed(path, error);
    ini.EraseSection(kSection);
    ini.SetValue(kSection, kElements, QString::number(grid.ElementsPerRow));
    ini.SetValue(kSection, kRows, QString::number(grid.RowCount));
    ini.SetValue(kSection, kSpacingX, WriteNumber(grid.SpacingX));
    ini.SetValue(kSection, kSpacingY, WriteNumber(grid.SpacingY));
    ini.SetValue(kSection, kGapVertical, WriteNumber(StepsToMm(grid.GapVertical)));
    ini.SetValue(kSection, kGapHorizontal, WriteNumber(StepsToMm(grid.GapHorizontal)));
    return ini.Save(path);
}

DuplicationField CheckDuplication(const DuplicationParams& p, const TJob& pattern)
{
    const double width = StepsToMm(pattern.JobWidth);
    const double height = StepsToMm(pattern.JobHeight);
    const int64_t k = FigureCount(pattern);
    // Whole elements count: half an element is none.
    const int64_t n = WholeCount(p.ElementsPerRow);
    const int64_t m = WholeCount(p.RowCount);
    if (n < 1 || n > MaxDuplicatedFigures || n * k > MaxDuplicatedFigures || !ColumnsFit(pattern, n, p)) {
        ShowMessageBox(Text("BlednaIloscElem"), true);
        return DuplicationField::ElementsPerRow;
    }
    if (m < 1 || m > MaxDuplicatedFigures || n * m * k > MaxDuplicatedFigures || !RowsFit(pattern, m, p)) {
        ShowMessageBox(Text("BlednaIloscWierszy"), true);
        return DuplicationField::RowCount;
    }
    if (!(p.SpacingX >= width)) {
        const QString question = Text("ElNachodzaNaSiebie") + "\n" + Text("SzerokoscPojedynElem") + ": " +
                                 ShownLength(width) + "\n\n" + Text("CzyAkceptujesz");
        if (Ask(question, MessageButtons::YesCancel) != mrYes)
            return DuplicationField::SpacingX;
    }
    if (!(p.SpacingY >= height)) {
        ShowMessageBox(Text("BlednePrzesMdzyWier") + "\nmin: " + ShownLength(height), true);
        return DuplicationField::SpacingY;
    }
    if (!(p.GapVertical < p.SpacingX - width)) {
        ShowMessageBox(Text("OdlLacznikaPionZaDuza"), true);
        return DuplicationField::GapVertical;
    }
    if (!(p.GapHorizontal < p.SpacingY - height)) {
        ShowMessageBox(Text("OdlLacznikaPoziomZaDuza"), true);
        return DuplicationField::GapHorizontal;
    }
    return DuplicationField::None;
}

DuplicationGrid ConfirmDuplication(const DuplicationParams& p)
{
    DuplicationGrid g;
    g.ElementsPerRow = static_cast<int32_t>(WholeCount(std::min(p.ElementsPerRow, 2147483647.0)));
    g.RowCount = static_cast<int32_t>(WholeCount(std::min(p.RowCount, 2147483647.0)));
    g.SpacingX = p.SpacingX;
    g.SpacingY = p.SpacingY;
    g.GapVertical = GapSteps(p.GapVertical);
    g.GapHorizontal = GapSteps(p.GapHorizontal);
    g.Jog = MmToSteps(p.SpacingX * 10 / 100);
    return g;
}

std::vector<TFigPoint> DuplicationConnector(const TJob& pattern, const DuplicationGrid& g)
{
    std::vector<TFigPoint> out;
    const tfigura* start = StartOf(pattern);
    const int32_t n = g.ElementsPerRow, m = g.RowCount;
    if (!start || n < 1 || m < 1)
        return out;
    const int32_t w = pattern.JobWidth;
    const int32_t sx = MmToSteps(g.SpacingX), sy = MmToSteps(g.SpacingY);
    const int32_t j = g.Jog, gv = g.GapVertical, gh = g.GapHorizontal, mm = MmToSteps(1);
    const int32_t x0 = pattern.JobMinX, y0 = pattern.JobMinY;
    // The checks keep every point in range; the sums are made wide all the same.
    // A point repeated at once is left out: a run of no length has no direction.
    auto at = [&](int64_t x, int64_t y) {
        const TFigPoint p{static_cast<int32_t>(std::clamp<int64_t>(x, -kMaxCoordinate, kMaxCoordinate)),
                          static_cast<int32_t>(std::clamp<int64_t>(y, -kMaxCoordinate, kMaxCoordinate))};
        if (out.empty() || !(out.back() == p))
            out.push_back(p);
    };
    struct P64 {
        int64_t x, y;
    };
    auto entry = [&](int32_t a, int32_t b) {
        return P64{int64_t{start->Points[0].x} + int64_t{b} * sx, int64_t{start->Points[0].y} + int64_t{a} * sy};
    };
    auto point = [&](P64 p) { at(p.x, p.y); };

    const int64_t startY = (m % 2 == 1) ? int64_t{y0} - gv - mm : int64_t{y0} - gv;
    at(int64_t{x0} - gv - mm, startY);
    at(int64_t{x0} - gv - mm, startY + int64_t{sy} * (m - 1));
    // Into the top-left element where the wire enters it.
    point(entry(m - 1, 0));

    for (int32_t a = m - 1; a >= 0; --a) {
        if ((m - 1 - a) % 2 == 0) {
            for (int32_t b = 0; b < n; ++b) {
                if (a == 0 && b == n - 1)
                    continue;
                const P64 e = entry(a, b);
                point(e);
                at(e.x + j, e.y - gh);
                if (b < n - 1) {
                    at(e.x + sx - j, e.y - gh);
                    at(e.x + sx, e.y);
                } else {
                    at(e.x + w + gv, e.y - gh);
                    at(e.x + w + gv, e.y - gh - sy);
                    at(e.x + j, e.y - gh - sy);
                    at(e.x, e.y - sy);
                }
            }
        } else {
            for (int32_t b = n - 1; b >= 0; --b) {
                const P64 e = entry(a, b);
                point(e);
                if (b > 0) {
                    at(e.x - j, e.y - gh);
                    at(e.x - sx + j, e.y - gh);
                    at(e.x - sx, e.y);
                } else if (a > 0) {
                    const int64_t left = int64_t{start->MinX} + int64_t{b} * sx;
                    at(left - gv, e.y - gh);
                    at(left - gv, e.y - gh - sy);
                    at(e.x, e.y - sy);
                }
            }
        }
    }

    const P64 first = entry(0, 0);
    if (m % 2 == 1) {
        const P64 last = entry(0, n - 1);
        point(last);
        at(last.x, last.y - gh - mm);
        at(first.x - gv - mm, last.y - gh - mm);
    } else {
        point(first);
        at(int64_t{x0} - gv - mm, int64_t{y0} - gv);
    }
    // A closed figure ends on its first point; the way back to the start is
    // part of the connector.
    if (out.size() > 1 && !(out.back() == out.front()))
        out.push_back(out.front());
    return out;
}

PlainPlanner::Result BuildDuplicate(const TJob& pattern, const DuplicationGrid& g, TJob& target)
{
    target.FigureList.clear();
    const int32_t sx = MmToSteps(g.SpacingX), sy = MmToSteps(g.SpacingY);
    for (int32_t a = 0; a < g.RowCount; ++a)
        for (int32_t b = 0; b < g.ElementsPerRow; ++b)
            for (const auto& source : pattern.FigureList) {
                auto copy = std::make_unique<tfigura>();
                copy->Points.reserve(source->Points.size());
                for (const TFigPoint& p : source->Points)
                    copy->AddPoint({p.x + b * sx, p.y + a * sy});
                target.AddFigure(std::move(copy));
            }
    auto connector = std::make_unique<tfigura>();
    connector->Points = DuplicationConnector(pattern, g);
    target.AddLacznik(std::move(connector), 1);
    target.Ustaw_PPiPK();
    target.JobWidth = target.JobMaxX - target.JobMinX;
    target.JobHeight = target.JobMaxY - target.JobMinY;
    target.MaxDepth = 0;
    target.SelectedFigure = -1;
    return target.ciecie();
}
