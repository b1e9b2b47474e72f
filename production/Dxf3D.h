#pragma once
// Three-dimensional DXF drawings (polyface meshes, 3D faces, block inserts)
// turned into the model's triangles.
#include "production/Model.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A decimal number as model files write it: an optional sign, digits with an
// optional "." and an optional exponent. "." is the only decimal separator,
// whatever the locale; a number out of range, "inf" or "nan" is no number.
bool ParseModelNumber(std::string_view text, double& value);

// Asked now and then during a long read; true ends the read early.
using StopTest = std::function<bool()>;

// One DXF group: the group-code line and the value line, both without their
// leading and trailing blanks. The texts point into the reader's file text.
struct TDXFCommand {
    std::string_view code;
    std::string_view value;
};

// The whole DXF file as (group code, value) pairs with a cursor. The file is
// held once as text; a pair is only the start offset of its two lines.
class TDxfReader {
public:
    // Reads the whole file; Opened() tells whether that worked.
    explicit TDxfReader(const QString& fileName, const StopTest& stop = {});
    // Over text already in memory.
    explicit TDxfReader(QByteArray text);

    bool Opened() const { return m_opened; }
    int64_t Count() const { return static_cast<int64_t>(m_lineStart.size() + 1) / 2; }
    int64_t Cursor() const { return m_cursor; }

    // Cursor + 1 and the pair there; false (and no pair) past the last pair.
    bool Next(TDXFCommand& pair);
    // Cursor := index and the pair there; false outside the pairs.
    bool Seek(int64_t index, TDXFCommand& pair);

private:
    void Index(const StopTest& stop);
    std::string_view Line(size_t line) const;

    QByteArray m_text;
    std::vector<uint32_t> m_lineStart;  // offset of every line's first byte
    int64_t m_cursor = -1;
    bool m_opened = false;
};

struct TVec3f {
    float x = 0, y = 0, z = 0;
    bool operator==(const TVec3f&) const = default;
};

using TMatrix4 = std::array<std::array<double, 4>, 4>;

TVec3f Cross(const TVec3f& a, const TVec3f& b);
// Divided by its length; a vector of no length stays as it is.
TVec3f Normalise(const TVec3f& v);
TVec3f RotateZ(const TVec3f& p, double degrees);
TVec3f ScalePoint(const TVec3f& p, const TVec3f& factors);
TVec3f TranslatePoint(const TVec3f& p, const TVec3f& offset);

// Object coordinates to world coordinates by the arbitrary-axis rule of DXF.
class TConvOCS2WCS {
public:
    TConvOCS2WCS() { Init(); }
    // Back to the identity (extrusion (0, 0, 1)).
    void Init();
    // A new extrusion direction, taken as it is (not normalised).
    void SetNormal(const TVec3f& n);
    TVec3f Transform(const TVec3f& p) const;
    void LoadMatrix(const TMatrix4& m);
    const TMatrix4& Matrix() const { return m_matrix; }
    const TVec3f& Ax() const { return m_ax; }
    const TVec3f& Ay() const { return m_ay; }
    const TVec3f& N() const { return m_n; }

private:
    TVec3f m_ax, m_ay, m_n;
    TMatrix4 m_matrix{};
};

// What one file may make the conversion do: a block inserting itself many
// times would otherwise grow without bound (k^10 copies). Past any of these
// the file gives no model.
struct TDxfBudget {
    int64_t blockBodies = 1'000'000;
    size_t triangles = 20'000'000;
    int64_t pairReads = 300'000'000;
};

// Walks the sections, blocks and entities of a DXF file and collects its
// triangles. Any failure (an unreadable file, a broken number, a face index
// naming no point, an unknown block, a file that ends early, a model past the
// budget) leaves no triangle at all.
class TDxf2RawConverter {
public:
    using Budget = TDxfBudget;

    explicit TDxf2RawConverter(const QString& fileName, const StopTest& stop = {}, Budget budget = {});
    explicit TDxf2RawConverter(QByteArray text, const StopTest& stop = {}, Budget budget = {});

    // Fills Triangles; false (and no triangle) when the file was not read
    // whole or the conversion failed or was stopped.
    bool Convert();

    TriangleList Triangles;

private:
    struct InsertParams {
        // base: the block's own base point (group codes 10/20/30 of BLOCK),
        // the point of the block that lands on the insertion point.
        TVec3f point, scale{1, 1, 1}, extrusion{0, 0, 1}, base;
        double rotation = 0;
        int64_t returnIndex = 0;
    };
    struct InsertLevel {
        InsertParams params;
        TMatrix4 matrix{};
    };
    static constexpr int MaxDepth = 10;

    void NextPair();
    void SeekPair(int64_t index);
    bool Is(std::string_view code, std::string_view value) const;
    double Number64() const;
    float Number() const;  // also within the float range
    TVec3f FaceCorner() const;
    void Section();
    void BlocksSection();
    void EntitiesUntil(std::string_view endMark);
    void Polyline();
    void Vertex();
    void Face3D();
    void Insert();
    TVec3f BlockBase();
    TVec3f PointToWorld(TVec3f p);
    void AddTriangle(const TVec3f& a, const TVec3f& b, const TVec3f& c);

    TDxfReader m_reader;
    StopTest m_stop;
    Budget m_budget;
    std::string m_key;  // the block name being looked up, upper-cased
    TDXFCommand m_pair;
    std::vector<TVec3f> m_vertices;
    // Block names, upper-cased, to the index of their (0, "BLOCK") pair.
    std::unordered_map<std::string, int64_t> m_blocks;
    TConvOCS2WCS m_conv;
    InsertParams m_insert;
    bool m_applyInsert = false;
    int m_depth = 0;
    std::array<InsertLevel, MaxDepth> m_stack;
    int64_t m_bodies = 0;
    int64_t m_pairsRead = 0;
};
