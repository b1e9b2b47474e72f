#include "app/Settings.h"
#include "app/Translator.h"
#include "app/Units.h"
#include "job/Curves.h"
#include "job/Geometry.h"
#include "job/Hpgl.h"
#include "job/Job.h"
#include "machine/MachineConstants.h"
#include "tests/job/JobTestSupport.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <vector>

namespace {
using Points = std::vector<TFigPoint>;
constexpr double kPi = std::numbers::pi;

// DXF text built group by group; Text() wraps the groups in an ENTITIES section.
class Dxf {
public:
    Dxf& operator()(int code, const std::string& value)
    {
        m_body += std::to_string(code) + "\n" + value + "\n";
        return *this;
    }
    Dxf& Line(const std::string& x1, const std::string& y1, const std::string& x2, const std::string& y2)
    {
        return (*this)(0, "LINE")(8, "0")(10, x1)(20, y1)(30, "0")(11, x2)(21, y2)(31, "0");
    }
    Dxf& Circle(const std::string& x, const std::string& y, const std::string& r)
    {
        return (*this)(0, "CIRCLE")(10, x)(20, y)(40, r);
    }
    Dxf& Arc(const std::string& r, const std::string& start, const std::string& end)
    {
        return (*this)(0, "ARC")(10, "0")(20, "0")(40, r)(50, start)(51, end);
    }
    Dxf& Ellipse(const std::string& ratio, const std::string& start, const std::string& end)
    {
        return (*this)(0, "ELLIPSE")(10, "0")(20, "0")(11, "20")(21, "0")(40, ratio)(41, start)(42, end);
    }
    // An LWPOLYLINE of (x, y, bulge) vertices; flags < 0 leaves out group 70.
    Dxf& LwPolyline(int flags, std::initializer_list<std::array<const char*, 3>> vertices)
    {
        (*this)(0, "LWPOLYLINE")(90, std::to_string(vertices.size()));
        if (flags >= 0)
            (*this)(70, std::to_string(flags));
        for (const auto& [x, y, bulge] : vertices) {
            (*this)(10, x)(20, y);
            if (std::string(bulge) != "0")
                (*this)(42, bulge);
        }
        return *this;
    }
    std::string Text() const { return "0\nSECTION\n2\nENTITIES\n" + m_body + "0\nENDSEC\n0\nEOF\n"; }
    std::string Body() const { return m_body; }

private:
    std::string m_body;
};

std::vector<tfigura> ReadAll(const std::string& text, Thpgl* state = nullptr, int32_t lengthUnit = 0)
{
    return ReadAllFigures(text, 2, state, lengthUnit);
}

double Radius(const TFigPoint& p, double cx = 0, double cy = 0) { return std::hypot(p.x - cx, p.y - cy); }

// The B-spline as the sum of its Cox-de Boor basis functions, rational with weights.
CurvePoint ReferenceSpline(int p, const std::vector<CurvePoint>& c, const std::vector<double>& u,
                           const std::vector<double>& w, double t)
{
    const size_t n = c.size();
    // At the end of the range the last span counts as closed.
    if (t >= u[n])
        t = std::nextafter(u[n], u[p]);
    std::function<double(size_t, int)> basis = [&](size_t i, int k) -> double {
        if (k == 0)
            return u[i] <= t && t < u[i + 1] ? 1.0 : 0.0;
        double v = 0.0;
        if (u[i + k] > u[i])
            v += (t - u[i]) / (u[i + k] - u[i]) * basis(i, k - 1);
        if (u[i + k + 1] > u[i + 1])
            v += (u[i + k + 1] - t) / (u[i + k + 1] - u[i + 1]) * basis(i + 1, k - 1);
        return v;
    };
    double x = 0, y = 0, sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double b = basis(i, p) * (w.empty() ? 1.0 : w[i]);
        x += b * c[i].x;
        y += b * c[i].y;
        sum += b;
    }
    return {x / sum, y / sum};
}

std::string Num(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// A SPLINE entity of the given data.
Dxf& Spline(Dxf& d, int degree, const std::vector<CurvePoint>& c, const std::vector<double>& knots,
            const std::vector<double>& weights = {})
{
    d(0, "SPLINE")(70, "8")(71, std::to_string(degree))(72, std::to_string(knots.size()))(73, std::to_string(c.size()));
    for (double k : knots)
        d(40, Num(k));
    for (size_t i = 0; i < c.size(); ++i) {
        d(10, Num(c[i].x))(20, Num(c[i].y))(30, "0");
        if (i < weights.size())
            d(41, Num(weights[i]));
    }
    return d;
}
// 100 circles of radius 50 km in under 4 KB: 10 million points if read.
std::string HugeCircles()
{
    Dxf d;
    for (int i = 0; i < 100; ++i)
        d.Circle(std::to_string(i), "0", "50000000");
    return d.Text();
}
}  // namespace

TEST(DxfReader, LineInTheLengthUnitItIsOpenedWith)
{
    auto figs = ReadAll(Dxf().Line("0", "0", "10", "0").Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, (Points{{0, 0}, {400, 0}}));
    EXPECT_EQ(figs[0].Pen, 1) << "pen 1 until a colour says otherwise";
    EXPECT_EQ(figs[0].IsOpen, 1);

    // The display unit is no hidden input of the reader.
    const int32_t display = CurrentLengthUnit;
    CurrentLengthUnit = 2;
    figs = ReadAll(Dxf().Line("0", "0", "1", "0").Text(), nullptr, 1);
    CurrentLengthUnit = display;
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, (Points{{0, 0}, {1016, 0}}));
}

TEST(DxfReader, NumbersTakeAPointOrACommaAndLineBreaksOfAnyKind)
{
    const std::string lf = Dxf().Line("0", "0", "10,5", "+2.5e1").Text();
    const Points expected{{0, 0}, {420, 1000}};
    std::string crlf, cr;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        cr += c == '\n' ? '\r' : c;
    }
    for (const std::string& text : {lf, crlf, cr, "  " + lf + "\n\n"}) {
        const auto figs = ReadAll(text);
        ASSERT_EQ(figs.size(), 1u);
        EXPECT_EQ(figs[0].Points, expected);
    }
}

TEST(DxfReader, CirclesAreFlattenedByTheirLength)
{
    struct Case {
        const char* radius;
        size_t points;
    };
    // r 10: 192 segments; r 1: chord 0.25 mm, 26 segments; r 0.1: the least, 16.
    for (const Case c : {Case{"10", 193}, Case{"1", 27}, Case{"0.1", 17}}) {
        const auto figs = ReadAll(Dxf().Circle("5", "0", c.radius).Text());
        ASSERT_EQ(figs.size(), 1u) << c.radius;
        const Points& p = figs[0].Points;
        EXPECT_EQ(p.size(), c.points) << c.radius;
        EXPECT_EQ(p.front(), p.back());
        EXPECT_EQ(figs[0].IsOpen, 0);
        const double r = std::atof(c.radius) * 40;
        for (const TFigPoint& q : p)
            EXPECT_NEAR(Radius(q, 200, 0), r, 0.75) << c.radius;
    }
}

TEST(DxfReader, ArcsRunAnticlockwiseFromStartToEnd)
{
    auto figs = ReadAll(Dxf().Arc("100", "0", "90").Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.size(), 49u) << "48 segments for a quarter of radius 100 mm";
    EXPECT_EQ(figs[0].Points.front(), (TFigPoint{4000, 0}));
    EXPECT_EQ(figs[0].Points.back(), (TFigPoint{0, 4000}));
    EXPECT_EQ(figs[0].Points[24], (TFigPoint{2828, 2828}));

    // An end below the start goes on across 0 degrees.
    figs = ReadAll(Dxf().Arc("100", "270", "0").Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.size(), 49u);
    EXPECT_EQ(figs[0].Points.front(), (TFigPoint{0, -4000}));
    EXPECT_EQ(figs[0].Points.back(), (TFigPoint{4000, 0}));
    for (const TFigPoint& q : figs[0].Points)
        EXPECT_GE(q.x, 0);
}

TEST(DxfReader, EllipsesIncludingThoseWhoseEndParameterIsBelowTheStart)
{
    // 2 pi as a CAD program rounds it is still the whole ellipse.
    for (const std::string& end : {Num(2 * kPi), std::string("6.28318530718")}) {
        const auto figs = ReadAll(Dxf().Ellipse("0.5", "0", end).Text());
        ASSERT_EQ(figs.size(), 1u);
        EXPECT_EQ(figs[0].Points.size(), 193u) << end;
        EXPECT_EQ(figs[0].IsOpen, 0);
        EXPECT_EQ(figs[0].MaxX, 800);
        EXPECT_EQ(figs[0].MinY, -400);
    }

    // From 3/2 pi round through 0 to 1/2 pi: the right half only.
    auto figs = ReadAll(Dxf().Ellipse("0.5", Num(1.5 * kPi), Num(0.5 * kPi)).Text());
    ASSERT_EQ(figs.size(), 1u);
    const Points& p = figs[0].Points;
    EXPECT_EQ(p.front(), (TFigPoint{0, -400}));
    EXPECT_EQ(p.back(), (TFigPoint{0, 400}));
    EXPECT_EQ(figs[0].MaxX, 800);
    EXPECT_EQ(figs[0].MinX, 0);

    // A rotated axis turns the ellipse with it.
    figs = ReadAll(Dxf()(0, "ELLIPSE")(10, "0")(20, "0")(11, "0")(21, "20")(40, "0.5")(41, "0")(42, "3.14159").Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.front(), (TFigPoint{0, 800}));
    EXPECT_EQ(figs[0].MinX, -400);
}

TEST(DxfReader, BulgesDrawArcsBetweenVerticesAndZeroIsStraight)
{
    auto figs = ReadAll(Dxf().LwPolyline(0, {{"0", "0", "1"}, {"20", "0", "0"}}).Text());
    ASSERT_EQ(figs.size(), 1u);
    const Points& half = figs[0].Points;
    ASSERT_EQ(half.size(), 97u);
    EXPECT_EQ(half.front(), (TFigPoint{0, 0}));
    EXPECT_EQ(half[48], (TFigPoint{400, -400})) << "anticlockwise about (10, 0), below the chord";
    EXPECT_EQ(half.back(), (TFigPoint{800, 0}));

    figs = ReadAll(Dxf().LwPolyline(0, {{"0", "0", "-1"}, {"20", "0", "0"}}).Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points[48], (TFigPoint{400, 400}));

    // A quarter bulge (90 degrees) keeps to its circle.
    figs = ReadAll(Dxf().LwPolyline(0, {{"0", "0", Num(std::tan(kPi / 8)).c_str()}, {"10", "10", "0"}}).Text());
    ASSERT_EQ(figs.size(), 1u);
    for (const TFigPoint& q : figs[0].Points)
        EXPECT_NEAR(Radius(q, 0, 400), 400, 0.75);
    EXPECT_EQ(figs[0].Points.back(), (TFigPoint{400, 400}));

    Dxf straight;
    straight(0, "LWPOLYLINE")(70, "0")(10, "0")(20, "0")(42, "0")(10, "10")(20, "0")(42, "0.0")(10, "10")(20, "10");
    figs = ReadAll(straight.Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, (Points{{0, 0}, {400, 0}, {400, 400}}));

    // The last vertex of an open polyline is kept even when it carries a bulge.
    figs = ReadAll(Dxf().LwPolyline(0, {{"0", "0", "0"}, {"10", "0", "1"}}).Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, (Points{{0, 0}, {400, 0}}));
}

TEST(DxfReader, ClosedPolylinesReturnToTheirFirstVertex)
{
    for (int flags : {1, 129}) {
        Dxf d;
        d.LwPolyline(flags, {{"0", "0", "0"}, {"10", "0", "0"}, {"10", "10", "0"}, {"0", "10", "0"}});
        const auto figs = ReadAll(d.Text());
        ASSERT_EQ(figs.size(), 1u) << flags;
        EXPECT_EQ(figs[0].Points, (Points{{0, 0}, {400, 0}, {400, 400}, {0, 400}, {0, 0}})) << flags;
        EXPECT_EQ(figs[0].IsOpen, 0);
    }
    // Without group 70 the polyline is open and keeps every vertex.
    auto figs = ReadAll(Dxf().LwPolyline(-1, {{"0", "0", "0"}, {"10", "0", "0"}, {"10", "10", "0"}}).Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, (Points{{0, 0}, {400, 0}, {400, 400}}));

    // A closing bulge arcs back to the first vertex.
    figs = ReadAll(Dxf().LwPolyline(1, {{"0", "0", "0"}, {"20", "0", "1"}}).Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.front(), (TFigPoint{0, 0}));
    EXPECT_EQ(figs[0].Points.back(), (TFigPoint{0, 0}));
    EXPECT_EQ(figs[0].MaxY, 400);
    EXPECT_EQ(figs[0].IsOpen, 0);

    // The old-style POLYLINE with VERTEX entities, closed.
    Dxf old;
    old(0, "POLYLINE")(66, "1")(70, "1")(0, "VERTEX")(10, "0")(20, "0");
    old(0, "VERTEX")(10, "10")(20, "0")(42, "1")(0, "VERTEX")(10, "10")(20, "10")(0, "SEQEND");
    figs = ReadAll(old.Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.front(), (TFigPoint{0, 0}));
    EXPECT_EQ(figs[0].Points.back(), (TFigPoint{0, 0}));
    EXPECT_EQ(figs[0].MaxX, 600) << "the arc from (10, 0) to (10, 10) bulges to x = 15";
}

TEST(DxfReader, ColoursGivePensThatLaterEntitiesKeep)
{
    Dxf d;
    d.Line("0", "0", "1", "0");
    d.LwPolyline(0, {{"0", "0", "0"}, {"10", "0", "0"}})(62, "3");
    d.Line("0", "5", "1", "5");
    d.Arc("10", "0", "90")(62, "1");
    d.Ellipse("0.5", "0", "1")(62, "2");
    d.Circle("0", "0", "10")(62, "7");
    const auto figs = ReadAll(d.Text());
    std::vector<int> pens;
    for (const tfigura& f : figs)
        pens.push_back(f.Pen);
    EXPECT_EQ(pens, (std::vector<int>{1, 4, 4, 3, 6, 0}));
}

TEST(DxfReader, EntitiesAfterAPolylineAreReadAsThemselves)
{
    Dxf d;
    d(0, "POLYLINE")(66, "1")(70, "0")(0, "VERTEX")(10, "0")(20, "0")(0, "VERTEX")(10, "10")(20, "0")(0, "SEQEND");
    d.Circle("50", "0", "10");
    d.Ellipse("0.5", "0", Num(2 * kPi));
    d.Line("0", "100", "10", "100");
    const auto figs = ReadAll(d.Text());
    ASSERT_EQ(figs.size(), 4u);
    EXPECT_EQ(figs[0].Points, (Points{{0, 0}, {400, 0}}));
    EXPECT_EQ(figs[1].Points.size(), 193u);
    EXPECT_EQ(figs[1].MinX, 1600);
    EXPECT_EQ(figs[2].Points.size(), 193u);
    EXPECT_EQ(figs[2].MaxX, 800);
    EXPECT_EQ(figs[3].Points, (Points{{0, 4000}, {400, 4000}}));

    // Same after an LWPOLYLINE that ends the section.
    const auto more = ReadAll(Dxf().LwPolyline(0, {{"0", "0", "0"}, {"5", "0", "0"}}).Circle("0", "0", "1").Text());
    ASSERT_EQ(more.size(), 2u);
    EXPECT_EQ(more[1].Points.size(), 27u);
}

TEST(DxfReader, TheInchScaleAppliesToEveryEntityOfItsFileOnly)
{
    Dxf d;
    d(9, "$LTSCALE")(40, "0.000394");
    d.Line("0", "0", "1", "0");
    d.Arc("1", "0", "90");
    d.LwPolyline(0, {{"0", "0", "1"}, {"1", "0", "0"}});
    d(0, "POLYLINE")(70, "4");
    for (int i = 0; i < 5; ++i)
        d(0, "VERTEX")(10, std::to_string(i))(20, std::to_string(i % 2))(70, "8");
    d(0, "SEQEND");
    Thpgl reader;
    auto figs = ReadAll(d.Text(), &reader);
    ASSERT_EQ(figs.size(), 4u);
    EXPECT_EQ(figs[0].Points.back(), (TFigPoint{1016, 0}));
    EXPECT_EQ(figs[1].Points.front(), (TFigPoint{1016, 0}));
    EXPECT_EQ(figs[1].Points.back(), (TFigPoint{0, 1016}));
    EXPECT_EQ(figs[2].Points.back(), (TFigPoint{1016, 0}));
    EXPECT_EQ(figs[2].MinY, -508);
    EXPECT_EQ(figs[3].MaxX, 4064);
    EXPECT_GT(figs[3].MaxY, 900) << "the fitted spans are scaled alike";

    // The next drawing read by the same reader starts at scale 1.
    figs = ReadAll(Dxf().Line("0", "0", "1", "0").Text(), &reader);
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.back(), (TFigPoint{40, 0}));
}

// A scale among the entities changes what follows it, never the entity it
// stands in; a group code that comes again in one entity changes nothing.
TEST(DxfReader, AScaleAmongTheEntitiesChangesOnlyWhatFollows)
{
    Dxf d;
    d.Circle("0", "0", "10")(9, "$LTSCALE")(40, "0.000394");
    d.Line("0", "0", "1", "0");
    d.Ellipse("0.5", "0", "0")(9, "$LTSCALE")(40, "1");
    d.Line("0", "0", "1", "0");
    d(0, "POLYLINE")(70, "0")(0, "VERTEX")(10, "0")(20, "0")(0, "VERTEX")(10, "1")(20, "0");
    d(0, "SEQEND")(9, "$LTSCALE")(40, "0.000394");
    d.Line("0", "0", "1", "0");
    d(0, "TEXT")(1, "a note")(9, "$LTSCALE")(40, "1");
    d.Line("0", "0", "1", "0");
    d.Circle("0", "0", "10")(40, "20");
    const auto figs = ReadAll(d.Text());
    ASSERT_EQ(figs.size(), 8u);
    EXPECT_EQ(figs[0].MaxX, 400) << "the circle keeps its radius";
    EXPECT_EQ(figs[0].Points.size(), 193u);
    EXPECT_EQ(figs[1].Points.back(), (TFigPoint{1016, 0})) << "the scale reaches the next entity";
    EXPECT_EQ(figs[2].MaxX, 20320);
    EXPECT_EQ(figs[2].MaxY, 10160) << "the ellipse keeps its ratio";
    EXPECT_EQ(figs[3].Points.back(), (TFigPoint{40, 0}));
    EXPECT_EQ(figs[4].Points.back(), (TFigPoint{40, 0}));
    EXPECT_EQ(figs[5].Points.back(), (TFigPoint{1016, 0})) << "a scale after SEQEND";
    EXPECT_EQ(figs[6].Points.back(), (TFigPoint{40, 0})) << "a scale inside a skipped entity";
    EXPECT_EQ(figs[7].MaxX, 400) << "the first radius holds";
}

TEST(DxfReader, FittedPolylinesFollowTheirFitVerticesOnly)
{
    // Spline-fit vertices on a circle of radius 50 mm, with the frame's control
    // points far off between them.
    auto fitted = [](int flags, int count) {
        Dxf d;
        d(0, "POLYLINE")(66, "1")(70, std::to_string(flags));
        for (int i = 0; i < count; ++i) {
            const double a = 2 * kPi * i / count;
            d(0, "VERTEX")(10, "500")(20, "500")(70, "16");
            d(0, "VERTEX")(10, Num(50 * std::cos(a)))(20, Num(50 * std::sin(a)))(70, "8");
        }
        return d(0, "SEQEND").Text();
    };
    for (int flags : {4, 5}) {
        const auto figs = ReadAll(fitted(flags, 12));
        ASSERT_EQ(figs.size(), 1u);
        const Points& p = figs[0].Points;
        EXPECT_GT(p.size(), 100u) << "the spans add points between the vertices";
        EXPECT_EQ(p.front(), (TFigPoint{2000, 0}));
        for (const TFigPoint& q : p)
            EXPECT_NEAR(Radius(q), 2000, 10) << flags;
        if (flags & 1) {
            EXPECT_EQ(p.back(), p.front());
        } else {
            EXPECT_EQ(p.back(), (TFigPoint{1732, -1000}));
        }
    }
    // Three fit vertices are taken as they are; none at all give no figure.
    auto figs = ReadAll(fitted(4, 3));
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.size(), 3u);
    Dxf curveFit;
    curveFit(0, "POLYLINE")(70, "2")(0, "VERTEX")(10, "0")(20, "0")(0, "VERTEX")(10, "5")(20, "0")(0, "SEQEND");
    figs = ReadAll(curveFit.Text());
    EXPECT_TRUE(figs.empty());
}

TEST(DxfReader, SplinesFollowTheirKnotsAndWeights)
{
    // A clamped cubic of 12 control points (16 knots).
    std::vector<CurvePoint> c;
    for (int i = 0; i < 12; ++i)
        c.push_back({10.0 * i, (i % 3) * 7.0 - (i % 2) * 4.0});
    const std::vector<double> u{0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 9, 9};
    Dxf d;
    auto figs = ReadAll(Spline(d, 3, c, u).Text());
    ASSERT_EQ(figs.size(), 1u);
    const Points& p = figs[0].Points;
    ASSERT_GT(p.size(), 100u);
    const size_t n = p.size() - 1;
    for (size_t i = 0; i <= n; ++i) {
        const CurvePoint e = ReferenceSpline(3, c, u, {}, 9.0 * i / n);
        EXPECT_NEAR(p[i].x, e.x * 40, 0.51) << i;
        EXPECT_NEAR(p[i].y, e.y * 40, 0.51) << i;
    }
    EXPECT_EQ(p.front(), (TFigPoint{0, 0}));
    EXPECT_EQ(p.back(), (TFigPoint{4400, 400}));

    // A rational quadratic: a quarter of a circle of radius 10 mm.
    Dxf quarter;
    figs = ReadAll(Spline(quarter, 2, {{10, 0}, {10, 10}, {0, 10}}, {0, 0, 0, 1, 1, 1}, {1, std::sqrt(0.5), 1}).Text());
    ASSERT_EQ(figs.size(), 1u);
    for (const TFigPoint& q : figs[0].Points)
        EXPECT_NEAR(Radius(q), 400, 0.75);
    EXPECT_EQ(figs[0].Points.back(), (TFigPoint{0, 400}));

    // A straight line given as a spline is its two ends.
    Dxf line;
    figs = ReadAll(Spline(line, 3, {{0, 0}, {0, 0}, {10, 0}, {10, 0}}, {0, 0, 0, 0, 1, 1, 1, 1}).Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points, (Points{{0, 0}, {400, 0}}));

    // A spline given by fit points alone has no curve to read.
    Dxf fitOnly;
    fitOnly(0, "SPLINE")(71, "3")(74, "2")(11, "0")(21, "0")(11, "5")(21, "5").Line("0", "0", "1", "0");
    figs = ReadAll(fitOnly.Text());
    EXPECT_EQ(figs.size(), 1u);
}

TEST(DxfReader, InvalidSplinesAreRefused)
{
    const std::vector<CurvePoint> c{{0, 0}, {5, 5}, {10, 0}, {15, 5}};
    struct Case {
        int degree;
        std::vector<double> knots;
        std::vector<double> weights;
    };
    const Case cases[] = {
        {3, {0, 0, 0, 0, 1, 1, 1}, {}},        // a knot short
        {3, {0, 0, 0, 0, 1, 1, 1, 1, 1}, {}},  // a knot over
        {3, {0, 0, 0, 1, 0, 1, 1, 1}, {}},     // decreasing
        {3, {1, 1, 1, 1, 1, 1, 1, 1}, {}},     // no range
        {0, {0, 0, 0, 0}, {}},                 // degree 0
        {4, {0, 0, 0, 0, 0, 1, 1, 1, 1}, {}},  // degree as high as the control count
        {3, {0, 0, 0, 0, 1, 1, 1, 1}, {1, 0, 1, 1}},
        {3, {0, 0, 0, 0, 1, 1, 1, 1}, {1, -2, 1, 1}},
    };
    for (const Case& k : cases) {
        Dxf d;
        EXPECT_THROW(ReadAll(Spline(d, k.degree, c, k.knots, k.weights).Text()), ReaderError) << k.degree;
    }
    // Counts that do not match the data.
    Dxf counts;
    counts(0, "SPLINE")(71, "1")(72, "4")(73, "3")(40, "0")(40, "0")(40, "1")(40, "1");
    counts(10, "0")(20, "0")(10, "1")(20, "1");
    EXPECT_THROW(ReadAll(counts.Text()), ReaderError);
}

TEST(DxfReader, CurvesHaveAnUpperLimitOfSegments)
{
    auto figs = ReadAll(Dxf().Circle("0", "0", "1000000").Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.size(), 100001u);
    figs = ReadAll(Dxf()(0, "ELLIPSE")(10, "0")(20, "0")(11, "900000")(21, "0")(40, "1")(41, "0")(42, "1").Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.size(), 100001u);
    figs = ReadAll(Dxf().LwPolyline(0, {{"0", "0", "1"}, {"1000000", "0", "0"}}).Text());
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.size(), 100001u);

    // So has the whole drawing; the next drawing of the same reader has an
    // allowance of its own.
    ASSERT_LT(HugeCircles().size(), 4096u);
    Thpgl reader;
    EXPECT_THROW(ReadAll(HugeCircles(), &reader), ReaderError);
    figs = ReadAll(Dxf().Circle("0", "0", "1000000").Text(), &reader);
    ASSERT_EQ(figs.size(), 1u);

    // A point of a spline costs with the square of its order: the same 500 m
    // control polygon (one Bezier piece) that reads as a cubic is refused at
    // degree 25.
    auto bezier = [](int degree) {
        std::vector<CurvePoint> c;
        std::vector<double> u(static_cast<size_t>(degree) + 1, 0.0);
        u.resize(2 * u.size(), 1.0);
        for (int i = 0; i <= degree; ++i)
            c.push_back({500000.0 * i / degree, 1000.0 * (i % 2)});
        Dxf d;
        return Spline(d, degree, c, u).Text();
    };
    figs = ReadAll(bezier(3));
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.size(), 100001u);
    EXPECT_THROW(ReadAll(bezier(25)), ReaderError);
}

TEST(DxfReader, OnlyTheEntitiesSectionIsRead)
{
    Dxf blocks;
    blocks(0, "SECTION")(2, "BLOCKS")(0, "BLOCK")(2, "B").Line("0", "0", "99", "0")(0, "ENDBLK")(0, "ENDSEC");
    const std::string text = blocks.Body() + Dxf().Line("0", "0", "1", "0").Text() +
                             "0\nSECTION\n2\nOBJECTS\n0\nLINE\n10\n0\n20\n0\n11\n5\n21\n0\n";
    auto figs = ReadAll(text);
    ASSERT_EQ(figs.size(), 1u);
    EXPECT_EQ(figs[0].Points.back(), (TFigPoint{40, 0}));

    // Text that is not DXF, or has no entities, gives nothing.
    EXPECT_TRUE(ReadAll("PU0,0;PD10,10;PU;").empty());
    EXPECT_TRUE(ReadAll(blocks.Body() + "0\nEOF\n").empty());
    // Entities not drawn (text, points, inserts) are passed over.
    Dxf other;
    other(0, "TEXT")(10, "5")(20, "5")(1, "LINE")(0, "POINT")(10, "1")(20, "1").Line("0", "0", "1", "0");
    figs = ReadAll(other.Text());
    EXPECT_EQ(figs.size(), 1u);
    // A header out of step does not matter: reading starts after "ENTITIES".
    figs = ReadAll("999\n0\nSECTION\n2\n" + Dxf().Line("0", "0", "1", "0").Text().substr(12));
    EXPECT_EQ(figs.size(), 1u);

    // Only the start of a section names it: a layer called OBJECTS ends
    // nothing, and a block called ENTITIES adds nothing to the job.
    Dxf layer, block;
    layer(0, "SECTION")(2, "TABLES")(0, "TABLE")(2, "LAYER")(0, "LAYER")(2, "OBJECTS")(70, "0")(62, "7");
    layer(0, "ENDTAB")(0, "ENDSEC");
    block(0, "SECTION")(2, "BLOCKS")(0, "BLOCK")(2, "ENTITIES")(70, "0").Line("0", "0", "99", "0")(0, "ENDBLK");
    block(0, "ENDSEC");
    for (const Dxf& named : {layer, block}) {
        figs = ReadAll(named.Body() + Dxf().Line("0", "0", "1", "0").Text());
        ASSERT_EQ(figs.size(), 1u) << named.Body();
        EXPECT_EQ(figs[0].Points.back(), (TFigPoint{40, 0}));
    }
}

TEST(DxfReader, BrokenDrawingsAreErrorsNotHangs)
{
    const std::string head = "0\nSECTION\n2\nENTITIES\n";
    // Files that stop inside the ENTITIES section, whatever they hold so far.
    const char* cut[] = {
        "0\nLINE\n10\n0\n20\n0\n11\n5\n",                            // before its last coordinate
        "0\nLINE\n10\n0\n20\n0\n11\n5\n21",                          // a code without its value
        "0\nLINE\n10\n0\n20\n0\n11\n5\n21\n0\n",                     // a whole line, then nothing
        "0\nLWPOLYLINE\n90\n4\n70\n1\n10\n0\n20\n0\n10\n5\n20\n0\n10\n5\n20\n5\n",  // 3 of 4
        "0\nPOLYLINE\n70\n0\n0\nVERTEX\n10\n0\n20\n0\n",             // no SEQEND
        "0\nSPLINE\n71\n1\n72\n4\n73\n2\n40\n0\n40\n0\n",            // among its knots
        "0\nLINE\n10\n0\n20\n0\n11\n5\n21\n0\n\n\n",                 // blank lines, no ENDSEC
    };
    for (const char* body : cut)
        EXPECT_THROW(ReadAll(head + body), ReaderError) << body;

    // Whole files with something broken inside.
    const char* broken[] = {
        "0\nLWPOLYLINE\n90\n2\n10\n0\n20\n0\n10\n5\n",               // a vertex without y
        "0\nCIRCLE\n10\n0\n20\n0\n0\nLINE\n",                        // a circle without radius
        "0\nLINE\n10\nabc\n20\n0\n11\n5\n21\n0\n",                   // not a number
        "0\nLINE\n10\n1.2.3\n20\n0\n11\n5\n21\n0\n",                 // nor this
        "0\nLINE\n1O\n0\n20\n0\n11\n5\n21\n0\n",                     // not a group code
        "0\nLINE\n10\n0\n\n0\n11\n5\n21\n0\n",                       // a blank code line
        "0\nLWPOLYLINE\n70\n1.5\n10\n0\n20\n0\n",                    // flags not whole
        "0\nLINE\n10\n0\n20\n0\n11\n60000000\n21\n0\n",              // beyond the range of steps
        "0\nLINE\n10\n0\n20\n0\n11\n1e400\n21\n0\n",                 // beyond any number
        "0\nCIRCLE\n10\n53000000\n20\n0\n40\n1000000\n",             // a curve beyond the range
        // Fitted vertices so far apart that their distance is no number.
        "0\nPOLYLINE\n70\n4\n0\nVERTEX\n10\n0\n20\n0\n70\n8\n0\nVERTEX\n10\n-1e308\n20\n0\n70\n8\n"
        "0\nVERTEX\n10\n1e308\n20\n0\n70\n8\n0\nVERTEX\n10\n0\n20\n5\n70\n8\n0\nSEQEND\n",
        // Knots whose range is no number.
        "0\nSPLINE\n71\n1\n72\n4\n73\n2\n40\n-1e308\n40\n-1e308\n40\n1e308\n40\n1e308\n"
        "10\n0\n20\n0\n10\n5\n20\n5\n",
    };
    for (const char* body : broken)
        EXPECT_THROW(ReadAll(head + body + "0\nENDSEC\n0\nEOF\n"), ReaderError) << body;

    // Every cut of a sound drawing ends: before the ENTITIES section with no
    // figure, inside it with an error, after its ENDSEC with every figure.
    Dxf d;
    d.Line("0", "0", "10", "0").Circle("0", "0", "5");
    d.LwPolyline(1, {{"0", "0", "0.5"}, {"10", "0", "0"}, {"5", "5", "0"}});
    d(0, "POLYLINE")(70, "4")(0, "VERTEX")(10, "0")(20, "0")(70, "8")(0, "SEQEND");
    Spline(d, 2, {{0, 0}, {10, 10}, {20, 0}}, {0, 0, 0, 1, 1, 1});
    const std::string text = d.Text();
    const size_t entities = text.find("ENTITIES") + 8;
    const size_t endsec = text.rfind("ENDSEC") + 6;
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        const std::string prefix = text.substr(0, cut);
        if (cut < entities) {
            EXPECT_TRUE(ReadAll(prefix).empty()) << cut;
        } else if (cut < endsec) {
            EXPECT_THROW(ReadAll(prefix), ReaderError) << cut;
        } else {
            EXPECT_EQ(ReadAll(prefix).size(), 5u) << cut;
        }
    }
}

TEST(Curves, CubicThroughFourPoints)
{
    const std::array<CurvePoint, 4> p{{{0, 0}, {3, 4}, {6, 4}, {10, 1}}};
    const CubicThrough4 cubic(p);
    EXPECT_DOUBLE_EQ(cubic.Parameter(1), 5.0 / (5 + 3 + 5)) << "parameters by chord length";
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(cubic.At(cubic.Parameter(i)).x, p[i].x, 1e-9);
        EXPECT_NEAR(cubic.At(cubic.Parameter(i)).y, p[i].y, 1e-9);
    }
    // Four points in one place: no system to solve, the curve is that point.
    const CubicThrough4 still({{{2, 3}, {2, 3}, {2, 3}, {2, 3}}});
    EXPECT_EQ(still.At(0.5), (CurvePoint{2, 3}));
    EXPECT_EQ(Solve3({1, 2, 3}, {2, 4, 6}, {0, 0, 1}, {1, 1, 1}), (Vec3{0, 0, 0})) << "singular";
}

TEST(Curves, DeBoorAgreesWithTheBasisSum)
{
    // Unclamped, with a double interior knot, rational.
    const std::vector<CurvePoint> c{{0, 0}, {2, 5}, {4, -1}, {7, 3}, {9, 9}, {12, 0}, {14, 2}};
    const std::vector<double> u{0, 1, 2, 3, 4, 4, 6, 7, 8, 9, 10};
    const std::vector<double> w{1, 2, 0.5, 1, 3, 1, 1};
    ASSERT_EQ(BSplineCurve::Invalid(3, c.size(), u, w), nullptr);
    BSplineCurve curve(3, c, u, w);
    EXPECT_EQ(curve.Start(), 3);
    EXPECT_EQ(curve.End(), 7);
    for (int i = 0; i <= 40; ++i) {
        const double t = 3 + i * 0.1;
        const CurvePoint a = curve.At(t), e = ReferenceSpline(3, c, u, w, t);
        EXPECT_NEAR(a.x, e.x, 1e-9) << t;
        EXPECT_NEAR(a.y, e.y, 1e-9) << t;
    }
}

namespace {
class DxfLoadTest : public JobLoadingTest {
protected:
    bool Load(const std::string& text)
    {
        path = WriteDrawing("drawing.dxf", text);
        job.InputFileType = 2;
        return job.Load(path, 255);
    }

    TJob job;
    QString path;
};
}  // namespace

TEST_F(DxfLoadTest, LinesThatTouchBecomeOneFigure)
{
    ASSERT_TRUE(Load(Dxf().Line("0", "0", "10", "0").Line("10", "0", "10", "10").Line("10", "10", "0", "0").Text()));
    ASSERT_GE(job.FigureList.size(), 1u);
    Points p = job.FigureList[0]->Points;
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p.front(), p.back());
    p.pop_back();
    std::sort(p.begin(), p.end(),
              [](const TFigPoint& a, const TFigPoint& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    EXPECT_EQ(p, (Points{{0, 0}, {400, 0}, {400, 400}}));
    EXPECT_EQ(job.FigureList[0]->Closed, 1);
    EXPECT_EQ(job.RotationAngle, 0.0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DxfLoadTest, UnreadableDrawingsAreReportedWithTheirReasonAndLine)
{
    const QString cannot = Tr("Universal", "zbioruNieMoznaOtworzyc");
    auto atLine = [](int line) { return "\n" + Tr("Project_window", "odczytPrzerwanyWierszu").arg(line); };
    // A file cut off after a whole entity (14 lines), a value that is no
    // number on line 8, and a drawing that asks for millions of points in a
    // few bytes.
    struct Case {
        std::string text;
        QString reason;
        QString where;
    };
    const Case cases[] = {
        {"0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n0\n11\n5\n21\n0\n", Tr("Project_window", "plikUrwany"),
         atLine(14)},
        {"0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0,5x\n20\n0\n11\n5\n21\n0\n0\nENDSEC\n0\nEOF\n",
         Tr("Project_window", "oczekiwanoLiczby"), atLine(8)},
        {HugeCircles(), Tr("Project_window", "zaDuzoOdcinkow"), "\n"},
    };
    for (const Case& c : cases) {
        boxes.shown.clear();
        EXPECT_FALSE(Load(c.text));
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(boxes.shown[0].text.startsWith(cannot + path + "\n" + c.reason + c.where))
            << boxes.shown[0].text.toStdString();
        EXPECT_TRUE(job.FigureList.empty());
    }
    // In Polish the reason is Polish.
    {
        ScopedTranslator polish("PL");
        boxes.shown.clear();
        EXPECT_FALSE(Load(cases[0].text));
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(boxes.shown[0].text.endsWith("\nPlik kończy się przed końcem rysunku: mógł zostać obcięty.\n"
                                                 "Odczyt przerwano w wierszu 14."))
            << boxes.shown[0].text.toStdString();
    }

    boxes.shown.clear();
    EXPECT_FALSE(Load("0\nSECTION\n2\nHEADER\n0\nENDSEC\n0\nEOF\n"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Tr("Project_window", "zbiorPusty"));

    boxes.shown.clear();
    Thpgl reader;
    EXPECT_NE(reader.OpenInput(dir.File("missing.dxf"), 2), 0);
    job.InputFileType = 2;
    EXPECT_FALSE(job.Load(dir.File("missing.dxf"), 255));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, cannot + dir.File("missing.dxf"));
}

TEST_F(DxfLoadTest, ADrawingLargerThanABlockReadsAsFromMemory)
{
    // Lines cross the ends of the reader's blocks of 1 MiB, one of them
    // between the CR and the LF of a line break.
    Dxf d;
    for (int i = 0; i < 30000; ++i)
        d.Line(std::to_string(i % 1000), std::to_string(i / 1000), std::to_string(i % 1000 + 0.5), "0.25");
    std::string body;
    for (char c : d.Text())
        body += c == '\n' ? std::string("\r\n") : std::string(1, c);
    // A comment in front, as long as it takes to bring a CR to the block's last byte.
    const size_t head = std::string("999\r\n\r\n").size();
    size_t pad = 0;
    while (body[(1 << 20) - 1 - head - pad] != '\r')
        ASSERT_LT(++pad, 200u);
    const std::string text = "999\r\n" + std::string(pad, 'x') + "\r\n" + body;
    ASSERT_EQ(text[(1 << 20) - 1], '\r');
    const QString file = dir.Write("large.dxf", QByteArray::fromStdString(text));
    Thpgl reader;
    ASSERT_EQ(reader.OpenInput(file, 2), 0);
    std::vector<Points> fromFile;
    while (!reader.EndOfInput) {
        tfigura f;
        reader.ReadFigure(f);
        if (f.Valid)
            fromFile.push_back(f.Points);
    }
    reader.CloseInput();
    const auto fromMemory = ReadAll(text);
    ASSERT_EQ(fromFile.size(), 30000u);
    ASSERT_EQ(fromMemory.size(), fromFile.size());
    for (size_t i = 0; i < fromFile.size(); ++i)
        ASSERT_EQ(fromFile[i], fromMemory[i].Points) << i;
    EXPECT_EQ(fromFile.back(), (Points{{39960, 1160}, {39980, 10}}));
}
