#include "production/Dxf3D.h"

#include "app/WholeFile.h"

#include <QFile>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

bool ParseModelNumber(std::string_view text, double& value)
{
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars takes no "+"; a sign must still be followed by the number.
    if (first != last && *first == '+') {
        ++first;
        if (first != last && (*first == '-' || *first == '+'))
            return false;
    }
    if (first == last)
        return false;
    double v = 0;
    const auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ec != std::errc() || ptr != last || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

// --- the file as pairs ---

TDxfReader::TDxfReader(const QString& fileName, const StopTest& stop)
{
    InputFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return;
    Index(stop);
}

TDxfReader::TDxfReader(QByteArray text) : m_text(std::move(text))
{
    Index({});
}

void TDxfReader::Index(const StopTest& stop)
{
    // Offsets are 32-bit: a drawing of 4 GiB is no model anyone cuts.
    if (static_cast<uint64_t>(m_text.size()) > std::numeric_limits<uint32_t>::max())
        return;
    const char* data = m_text.constData();
    const size_t size = static_cast<size_t>(m_text.size());
    size_t pos = 0;
    while (pos < size) {
        m_lineStart.push_back(static_cast<uint32_t>(pos));
        if ((m_lineStart.size() & 0xFFFF) == 0 && stop && stop())
            return;
        const void* lf = std::memchr(data + pos, '\n', size - pos);
        if (!lf)
            break;
        pos = static_cast<size_t>(static_cast<const char*>(lf) - data) + 1;
    }
    m_opened = true;
}

std::string_view TDxfReader::Line(size_t line) const
{
    if (line >= m_lineStart.size())
        return {};  // the value of a last pair whose line is missing
    const char* data = m_text.constData();
    size_t begin = m_lineStart[line];
    size_t end = line + 1 < m_lineStart.size() ? m_lineStart[line + 1] : static_cast<size_t>(m_text.size());
    // Blanks and control characters (the line end among them) are no part of
    // a code or a value.
    while (begin < end && static_cast<unsigned char>(data[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(data[end - 1]) <= ' ')
        --end;
    return {data + begin, end - begin};
}

bool TDxfReader::Next(TDXFCommand& pair)
{
    return Seek(m_cursor + 1, pair);
}

bool TDxfReader::Seek(int64_t index, TDXFCommand& pair)
{
    m_cursor = index;
    if (index < 0 || index >= Count())
        return false;
    pair.code = Line(static_cast<size_t>(2 * index));
    pair.value = Line(static_cast<size_t>(2 * index + 1));
    return true;
}

// --- object to world coordinates ---

TVec3f Cross(const TVec3f& a, const TVec3f& b)
{
    return {static_cast<float>(double(a.y) * b.z - double(a.z) * b.y),
            static_cast<float>(double(a.z) * b.x - double(a.x) * b.z),
            static_cast<float>(double(a.x) * b.y - double(a.y) * b.x)};
}

TVec3f Normalise(const TVec3f& v)
{
    const double len = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    if (len == 0)
        return v;
    return {static_cast<float>(v.x / len), static_cast<float>(v.y / len), static_cast<float>(v.z / len)};
}

TVec3f RotateZ(const TVec3f& p, double degrees)
{
    const double a = degrees * 0.017453292519943295769;
    const double c = std::cos(a), s = std::sin(a);
    return {static_cast<float>(p.x * c - p.y * s), static_cast<float>(p.x * s + p.y * c), p.z};
}

TVec3f ScalePoint(const TVec3f& p, const TVec3f& f)
{
    return {p.x * f.x, p.y * f.y, p.z * f.z};
}

TVec3f TranslatePoint(const TVec3f& p, const TVec3f& o)
{
    return {p.x + o.x, p.y + o.y, p.z + o.z};
}

void TConvOCS2WCS::Init()
{
    SetNormal({0, 0, 1});
}

void TConvOCS2WCS::SetNormal(const TVec3f& n)
{
    constexpr float limit = 1.0f / 64;
    m_n = n;
    const TVec3f worldY{0, 1, 0}, worldZ{0, 0, 1};
    if (std::fabs(n.x) < limit && std::fabs(n.y) < limit)
        m_ax = Normalise(Cross(worldY, n));
    else
        m_ax = Normalise(Cross(worldZ, n));
    m_ay = Normalise(Cross(n, m_ax));
    m_matrix = {{{m_ax.x, m_ax.y, m_ax.z, 0}, {m_ay.x, m_ay.y, m_ay.z, 0}, {m_n.x, m_n.y, m_n.z, 0}, {0, 0, 0, 1}}};
}

TVec3f TConvOCS2WCS::Transform(const TVec3f& p) const
{
    const auto& m = m_matrix;
    auto axis = [&](int j) {
        return static_cast<float>(p.x * m[0][j] + p.y * m[1][j] + p.z * m[2][j] + m[3][j]);
    };
    return {axis(0), axis(1), axis(2)};
}

void TConvOCS2WCS::LoadMatrix(const TMatrix4& m)
{
    m_matrix = m;
    auto row = [&](int i) {
        return TVec3f{static_cast<float>(m[i][0]), static_cast<float>(m[i][1]), static_cast<float>(m[i][2])};
    };
    m_ax = row(0);
    m_ay = row(1);
    m_n = row(2);
}

// --- the conversion ---

namespace {
// Any failure ends the whole conversion: a half-read model is no model.
struct ConversionFailed {};

[[noreturn]] void Fail()
{
    throw ConversionFailed{};
}

void UpperName(std::string_view name, std::string& s)
{
    s.assign(name);
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
}

int CodeOf(std::string_view code)
{
    int v = -1;
    const auto [ptr, ec] = std::from_chars(code.data(), code.data() + code.size(), v);
    return ec == std::errc() && ptr == code.data() + code.size() ? v : -1;
}
}  // namespace

TDxf2RawConverter::TDxf2RawConverter(const QString& fileName, const StopTest& stop, Budget budget)
    : m_reader(fileName, stop), m_stop(stop), m_budget(budget)
{
}

TDxf2RawConverter::TDxf2RawConverter(QByteArray text, const StopTest& stop, Budget budget)
    : m_reader(std::move(text)), m_stop(stop), m_budget(budget)
{
}

bool TDxf2RawConverter::Convert()
{
    Triangles.clear();
    if (!m_reader.Opened())
        return false;
    try {
        for (;;) {
            NextPair();
            if (Is("0", "EOF"))
                break;
            if (Is("0", "SECTION"))
                Section();
        }
    } catch (const ConversionFailed&) {
        TriangleList().swap(Triangles);
        return false;
    }
    return true;
}

void TDxf2RawConverter::NextPair()
{
    if (!m_reader.Next(m_pair))
        Fail();  // the file ended inside something never closed
    if (++m_pairsRead > m_budget.pairReads || ((m_pairsRead & 0xFFF) == 0 && m_stop && m_stop()))
        Fail();
}

void TDxf2RawConverter::SeekPair(int64_t index)
{
    if (!m_reader.Seek(index, m_pair))
        Fail();
}

bool TDxf2RawConverter::Is(std::string_view code, std::string_view value) const
{
    return m_pair.code == code && m_pair.value == value;
}

double TDxf2RawConverter::Number64() const
{
    double v = 0;
    if (!ParseModelNumber(m_pair.value, v))
        Fail();
    return v;
}

float TDxf2RawConverter::Number() const
{
    const float f = static_cast<float>(Number64());
    if (!std::isfinite(f))
        Fail();
    return f;
}

// A face names its corners by their 1-based place among the mesh points; a
// negative index only marks an invisible edge.
TVec3f TDxf2RawConverter::FaceCorner() const
{
    const std::string_view text = m_pair.value;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    int64_t index = 0;
    const auto [ptr, ec] = std::from_chars(first, last, index);
    if (first == last || ec != std::errc() || ptr != last)
        Fail();
    const uint64_t magnitude = index < 0 ? 0 - static_cast<uint64_t>(index) : static_cast<uint64_t>(index);
    if (magnitude == 0 || magnitude > m_vertices.size())
        Fail();
    return m_vertices[magnitude - 1];
}

void TDxf2RawConverter::Section()
{
    for (;;) {
        NextPair();
        if (Is("0", "ENDSEC"))
            return;
        if (Is("2", "HEADER")) {
            do
                NextPair();
            while (!Is("0", "ENDSEC"));
            return;
        }
        if (Is("2", "ENTITIES")) {
            EntitiesUntil("ENDSEC");
            return;
        }
        if (Is("2", "BLOCKS")) {
            BlocksSection();
            return;
        }
    }
}

void TDxf2RawConverter::BlocksSection()
{
    int64_t pending = -1;  // the (0, "BLOCK") pair whose name comes next
    for (;;) {
        NextPair();
        if (Is("0", "ENDSEC"))
            return;
        if (Is("0", "BLOCK")) {
            pending = m_reader.Cursor();
        } else if (pending >= 0 && m_pair.code == "2") {
            // Of two blocks of one name the first is used.
            UpperName(m_pair.value, m_key);
            m_blocks.try_emplace(m_key, pending);
            pending = -1;
        }
    }
}

void TDxf2RawConverter::EntitiesUntil(std::string_view endMark)
{
    for (;;) {
        NextPair();
        if (m_pair.code != "0")
            continue;
        if (m_pair.value == endMark)
            return;
        if (m_pair.value == "POLYLINE")
            Polyline();
        else if (m_pair.value == "3DFACE")
            Face3D();
        else if (m_pair.value == "INSERT")
            Insert();
    }
}

void TDxf2RawConverter::Polyline()
{
    m_vertices.clear();
    for (;;) {
        NextPair();
        if (Is("0", "SEQEND"))
            return;
        if (Is("0", "VERTEX"))
            Vertex();
    }
}

void TDxf2RawConverter::Vertex()
{
    TVec3f point;
    std::array<TVec3f, 4> c{};
    bool meshPoint = false, face = false, four = false;
    for (;;) {
        NextPair();
        if (Is("0", "VERTEX") || Is("0", "SEQEND"))
            break;
        switch (CodeOf(m_pair.code)) {
        case 70:
            if (m_pair.value == "192")
                meshPoint = true;
            else if (m_pair.value == "128")
                face = true;
            break;
        case 10: point.x = Number(); break;
        case 20: point.y = Number(); break;
        case 30: point.z = Number(); break;
        case 71: c[0] = FaceCorner(); break;
        case 72: c[1] = FaceCorner(); break;
        case 73: c[2] = FaceCorner(); break;
        case 74:
            c[3] = FaceCorner();
            four = true;
            break;
        default: break;
        }
    }
    if (meshPoint)
        m_vertices.push_back(PointToWorld(point));
    if (face) {
        AddTriangle(c[0], c[1], c[2]);
        if (four && !(c[2] == c[3]))
            AddTriangle(c[0], c[2], c[3]);
    }
    // The closing pair belongs to the polyline.
    SeekPair(m_reader.Cursor() - 1);
}

void TDxf2RawConverter::Face3D()
{
    std::array<TVec3f, 4> c{};
    bool four = false;
    for (;;) {
        NextPair();
        if (m_pair.code == "0")
            break;
        const int code = CodeOf(m_pair.code);
        const int corner = code % 10;
        if (code < 10 || code > 33 || corner > 3)
            continue;
        float& axis = code < 20 ? c[corner].x : code < 30 ? c[corner].y : c[corner].z;
        axis = Number();
        if (corner == 3)
            four = true;
    }
    const TVec3f a = PointToWorld(c[0]), b = PointToWorld(c[1]), d3 = PointToWorld(c[2]);
    AddTriangle(a, b, d3);
    if (four) {
        const TVec3f d4 = PointToWorld(c[3]);
        if (!(d4 == d3))
            AddTriangle(a, d3, d4);
    }
    SeekPair(m_reader.Cursor() - 1);
}

void TDxf2RawConverter::Insert()
{
    m_insert = InsertParams{};
    m_conv.Init();
    std::string_view name;
    for (;;) {
        NextPair();
        if (m_pair.code == "0")
            break;
        switch (CodeOf(m_pair.code)) {
        case 10: m_insert.point.x = Number(); break;
        case 20: m_insert.point.y = Number(); break;
        case 30: m_insert.point.z = Number(); break;
        case 41: m_insert.scale.x = Number(); break;
        case 42: m_insert.scale.y = Number(); break;
        case 43: m_insert.scale.z = Number(); break;
        case 210: m_insert.extrusion.x = Number(); break;
        case 220: m_insert.extrusion.y = Number(); break;
        case 230: m_insert.extrusion.z = Number(); break;
        case 50: m_insert.rotation = Number64(); break;
        case 2: name = m_pair.value; break;
        default: break;
        }
    }
    m_insert.returnIndex = m_reader.Cursor() - 1;
    m_applyInsert = true;
    // An extrusion of no length has no axes: every point would be lost.
    if (m_insert.extrusion == TVec3f{})
        Fail();
    m_conv.SetNormal(m_insert.extrusion);
    if (m_depth < MaxDepth) {
        UpperName(name, m_key);
        const auto block = m_blocks.find(m_key);
        if (block == m_blocks.end())
            Fail();
        if (++m_bodies > m_budget.blockBodies)
            Fail();
        SeekPair(block->second);
        m_insert.base = BlockBase();
        m_stack[m_depth] = {m_insert, m_conv.Matrix()};
        ++m_depth;
        EntitiesUntil("ENDBLK");
        --m_depth;
        m_insert = m_stack[m_depth].params;
        m_conv.LoadMatrix(m_stack[m_depth].matrix);
        if (m_depth == 0) {
            m_applyInsert = false;
            // Entities outside every block are in world coordinates again,
            // not in the last insert's.
            m_conv.Init();
        }
    }
    SeekPair(m_insert.returnIndex);
}

// The header pairs of the BLOCK at the cursor, up to its first entity; the
// cursor is left on the header's last pair.
TVec3f TDxf2RawConverter::BlockBase()
{
    TVec3f base;
    for (;;) {
        NextPair();
        if (m_pair.code == "0")
            break;
        switch (CodeOf(m_pair.code)) {
        case 10: base.x = Number(); break;
        case 20: base.y = Number(); break;
        case 30: base.z = Number(); break;
        default: break;
        }
    }
    SeekPair(m_reader.Cursor() - 1);
    return base;
}

TVec3f TDxf2RawConverter::PointToWorld(TVec3f p)
{
    if (m_depth == 0)
        return m_conv.Transform(p);
    for (int d = m_depth - 1; d >= 0; --d) {
        const InsertLevel& level = m_stack[d];
        if (m_applyInsert) {
            // As drawing files mean an insert: the block's base point goes to
            // the origin, then the block is scaled along its own axes, turned,
            // and moved to the insertion point.
            const TVec3f& b = level.params.base;
            p = TranslatePoint(p, {-b.x, -b.y, -b.z});
            p = ScalePoint(p, level.params.scale);
            p = RotateZ(p, level.params.rotation);
            p = TranslatePoint(p, level.params.point);
        }
        m_conv.LoadMatrix(level.matrix);
        p = m_conv.Transform(p);
    }
    return p;
}

void TDxf2RawConverter::AddTriangle(const TVec3f& a, const TVec3f& b, const TVec3f& c)
{
    if (Triangles.size() >= m_budget.triangles)
        Fail();
    // Scales and extrusions can carry a point past the float range.
    for (const TVec3f* p : {&a, &b, &c})
        if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->z))
            Fail();
    Triangles.push_back({a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z});
}
