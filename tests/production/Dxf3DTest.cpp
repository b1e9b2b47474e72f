#include "production/Dxf3D.h"
#include "production/ModelReader.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
using Point = std::array<float, 3>;

std::string P(const std::string& code, const std::string& value)
{
    return code + "\n" + value + "\n";
}

std::string Num(float v)
{
    return std::to_string(v);
}

std::string Section(const std::string& name, const std::string& body)
{
    return P("0", "SECTION") + P("2", name) + body + P("0", "ENDSEC");
}

std::string Drawing(const std::string& entities, const std::string& blocks = "")
{
    return Section("HEADER", P("9", "$ACADVER") + P("1", "AC1009")) + (blocks.empty() ? "" : Section("BLOCKS", blocks)) +
           Section("ENTITIES", entities) + P("0", "EOF");
}

std::string Block(const std::string& name, const std::string& body, const Point& base = {})
{
    return P("0", "BLOCK") + P("8", "0") + P("2", name) + P("70", "0") + P("10", Num(base[0])) + P("20", Num(base[1])) +
           P("30", Num(base[2])) + body + P("0", "ENDBLK");
}

std::string Face(const std::vector<Point>& corners)
{
    std::string s = P("0", "3DFACE") + P("8", "0");
    for (size_t i = 0; i < corners.size(); ++i)
        for (int axis = 0; axis < 3; ++axis)
            s += P(std::to_string(10 * (axis + 1) + int(i)), Num(corners[i][axis]));
    return s;
}

const std::vector<Point> kSquare{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

// A polyface mesh of the points with faces given as their corner indices.
std::string Mesh(const std::vector<Point>& points, const std::vector<std::vector<std::string>>& faces)
{
    std::string s = P("0", "POLYLINE") + P("66", "1") + P("70", "64") + P("71", std::to_string(points.size()));
    for (const Point& p : points)
        s += P("0", "VERTEX") + P("10", Num(p[0])) + P("20", Num(p[1])) + P("30", Num(p[2])) + P("70", "192");
    for (const auto& face : faces) {
        s += P("0", "VERTEX") + P("10", "0") + P("20", "0") + P("30", "0") + P("70", "128");
        for (size_t i = 0; i < face.size(); ++i)
            s += P(std::to_string(71 + i), face[i]);
    }
    return s + P("0", "SEQEND");
}

std::string Insert(const std::string& block, const std::string& params = "")
{
    return P("0", "INSERT") + P("8", "0") + P("2", block) + params;
}

TriangleList Convert(const std::string& text, bool expectOk = true)
{
    TDxf2RawConverter conv(QByteArray::fromStdString(text));
    const bool ok = conv.Convert();
    EXPECT_EQ(ok, expectOk);
    if (!ok) {
        EXPECT_TRUE(conv.Triangles.empty());
    }
    return conv.Triangles;
}

std::vector<Point> Corners(const TriangleList& list)
{
    std::vector<Point> out;
    for (const TRawTriangle& t : list) {
        out.push_back({t.x1, t.y1, t.z1});
        out.push_back({t.x2, t.y2, t.z2});
        out.push_back({t.x3, t.y3, t.z3});
    }
    return out;
}

void ExpectNear(const Point& got, const Point& want)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(got[i], want[i], 1e-5) << i;
}
}  // namespace

TEST(Dxf3D, PolyfaceFacesNameTheirCornersAmongTheMeshPoints)
{
    const auto& s = kSquare;
    EXPECT_EQ(Corners(Convert(Drawing(Mesh(s, {{"1", "2", "3", "4"}})))),
              (std::vector<Point>{s[0], s[1], s[2], s[0], s[2], s[3]}));
    // A triangle written with four corners, and an invisible edge.
    EXPECT_EQ(Corners(Convert(Drawing(Mesh(s, {{"1", "2", "3", "3"}})))), (std::vector<Point>{s[0], s[1], s[2]}));
    EXPECT_EQ(Corners(Convert(Drawing(Mesh(s, {{"-1", "2", "-4"}})))), (std::vector<Point>{s[0], s[1], s[3]}));
    // An index naming no point stops the whole conversion.
    for (const char* bad : {"0", "5", "-5", "x", "1.5"})
        Convert(Drawing(Mesh(s, {{"1", "2", "3"}, {"1", bad, "3"}})), false);
}

TEST(Dxf3D, FacesAndWhatIsPassedOver)
{
    const Point a{1, 2, 3}, b{4, 5, 6}, c{7, 8, 9}, d{-1, -2, -3};
    EXPECT_EQ(Corners(Convert(Drawing(Face({a, b, c})))), (std::vector<Point>{a, b, c}));
    EXPECT_EQ(Corners(Convert(Drawing(Face({a, b, c, c})))), (std::vector<Point>{a, b, c}));
    EXPECT_EQ(Corners(Convert(Drawing(Face({a, b, c, d})))), (std::vector<Point>{a, b, c, a, c, d}));
    // Solids and flat entities add nothing; CR LF line ends are read.
    std::string text = Drawing(P("0", "3DSOLID") + P("1", "opaque") + P("0", "LINE") + P("10", "1") + P("11", "2") +
                               Face({a, b, c}) + P("0", "LWPOLYLINE") + P("10", "5"));
    EXPECT_EQ(Convert(text).size(), 1u);
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
        text.insert(at, "\r");
    EXPECT_EQ(Convert(text).size(), 1u);
}

TEST(Dxf3D, ObjectAxesFollowTheExtrusion)
{
    TConvOCS2WCS conv;
    EXPECT_EQ(conv.Transform({1, 2, 3}), (TVec3f{1, 2, 3}));
    conv.SetNormal({0, 0, -1});
    EXPECT_EQ(conv.Ax(), (TVec3f{-1, 0, 0}));
    EXPECT_EQ(conv.Ay(), (TVec3f{0, 1, 0}));
    EXPECT_EQ(conv.Transform({1, 2, 3}), (TVec3f{-1, 2, -3}));
    conv.SetNormal({1, 0, 0});
    EXPECT_EQ(conv.Ax(), (TVec3f{0, 1, 0}));
    EXPECT_EQ(conv.Ay(), (TVec3f{0, 0, 1}));
    EXPECT_EQ(conv.Transform({1, 2, 3}), (TVec3f{3, 1, 2}));
}

TEST(Dxf3D, InsertsPlaceTheirBlock)
{
    const std::string block = Block("B", Face({{1, 0, 0}, {0, 0, 0}, {0, 1, 0}}));
    const std::string placed = P("10", "100") + P("20", "0") + P("30", "0") + P("41", "2") + P("42", "2") +
                               P("43", "2") + P("50", "90");
    const auto corners = Corners(Convert(Drawing(Insert("b", placed), block)));
    ASSERT_EQ(corners.size(), 3u);
    ExpectNear(corners[0], {100, 2, 0});
    ExpectNear(corners[2], {98, 0, 0});

    // The block's base point lands on the insertion point; the block is
    // scaled along its own axes before it is turned.
    const std::string based = Block("S", Face({{11, 0, 0}, {10, 1, 0}, {10, 0, 0}}), {10, 0, 0});
    const auto stretched = Corners(
        Convert(Drawing(Insert("S", P("10", "5") + P("41", "2") + P("42", "1") + P("43", "1") + P("50", "90")), based)));
    ASSERT_EQ(stretched.size(), 3u);
    ExpectNear(stretched[0], {5, 2, 0});
    ExpectNear(stretched[1], {4, 0, 0});
    ExpectNear(stretched[2], {5, 0, 0});

    // After an insert with its own extrusion, a face outside every block is
    // in world coordinates again.
    const std::string flipped = P("210", "0") + P("220", "0") + P("230", "-1");
    const auto after =
        Corners(Convert(Drawing(Insert("B", flipped) + Face({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), block)));
    ASSERT_EQ(after.size(), 6u);
    ExpectNear(after[0], {-1, 0, 0});
    ExpectNear(after[3], {1, 2, 3});

    // An unknown block, or blocks only after the entities, stop the conversion.
    Convert(Drawing(Insert("C"), block), false);
    Convert(Section("ENTITIES", Insert("B")) + Section("BLOCKS", block) + P("0", "EOF"), false);
}

TEST(Dxf3D, ABlockInsertingItselfEndsTenDeepOrAtTheBudget)
{
    const std::string face = Face({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    const std::string once = Block("A", face + Insert("A", P("10", "1")));
    const auto corners = Corners(Convert(Drawing(Insert("A"), once)));
    ASSERT_EQ(corners.size(), 30u);
    // The deepest copy is moved by each of the nine inner levels.
    ExpectNear(corners[27], {9, 0, 0});

    // Ten copies a level would make 10^10 bodies: each limit of the budget
    // ends it on its own (bodies without a face count only as bodies).
    std::string tenTimes;
    for (int i = 0; i < 10; ++i)
        tenTimes += Insert("A");
    const int64_t many = 1'000'000'000;
    const std::pair<std::string, TDxfBudget> cases[] = {
        {tenTimes, {10'000, size_t(many), many}},
        {face + tenTimes, {many, 10'000, many}},
        {face + tenTimes, {many, size_t(many), 100'000}}};
    for (const auto& [body, budget] : cases) {
        TDxf2RawConverter conv(QByteArray::fromStdString(Drawing(Insert("A"), Block("A", body))), {}, budget);
        EXPECT_FALSE(conv.Convert());
        EXPECT_TRUE(conv.Triangles.empty());
    }
}

TEST(Dxf3D, AFileThatEndsEarlyOrHoldsNoNumberGivesNoModel)
{
    const std::string face = Face({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    const std::string whole = Drawing(face);
    ASSERT_EQ(Convert(whole).size(), 1u);
    Convert(whole.substr(0, whole.size() - P("0", "EOF").size()), false);
    Convert(Section("ENTITIES", P("0", "POLYLINE") + P("0", "VERTEX")), false);
    Convert(Drawing(Face({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + P("0", "3DFACE") + P("10", "1,5")), false);
    // Scaled past the float range.
    Convert(Drawing(Insert("B", P("41", "1e38")), Block("B", Face({{1e3, 0, 0}, {1, 0, 0}, {0, 1, 0}}))), false);

    // Through the model reader: the file by its path, the settings unit.
    TempProgramDir dir(false);
    ModelBounds b;
    const auto read = ReadDxf3D(dir.Write("face.DXF", QByteArray::fromStdString(whole)), 1, b);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_FLOAT_EQ(read[0].x2, 25.4f);
    EXPECT_DOUBLE_EQ(b.xmax, 25.4f);
    EXPECT_TRUE(ReadDxf3D(dir.File("none.dxf"), 0, b).empty());
}
