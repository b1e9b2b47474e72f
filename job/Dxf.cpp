// The DXF side of the drawing reader: an ASCII DXF drawing read entity by
// entity from its ENTITIES section, each entity one figure. Curves are
// flattened into polylines; every coordinate is taken in the length unit the
// drawing was opened with.
#include "app/MathUtil.h"
#include "app/Units.h"
#include "job/Curves.h"
#include "job/Hpgl.h"

#include <QFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

namespace {
constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * std::numbers::pi;

// No single curve is cut into more segments than this: at the longest chord
// of 5 mm that is a curve of 500 m, far beyond any machine.
constexpr int32_t kMaxCurveSegments = 100000;
// Nor does one entity produce more curve segments in all (a polyline of many
// arcs): a drawing that asks for more is refused rather than filling memory.
constexpr int64_t kMaxEntitySegments = 1'000'000;
// Nor does a whole drawing: its curves together cost at most this many
// segments, or so many for each byte of a larger file. Real parts stay far
// below; a few kilobytes asking for huge circles by the thousand would
// otherwise fill memory, or take minutes, long after reading.
constexpr double kMinDrawingSegments = 4'000'000;
constexpr double kDrawingSegmentsPerByte = 32;

// A bulge whose arc strays less than half a step from its chord is drawn as
// the chord: its centre would lie far away and gain nothing.
constexpr double kStraightSagittaMm = 0.0125;

// The drawing scale value that marks a drawing to be taken 25.4 times.
constexpr double kInchScale = 0.000394;

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Chord of the flattening for a curve of the given length (mm).
double FlatteningChord(double length) { return std::clamp(length / 192.0, 0.25, 5.0); }

// The angle swept going anticlockwise from `start` to `end`, in (0, 2 pi]:
// equal angles, or ends a whole number of turns apart, make a full turn. The
// turn is full also when the ends miss it by what the rounding of 2 pi to a
// few decimals leaves (6.28318530718 is a whole ellipse, not a sliver).
// An entity keeps the first value of each of its group codes: a group that
// comes again later (a writer's repeat, a header variable among the entities)
// changes nothing. True the first time `bit` is marked.
bool FirstOf(unsigned& seen, unsigned bit)
{
    const bool first = (seen & bit) == 0;
    seen |= bit;
    return first;
}

double Anticlockwise(double start, double end)
{
    double sweep = std::fmod(end - start, kTwoPi);
    if (sweep < 0.0)
        sweep += kTwoPi;
    if (!(sweep > 1e-6) || sweep > kTwoPi)
        sweep = kTwoPi;
    return sweep;
}
}  // namespace

void Thpgl::StartDxf()
{
    // A DXF drawing has no pen widths and starts with pen 1.
    for (THpglPen& pen : PenTable)
        pen.Width = 0.0;
    CurrentPen = 1;
    InEntities = false;
    LineCount = 0;
    DrawingScale = 1.0;
    m_dxfLine.clear();
    m_dxfSkipLf = false;
    m_dxfHeld = false;
    m_dxfNextScale.reset();
    m_dxfSectionLines = 0;
    m_dxfSegmentsLeft = std::max(kMinDrawingSegments, kDrawingSegmentsPerByte * static_cast<double>(InputBytes()));
    m_dxfCode = 0;
    m_dxfValue = {};
    // Points of a figure that an error cut short belong to no drawing.
    std::vector<TFigPoint> unfinished;
    m_points.MoveInto(unfinished);
    EndOfInput = false;
}

[[noreturn]] void Thpgl::DxfFail(ReaderError::Reason reason, const char* entity) const
{
    throw ReaderError(reason, ReaderError::Where::Line, LineCount, entity ? QString(entity) : QString());
}

// The next line without its line break (LF, CR LF or a lone CR). The view
// stays valid until the next line is read. False at the end of the input.
bool Thpgl::DxfReadLine(std::string_view& line)
{
    bool partial = false;  // part of the line came from an earlier block
    for (;;) {
        if (m_pos == m_end && !Refill()) {
            if (!partial)
                return false;
            ++LineCount;
            line = m_dxfLine;
            return true;
        }
        if (m_dxfSkipLf) {
            m_dxfSkipLf = false;
            if (*m_pos == '\n') {
                ++m_pos;
                continue;
            }
        }
        const char* start = m_pos;
        const char* p = start;
        while (p != m_end && *p != '\n' && *p != '\r')
            ++p;
        if (p == m_end) {
            if (!partial)
                m_dxfLine.clear();
            m_dxfLine.append(start, p);
            partial = true;
            m_pos = p;
            continue;
        }
        m_dxfSkipLf = *p == '\r';
        m_pos = p + 1;
        ++LineCount;
        if (!partial) {
            line = std::string_view(start, static_cast<size_t>(p - start));
        } else {
            m_dxfLine.append(start, p);
            line = m_dxfLine;
        }
        return true;
    }
}

// Everything up to the start of the ENTITIES section is passed over line by
// line, so a header or blocks section out of step or of unknown content never
// matters. A section starts with the lines "SECTION" and "2" before its name:
// a block or a layer that happens to be called ENTITIES or OBJECTS starts
// nothing. False when the drawing ends first, or reaches the OBJECTS section,
// after which nothing is read.
bool Thpgl::DxfFindEntities()
{
    std::string_view line;
    while (DxfReadLine(line)) {
        line = Trim(line);
        if (m_dxfSectionLines == 2) {
            if (line == "ENTITIES") {
                m_dxfSectionLines = 0;
                InEntities = true;
                return true;
            }
            if (line == "OBJECTS")
                return false;
        }
        m_dxfSectionLines = line == "SECTION" ? 1 : m_dxfSectionLines == 1 && line == "2" ? 2 : 0;
    }
    return false;
}

// The next group (code line and value line) of the ENTITIES section. The
// section ends with ENDSEC (or EOF): a file that stops before it is cut off
// somewhere, and what it holds is no whole drawing.
void Thpgl::DxfNextGroup()
{
    if (m_dxfHeld) {
        m_dxfHeld = false;
        return;
    }
    std::string_view line;
    if (!DxfReadLine(line))
        DxfFail(ReaderError::Reason::FileEndsEarly);
    line = Trim(line);
    // Group codes are whole numbers of a few digits (a sign for some); a blank
    // line breaks the pairing.
    if (line.empty())
        DxfFail(ReaderError::Reason::GroupCodeExpected);
    int32_t code = 0;
    size_t i = line[0] == '-' || line[0] == '+' ? 1 : 0;
    if (i == line.size() || line.size() - i > 6)
        DxfFail(ReaderError::Reason::GroupCodeExpected);
    for (; i < line.size(); ++i) {
        if (line[i] < '0' || line[i] > '9')
            DxfFail(ReaderError::Reason::GroupCodeExpected);
        code = code * 10 + (line[i] - '0');
    }
    if (line[0] == '-')
        code = -code;
    if (!DxfReadLine(line))
        DxfFail(ReaderError::Reason::FileEndsEarly);
    m_dxfCode = code;
    m_dxfValue = Trim(line);
    if (code == 0) {
        static constexpr std::pair<std::string_view, DxfKind> kinds[] = {
            {"LINE", DxfKind::Line},       {"VERTEX", DxfKind::Vertex},     {"LWPOLYLINE", DxfKind::LwPolyline},
            {"ARC", DxfKind::Arc},         {"CIRCLE", DxfKind::Circle},     {"POLYLINE", DxfKind::Polyline},
            {"SEQEND", DxfKind::Seqend},   {"ELLIPSE", DxfKind::Ellipse},   {"SPLINE", DxfKind::Spline},
            {"ENDSEC", DxfKind::EndSec},   {"SECTION", DxfKind::Section},   {"EOF", DxfKind::Eof},
        };
        m_dxfKind = DxfKind::Other;
        for (const auto& [name, kind] : kinds)
            if (m_dxfValue == name) {
                m_dxfKind = kind;
                break;
            }
    }
}

// The next group of the current entity. False at the entity's end: the group
// that starts the next entity is held for the main loop.
bool Thpgl::DxfEntityGroup()
{
    do {
        DxfNextGroup();
        if (m_dxfCode == 0) {
            m_dxfHeld = true;
            return false;
        }
    } while (DxfScaleGroup());
    return true;
}

// The drawing scale ("$LTSCALE" and its number) is a header variable that some
// writers put among the entities. It belongs to no entity: it changes what
// follows, never the entity it stands in, whose groups it would otherwise
// pass for. True when the current group was the scale (now read).
bool Thpgl::DxfScaleGroup()
{
    if (m_dxfCode != 9 || m_dxfValue != "$LTSCALE")
        return false;
    DxfNextGroup();
    double scale = m_dxfNextScale.value_or(DrawingScale);
    if (m_dxfCode != 40)
        m_dxfHeld = true;
    else if (DxfNumber(scale))
        m_dxfNextScale = scale;
    return true;
}

// A scale met while an entity was read applies from the next entity on.
void Thpgl::DxfTakeScale()
{
    if (!m_dxfNextScale)
        return;
    DrawingScale = *m_dxfNextScale;
    m_dxfNextScale.reset();
    DxfUpdateScale();
}

void Thpgl::DxfSkipEntity()
{
    while (DxfEntityGroup()) {
    }
}

namespace {
// Plain decimals ("-123.4567") whose digits make a whole number below 2^53,
// by far the most common numbers of a drawing, converted without the general
// parser: the digits and the power of ten are both exact doubles, so the one
// division gives the correctly rounded value, as the general parser would.
// False for anything else.
bool FastDecimal(std::string_view text, double& value)
{
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    size_t i = 0;
    const bool negative = text[0] == '-';
    if (negative || text[0] == '+')
        i = 1;
    uint64_t digits = 0;
    int count = 0, fraction = -1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++count > 19)
                return false;
            digits = digits * 10 + static_cast<uint64_t>(c - '0');
            if (fraction >= 0)
                ++fraction;
        } else if ((c == '.' || c == ',') && fraction < 0) {
            fraction = 0;
        } else {
            return false;
        }
    }
    if (count == 0 || digits > (UINT64_C(1) << 53) || fraction > 22)
        return false;
    const double v = static_cast<double>(digits) / kPow10[fraction < 0 ? 0 : fraction];
    value = negative ? -v : v;
    return true;
}
}  // namespace

// The value as a number; "," serves as the decimal point as well as ".". An
// empty value leaves the number as it was (false).
bool Thpgl::DxfNumber(double& value) const
{
    const std::string_view text = m_dxfValue;
    if (text.empty())
        return false;
    if (FastDecimal(text, value))
        return true;
    char local[64];
    std::string longText;
    const char* first = text.data();
    const char* last = first + text.size();
    if (text.find(',') != std::string_view::npos) {
        char* out = local;
        if (text.size() > sizeof local) {
            longText.assign(text);
            out = longText.data();
        } else {
            std::memcpy(local, text.data(), text.size());
        }
        std::replace(out, out + text.size(), ',', '.');
        first = out;
        last = out + text.size();
    }
    if (*first == '+' && last - first > 1 && first[1] != '-')
        ++first;
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, v);
    // Text that is not wholly a number, or a number out of every range, is a
    // broken drawing rather than some value that happens to convert.
    if (ec != std::errc() || ptr != last || !std::isfinite(v))
        DxfFail(ReaderError::Reason::NumberExpected);
    value = v;
    return true;
}

int32_t Thpgl::DxfInteger() const
{
    const std::string_view text = m_dxfValue;
    const char* first = text.data();
    const char* last = first + text.size();
    if (last - first > 1 && *first == '+' && first[1] != '-')
        ++first;
    int32_t v = 0;
    const auto [ptr, ec] = std::from_chars(first, last, v);
    if (text.empty() || ec != std::errc() || ptr != last)
        DxfFail(ReaderError::Reason::WholeNumberExpected);
    return v;
}

void Thpgl::DxfCoordinate(double& mm) const
{
    double v = 0.0;
    if (DxfNumber(v))
        mm = v * m_dxfMmPerUnit;
}

void Thpgl::DxfColour(tfigura& fig)
{
    CurrentPen = DxfColourToPen(DxfInteger());
    fig.Pen = static_cast<uint8_t>(CurrentPen);
}

void Thpgl::DxfUpdateScale()
{
    const double factor = std::fabs(DrawingScale - kInchScale) < 0.000001 ? 25.4 : 1.0;
    m_dxfMmPerUnit = UnitToMm(m_dxfLengthUnit, factor);
}

// Appends a point (mm) as steps, unless it repeats the point before it.
void Thpgl::DxfAppend(const CurvePoint& p)
{
    TFigPoint s;
    if (!RoundToInt32(p.x * 40000.0 / 1000.0, s.x) || !RoundToInt32(p.y * 40000.0 / 1000.0, s.y))
        DxfFail(ReaderError::Reason::CoordinateOutOfRange);
    if (m_dxfHaveLast && s == m_dxfLast)
        return;
    m_dxfLast = s;
    m_dxfHaveLast = true;
    m_points.Add(s);
}

// The segments of one curve, from the count its size asks for: at least
// `least`, at most kMaxCurveSegments. They are charged to the entity and, at
// `cost` each (1 for an arc), to the drawing; a read that exceeds either is
// refused. A count that is no number (a curve of infinite length) is a broken
// drawing, never converted.
int32_t Thpgl::DxfCharge(double count, int32_t least, double cost)
{
    if (!std::isfinite(count))
        DxfFail(ReaderError::Reason::CurveNotFinite);
    const auto segments =
        static_cast<int32_t>(std::clamp(count, static_cast<double>(least), static_cast<double>(kMaxCurveSegments)));
    m_dxfEntitySegments += segments;
    if (m_dxfEntitySegments > kMaxEntitySegments)
        DxfFail(ReaderError::Reason::TooManySegments);
    m_dxfSegmentsLeft -= segments * cost;
    if (m_dxfSegmentsLeft < 0.0)
        DxfFail(ReaderError::Reason::TooManySegments);
    return segments;
}

// Segments of a curve that covers `fraction` of a whole of `length` mm (a
// circle and its arcs): at least 16, at most kMaxCurveSegments.
int32_t Thpgl::DxfSegments(double length, double fraction)
{
    return DxfCharge(std::fabs(RoundEven(fraction * length / FlatteningChord(length) + 0.5)), 16, 1.0);
}

// The points of an arc from the start angle by the sweep (radians,
// anticlockwise when positive). The ends may be given exactly, so that an
// arc between two vertices meets them to the step.
void Thpgl::DxfArcPoints(const CurvePoint& c, double r, double start, double sweep, const CurvePoint* from,
                         const CurvePoint* to)
{
    const int32_t n = DxfSegments(kTwoPi * std::fabs(r), sweep / kTwoPi);
    for (int32_t i = 0; i <= n; ++i) {
        if (i == 0 && from) {
            DxfAppend(*from);
        } else if (i == n && to) {
            DxfAppend(*to);
        } else {
            const double a = i == n ? start + sweep : start + i * sweep / n;
            DxfAppend({c.x + r * std::cos(a), c.y + r * std::sin(a)});
        }
    }
}

// The arc from vertex p to vertex q of a polyline with the given bulge (the
// tangent of a quarter of the included angle, positive anticlockwise), or p
// alone when the arc is no arc. q itself is appended with p's successor.
void Thpgl::DxfBulge(const CurvePoint& p, const CurvePoint& q, double bulge)
{
    const double h = DistanceF(p, q) / 2;
    if (!(std::fabs(bulge) * h >= kStraightSagittaMm)) {
        DxfAppend(p);
        return;
    }
    const double theta = 4 * std::atan(bulge);
    const double alpha = theta > 0 ? (kPi - theta) / 2 : -(theta + kPi) / 2;
    const double d = std::tan(alpha) * h;
    const double r = std::hypot(d, h);
    const double toCentre = DirectionAngleF(p, q) + alpha;
    const CurvePoint centre{p.x + r * std::cos(toCentre), p.y + r * std::sin(toCentre)};
    DxfArcPoints(centre, r, toCentre - kPi, theta, &p, &q);
}

void Thpgl::ReadDxfFigure(tfigura& fig)
{
    fig.Pen = static_cast<uint8_t>(CurrentPen);
    FigureDone = false;
    m_dxfHaveLast = false;
    DxfUpdateScale();
    while (!FigureDone && !EndOfInput) {
        if (!InEntities) {
            if (!DxfFindEntities())
                EndOfInput = true;
            continue;
        }
        DxfNextGroup();
        if (m_dxfCode != 0) {
            // Between entities only the drawing scale means anything.
            DxfScaleGroup();
            DxfTakeScale();
            continue;
        }
        m_dxfEntitySegments = 0;
        switch (m_dxfKind) {
        case DxfKind::EndSec:
            // What follows the ENTITIES section is passed over like what came before it.
            InEntities = false;
            break;
        case DxfKind::Section:
            // The next section begins without ENDSEC: its name is still to come.
            InEntities = false;
            m_dxfSectionLines = 1;
            break;
        case DxfKind::Eof:
            EndOfInput = true;
            break;
        case DxfKind::Line:
            DxfLine(fig);
            break;
        case DxfKind::Circle:
            DxfCircle(fig);
            break;
        case DxfKind::Arc:
            DxfArc(fig);
            break;
        case DxfKind::Ellipse:
            DxfEllipse(fig);
            break;
        case DxfKind::LwPolyline:
            DxfPolyline(fig, true);
            break;
        case DxfKind::Polyline:
            DxfPolyline(fig, false);
            break;
        case DxfKind::Spline:
            DxfSpline(fig);
            break;
        default:
            DxfSkipEntity();
            break;
        }
        DxfTakeScale();
        if (!m_points.Empty())
            FigureDone = true;
    }
    m_points.MoveInto(fig.Points);
    fig.FinishRead();
}

void Thpgl::DxfLine(tfigura& fig)
{
    CurvePoint a, b;
    unsigned seen = 0;
    while (DxfEntityGroup()) {
        switch (m_dxfCode) {
        case 10:
            if (FirstOf(seen, 1))
                DxfCoordinate(a.x);
            break;
        case 20:
            if (FirstOf(seen, 2))
                DxfCoordinate(a.y);
            break;
        case 11:
            if (FirstOf(seen, 4))
                DxfCoordinate(b.x);
            break;
        case 21:
            if (FirstOf(seen, 8))
                DxfCoordinate(b.y);
            break;
        case 62:
            DxfColour(fig);
            break;
        }
    }
    if (seen != 15)
        DxfFail(ReaderError::Reason::EntityIncomplete, "LINE");
    DxfAppend(a);
    DxfAppend(b);
}

void Thpgl::DxfCircle(tfigura& fig)
{
    CurvePoint c;
    double r = 0.0;
    unsigned seen = 0;
    while (DxfEntityGroup()) {
        switch (m_dxfCode) {
        case 10:
            if (FirstOf(seen, 1))
                DxfCoordinate(c.x);
            break;
        case 20:
            if (FirstOf(seen, 2))
                DxfCoordinate(c.y);
            break;
        case 40:
            if (FirstOf(seen, 4))
                DxfCoordinate(r);
            break;
        case 62:
            DxfColour(fig);
            break;
        }
    }
    if (seen != 7)
        DxfFail(ReaderError::Reason::EntityIncomplete, "CIRCLE");
    const int32_t n = DxfSegments(kTwoPi * std::fabs(r), 1.0);
    for (int32_t i = 0; i < n; ++i) {
        const double a = i * kTwoPi / n;
        DxfAppend({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    DxfAppend({c.x + r, c.y});  // the circle closes on its first point exactly
}

void Thpgl::DxfArc(tfigura& fig)
{
    CurvePoint c;
    double r = 0.0, start = 0.0, end = 0.0;
    unsigned seen = 0;
    while (DxfEntityGroup()) {
        switch (m_dxfCode) {
        case 10:
            if (FirstOf(seen, 1))
                DxfCoordinate(c.x);
            break;
        case 20:
            if (FirstOf(seen, 2))
                DxfCoordinate(c.y);
            break;
        case 40:
            if (FirstOf(seen, 4))
                DxfCoordinate(r);
            break;
        case 50:
            if (FirstOf(seen, 8))
                DxfNumber(start);
            break;
        case 51:
            if (FirstOf(seen, 16))
                DxfNumber(end);
            break;
        case 62:
            DxfColour(fig);
            break;
        }
    }
    if (seen != 31)
        DxfFail(ReaderError::Reason::EntityIncomplete, "ARC");
    const double a = start * kPi / 180.0;
    DxfArcPoints(c, r, a, Anticlockwise(a, end * kPi / 180.0), nullptr, nullptr);
}

void Thpgl::DxfEllipse(tfigura& fig)
{
    CurvePoint c, major;
    double ratio = 1.0, start = 0.0, end = kTwoPi;
    unsigned seen = 0;
    while (DxfEntityGroup()) {
        switch (m_dxfCode) {
        case 10:
            if (FirstOf(seen, 1))
                DxfCoordinate(c.x);
            break;
        case 20:
            if (FirstOf(seen, 2))
                DxfCoordinate(c.y);
            break;
        case 11:
            if (FirstOf(seen, 4))
                DxfCoordinate(major.x);
            break;
        case 21:
            if (FirstOf(seen, 8))
                DxfCoordinate(major.y);
            break;
        case 40:
            if (FirstOf(seen, 16))
                DxfNumber(ratio);
            break;
        case 41:
            if (FirstOf(seen, 32))
                DxfNumber(start);
            break;
        case 42:
            if (FirstOf(seen, 64))
                DxfNumber(end);
            break;
        case 62:
            DxfColour(fig);
            break;
        }
    }
    if ((seen & 31) != 31)
        DxfFail(ReaderError::Reason::EntityIncomplete, "ELLIPSE");
    const double a = std::hypot(major.x, major.y);
    const double b = ratio * a;
    const double rotation = DirectionAngleF({0.0, 0.0}, major);
    const double cr = std::cos(rotation), sr = std::sin(rotation);
    // The parameter runs anticlockwise from start to end, across 2 pi when the
    // end is the smaller.
    const double sweep = Anticlockwise(start, end);
    const double length = a * sweep;
    const int32_t n = DxfSegments(length, 1.0);
    for (int32_t i = 0; i <= n; ++i) {
        const double t = i == n ? start + sweep : start + sweep * i / n;
        const double ct = std::cos(t), st = std::sin(t);
        DxfAppend({c.x + a * ct * cr - b * st * sr, c.y + a * ct * sr + b * st * cr});
    }
}

// LWPOLYLINE carries its vertices as groups of its own; POLYLINE is followed
// by VERTEX entities up to SEQEND.
void Thpgl::DxfPolyline(tfigura& fig, bool lightweight)
{
    std::vector<DxfVertex>& v = m_dxfVertices;
    v.clear();
    int32_t flags = 0;
    unsigned seenFlags = 0;
    auto vertexGroup = [&](DxfVertex* vertex) {
        switch (m_dxfCode) {
        case 20:
            if (FirstOf(vertex->seen, 2))
                DxfCoordinate(vertex->p.y);
            break;
        case 42:
            if (FirstOf(vertex->seen, 4))
                DxfNumber(vertex->bulge);
            break;
        }
    };
    while (DxfEntityGroup()) {
        switch (m_dxfCode) {
        case 70:
            if (FirstOf(seenFlags, 1))
                flags = DxfInteger();
            break;
        case 62:
            DxfColour(fig);
            break;
        case 90:
            // The vertices are counted as they come; a count that is no whole
            // number still marks a broken file.
            if (lightweight)
                DxfInteger();
            break;
        case 10:
            if (lightweight) {
                v.emplace_back().seen = 1;
                DxfCoordinate(v.back().p.x);
            }
            break;
        default:
            if (lightweight && !v.empty())
                vertexGroup(&v.back());
            break;
        }
    }
    if (!lightweight) {
        for (;;) {
            DxfNextGroup();  // the code 0 that ended the entity before
            if (m_dxfKind == DxfKind::Seqend) {
                DxfSkipEntity();
                break;
            }
            if (m_dxfKind != DxfKind::Vertex) {
                m_dxfHeld = true;  // no SEQEND: the polyline ends before the next entity
                break;
            }
            DxfVertex& vertex = v.emplace_back();
            while (DxfEntityGroup()) {
                if (m_dxfCode == 10) {
                    if (FirstOf(vertex.seen, 1))
                        DxfCoordinate(vertex.p.x);
                } else if (m_dxfCode == 70) {
                    if (FirstOf(vertex.seen, 8))
                        vertex.flags = DxfInteger();
                } else {
                    vertexGroup(&vertex);
                }
            }
        }
    }
    for (const DxfVertex& vertex : v)
        if ((vertex.seen & 3) != 3)
            DxfFail(ReaderError::Reason::EntityIncomplete, lightweight ? "LWPOLYLINE" : "VERTEX");
    // Meshes and polyface meshes describe surfaces, not contours.
    if (!lightweight && (flags & (16 | 64)))
        return;
    const bool closed = flags & 1;
    if (flags & (2 | 4))
        DxfFittedPolyline(closed);
    else
        DxfPlainPolyline(closed);
}

void Thpgl::DxfPlainPolyline(bool closed)
{
    const std::vector<DxfVertex>& v = m_dxfVertices;
    const size_t k = v.size();
    for (size_t i = 0; i < k; ++i) {
        // A bulge draws the arc to the next vertex; the last vertex of an open
        // polyline has none to go to.
        if (v[i].bulge != 0.0 && (i + 1 < k || closed))
            DxfBulge(v[i].p, v[(i + 1) % k].p, v[i].bulge);
        else
            DxfAppend(v[i].p);
    }
    // Closed: back to the first point (an arc to it has already arrived there).
    if (closed && k > 0)
        DxfAppend(v[0].p);
}

// A spline-fitted polyline: its spline-fit vertices (and the vertices of a
// three-dimensional polyline; never the frame's control points) smoothed by a
// cubic through each four of them.
void Thpgl::DxfFittedPolyline(bool closed)
{
    std::vector<CurvePoint>& f = m_dxfCurve;
    f.clear();
    for (const DxfVertex& vertex : m_dxfVertices)
        if (!(vertex.flags & 16) && (vertex.flags & (8 | 32)))
            f.push_back(vertex.p);
    const size_t k = f.size();
    if (k <= 3) {
        for (const CurvePoint& p : f)
            DxfAppend(p);
        return;
    }
    DxfAppend(f[0]);
    if (k == 4) {
        DxfSpan(0, 0, 3);
    } else {
        DxfSpan(0, 0, 2);
        const size_t lastInner = closed ? k - 3 : k - 4;
        for (size_t j = 2; j <= lastInner; ++j) {
            DxfSpan(j - 1, 1, 2);
            DxfAppend(f[j + 1]);
        }
        DxfSpan(lastInner, 1, 3);
    }
    DxfAppend(closed ? f[0] : f[k - 1]);
}

// The part of the cubic through fitted vertices first to first + 3 (wrapping
// round) from its point `from` to its point `to`, without the starting point.
void Thpgl::DxfSpan(size_t first, int from, int to)
{
    const std::vector<CurvePoint>& f = m_dxfCurve;
    const size_t k = f.size();
    const std::array<CurvePoint, 4> p{f[first % k], f[(first + 1) % k], f[(first + 2) % k], f[(first + 3) % k]};
    const double length = DistanceF(p[0], p[1]) + DistanceF(p[1], p[2]) + DistanceF(p[2], p[3]);
    if (!std::isfinite(length))
        DxfFail(ReaderError::Reason::CurveNotFinite);
    if (!(length > 0.25))
        return;
    double step = std::clamp(4 * length / 192, 0.25, 5.0) / length;
    if (step > 1.0)
        step = 0.25;
    step = std::max(step, 1.0 / kMaxCurveSegments);
    const CubicThrough4 cubic(p);
    const double t0 = cubic.Parameter(from), t1 = cubic.Parameter(to);
    DxfCharge((t1 - t0) / step + 1, 0, 1.0);
    for (int32_t i = 1;; ++i) {
        const double t = t0 + i * step;
        if (t > t1)
            break;
        DxfAppend(cubic.At(t));
    }
}

// A B-spline of its degree over its knots, rational with weights. A spline
// given only by fit points has no curve to read here.
void Thpgl::DxfSpline(tfigura& fig)
{
    std::vector<CurvePoint>& control = m_dxfCurve;
    control.clear();
    m_dxfKnots.clear();
    m_dxfWeights.clear();
    int32_t degree = -1, knotCount = -1, controlCount = -1;
    size_t withY = 0;
    unsigned seen = 0;
    while (DxfEntityGroup()) {
        switch (m_dxfCode) {
        case 71:
            if (FirstOf(seen, 1))
                degree = DxfInteger();
            break;
        case 72:
            if (FirstOf(seen, 2))
                knotCount = DxfInteger();
            break;
        case 73:
            if (FirstOf(seen, 4))
                controlCount = DxfInteger();
            break;
        case 40:
            DxfNumber(m_dxfKnots.emplace_back(0.0));
            break;
        case 41:
            DxfNumber(m_dxfWeights.emplace_back(1.0));
            break;
        case 10:
            DxfCoordinate(control.emplace_back().x);
            break;
        case 20:
            if (withY < control.size()) {
                DxfCoordinate(control[withY].y);
                ++withY;
            }
            break;
        case 62:
            DxfColour(fig);
            break;
        }
    }
    if (control.empty() && m_dxfKnots.empty())
        return;
    if (withY != control.size() || (knotCount >= 0 && static_cast<size_t>(knotCount) != m_dxfKnots.size()) ||
        (controlCount >= 0 && static_cast<size_t>(controlCount) != control.size()))
        DxfFail(ReaderError::Reason::SplineMismatch);
    // Weights missing at the end are 1.
    if (!m_dxfWeights.empty() && m_dxfWeights.size() < control.size())
        m_dxfWeights.resize(control.size(), 1.0);
    if (BSplineCurve::Invalid(degree, control.size(), m_dxfKnots, m_dxfWeights))
        DxfFail(ReaderError::Reason::SplineMismatch);
    const size_t n = control.size();
    if (n == 4 && control[0] == control[1] && control[2] == control[3]) {
        // A straight line drawn as a spline.
        DxfAppend(control[0]);
        DxfAppend(control[3]);
        return;
    }
    double length = 0.0;
    for (size_t i = 1; i < n; ++i)
        length += DistanceF(control[i - 1], control[i]);
    const double chord = std::clamp(length / (192.0 * static_cast<double>(n)), 0.25, 5.0);
    // A point costs about the square of the order (de Boor's triangle); a
    // cubic's counts as one segment of a circle.
    const double order = degree + 1.0;
    const int32_t segments =
        DxfCharge(RoundEven(std::max(length / chord, 4.0)), 4, std::max(1.0, order * order / 16.0));
    BSplineCurve curve(degree, control, m_dxfKnots, m_dxfWeights);
    const double t0 = curve.Start(), t1 = curve.End();
    for (int32_t i = 0; i <= segments; ++i)
        DxfAppend(curve.At(i == segments ? t1 : t0 + (t1 - t0) * i / segments));
}
