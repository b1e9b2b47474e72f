#pragma once
// Curve evaluation for the drawing readers: small linear algebra, the cubic
// through four points that smooths fitted polylines, and B-spline curves.
// Everything here works in millimetres on points of doubles.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

struct CurvePoint {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const CurvePoint&, const CurvePoint&) = default;
};

using Vec3 = std::array<double, 3>;

// Determinant of the 3 x 3 matrix with the columns a, b, c.
double Det3(const Vec3& a, const Vec3& b, const Vec3& c);
// The solution of a·x0 + b·x1 + c·x2 = rhs by Cramer's rule; all three
// unknowns 0 when the matrix is singular.
Vec3 Solve3(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& rhs);

// Direction of p -> q in [0, 2 pi); equal points give 3 pi / 2.
double DirectionAngleF(const CurvePoint& p, const CurvePoint& q);

// The pen a drawing colour is cut with: red 3, yellow 6, green 4, any other 0.
uint8_t DxfColourToPen(int32_t colour);

double DistanceF(const CurvePoint& p, const CurvePoint& q);

// The cubic through four points, each coordinate x(t) = x0 + c1·t + c2·t² +
// c3·t³, with the parameter running by chord length from 0 at the first point
// to 1 at the last.
class CubicThrough4 {
public:
    explicit CubicThrough4(const std::array<CurvePoint, 4>& points);
    // The parameter at which the curve passes point i (0 to 3).
    double Parameter(int i) const { return m_t[static_cast<size_t>(i)]; }
    CurvePoint At(double t) const;

private:
    std::array<double, 4> m_t{};
    CurvePoint m_origin;
    Vec3 m_cx{}, m_cy{};
};

// A B-spline curve of some degree over its knot vector, rational when it
// carries weights. The curve runs over the knots degree to control count
// (0-based); points come from de Boor's algorithm.
class BSplineCurve {
public:
    // Degrees above this are refused: no drawing needs them, and each point
    // costs the square of the degree.
    static constexpr int kMaxDegree = 25;

    // Why the data can't describe a curve, or nullptr when it can: the degree
    // is 1 to kMaxDegree, there are more control points than the degree,
    // exactly control count + degree + 1 finite knots that never decrease, lie
    // a finite distance apart and leave the curve a range of its own, and the
    // weights (none, or one per control point) are finite and positive.
    static const char* Invalid(int degree, size_t controlCount, std::span<const double> knots,
                               std::span<const double> weights);

    // The data must have passed Invalid; the spans must outlive the curve.
    BSplineCurve(int degree, std::span<const CurvePoint> control, std::span<const double> knots,
                 std::span<const double> weights);

    double Start() const { return m_knots[static_cast<size_t>(m_degree)]; }
    double End() const { return m_knots[m_control.size()]; }
    // The point at t, which is kept within Start to End.
    CurvePoint At(double t);

private:
    int m_degree;
    std::span<const CurvePoint> m_control;
    std::span<const double> m_knots;
    std::span<const double> m_weights;
    std::vector<Vec3> m_work;  // homogeneous points of de Boor's triangle
};
