#pragma once
#include "job/Curves.h"
#include "job/Figure.h"
#include "machine/MoveCommands.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class QFile;
class WholeFileWriter;
class TJob;

// A drawing that cannot be read: the file can't be opened or read, or its
// content is broken or out of range. It says why, and where reading stopped:
// the line of a DXF drawing, the byte offset (from 0) of an HPGL one.
class ReaderError : public std::runtime_error {
public:
    enum class Reason {
        CannotOpen,  // the platform's reason in Detail
        CannotRead,  // likewise
        CoordinateOutOfRange,
        FileEndsEarly,
        GroupCodeExpected,
        NumberExpected,
        WholeNumberExpected,
        CurveNotFinite,
        TooManySegments,
        EntityIncomplete,  // the entity's name in Detail
        SplineMismatch,
    };
    enum class Where { Nowhere, Line, ByteOffset };

    ReaderError(Reason reason, Where where, int64_t position, const QString& detail = QString());

    Reason reason;
    Where where;
    int64_t position;
    QString detail;
};

struct THpglPen {
    double Width = 0.0;
};

// Reader of HPGL drawings, one contour per call (input type 1; type 2 is DXF),
// and writer of the machine command file (the output operations below).
// Plotter units are steps: coordinates are taken one to one.
class Thpgl {
public:
    static constexpr int kPenCount = 257;  // pens 0..256

    Thpgl();
    ~Thpgl();
    Thpgl(const Thpgl&) = delete;
    Thpgl& operator=(const Thpgl&) = delete;

    // Opens a drawing. Returns 0 when the input is ready; a non-zero code when a
    // file of this type can't be opened (32: in use by another process). An HPGL
    // file that can't be opened throws ReaderError. A DXF drawing's coordinates
    // are taken in `lengthUnit` (0 mm, 1 inch, 2 feet); HPGL has its own unit.
    int OpenInput(const QString& fileName, int32_t type, int32_t lengthUnit = 0);
    // The same over text in memory (tests, fuzzing).
    int OpenInputText(std::string_view text, int32_t type, int32_t lengthUnit = 0);
    // Appends the points of the next contour to the figure and sets its pen and bounds.
    void ReadFigure(tfigura& figure);
    void CloseInput();
    // Size of the opened input in bytes.
    int64_t InputBytes() const;

    int32_t InputType = 0;
    std::string Command;
    std::string Token;
    bool IsMnemonic = false;
    bool IsNumber = false;
    double Arg1 = 0.0;
    double Arg2 = 0.0;
    int32_t ArgCount = 0;
    TFigPoint Point;
    TFigPoint PrevPoint;
    TFigPoint LastPos;
    bool Relative = false;
    TFigPoint Acc;
    bool PenDown = false;
    int32_t CurrentPen = 0;
    std::array<THpglPen, kPenCount> PenTable{};
    // No command step is left to handle: the loader stops reading.
    bool EndOfInput = true;
    bool FigureDone = false;

    // DXF drawings (input type 2): one figure per entity of the ENTITIES section.
    // The ENTITIES section has begun (and not yet ended).
    bool InEntities = false;
    int32_t LineCount = 0;  // lines read
    // "$LTSCALE" of the drawing; 0.000394 (about 1/2540) marks a drawing whose
    // coordinates are to be taken 25.4 times. Each file starts at 1.
    double DrawingScale = 1.0;

    // ---- Writing the machine command file ----

    // The axis slots of the writer, in the order of the machine positions.
    enum Slot { FrontX, FrontY, AxisZ, TableTurn, BackX, BackY, ThirdTurn, SpindleTurn, SideX, SideY };
    using Axes = std::array<int32_t, 10>;
    // A target that leaves its axis where it is.
    static const double Keep;

    // The wire sets of the manual panel, copied before BeginOutput.
    uint8_t UseFront = 0, UseBack = 0, UseSide = 0;
    uint8_t HeaterChannel = 1;
    Axes AxisPositions{};
    // Positions two moves back, one move back and after the newest move.
    std::array<Axes, 3> CornerHistory{};
    bool HeatDwellPending = false;
    // The job being written, and the highest serial number of its series (the
    // last piece of a serial cut ends with the cut-off move).
    TJob* Job = nullptr;
    int32_t LastSerialIndex = -1;
    // The machine the heater output goes to when the file is begun (nullptr:
    // none attached).
    class Machine* AttachedMachine = nullptr;
    // After a two-wire cut the manual control panel is to be shown.
    bool ShowControlPanel = false;

    // Creates the file (nothing of it is in place until EndOutput succeeds)
    // and writes the header of the job type. False when it can't be created.
    bool BeginOutput(const QString& fileName);
    // Drops what was written, and any older file of the name: the job must
    // not reach the machine.
    void AbortOutput();
    // One move to the targets (mm; turns for the turn slots, relative), with
    // its corner dwell in front; empty when nothing moves.
    QByteArray Move(double frontX, double backX, double frontY, double backY, double tableTurn, double spindleTurn,
                    double axisZ, double thirdTurn, double sideX, double sideY);
    void WritePath(const tfigura& figure, int direction, double& endFraction, double startFraction);
    void WriteScaledMove(int32_t x, int32_t y, bool front, bool back, bool side);
    void WriteScaledMove4(int32_t frontX, int32_t frontY, int32_t backX, int32_t backY);
    void WritePause(int32_t count);
    void WriteHold();
    void WriteSideMove(double spindleTurns, double tableTurns);
    void SetStartPosition(int32_t x, int32_t y, int32_t turn);
    // Writes the trailer and puts the file in place. False when anything
    // could not be written: the operator has been told, and no file is left
    // that could be sent to the machine.
    bool EndOutput();

    double CutSpeed() const;
    double WorkPower() const;
    double HeatingTime() const;
    double CornerPause() const;
    static uint8_t ScalePower(double amperes);

    // The command file is refused: the cut must not be written (a zero pitch
    // or steps per turn). Raised by the path writer, reported by the save.
    class Refused : public std::runtime_error {
    public:
        enum class Reason { NoAxisLength, NoStepsPerTurn };
        explicit Refused(Reason r)
            : std::runtime_error(r == Reason::NoAxisLength ? "no rotation axis length" : "no steps per turn"), reason(r)
        {
        }
        Reason reason;
    };

private:
    void Prime();
    // Next character into the look-ahead; -1 once the input is exhausted.
    void Advance()
    {
        if (m_pos == m_end && !Refill()) {
            m_raw = m_cur = -1;
            return;
        }
        m_raw = static_cast<unsigned char>(*m_pos++);
        m_cur = (m_raw >= 'a' && m_raw <= 'z') ? m_raw - ('a' - 'A') : m_raw;
    }
    bool Refill();
    // Offset in the input of the byte that `p` (inside the current block) points at.
    int64_t OffsetOf(const char* p) const { return m_blockOffset + (p - m_blockStart); }
    [[noreturn]] void HpglFail(ReaderError::Reason reason) const;
    void NextToken();
    void SkipToToken();
    bool ReadStep();
    void HandleStep(tfigura& figure);
    void AfterMnemonic();
    void SkipEscape();
    void SkipQuoted();
    TFigPoint RoundedPoint() const;
    TFigPoint AddChecked(const TFigPoint& a, const TFigPoint& b) const;

    // Characters come from a buffer refilled in large blocks from the file, so
    // a drawing of tens of megabytes is read at disk speed and never held whole.
    // The current command as a code, so each step is not a row of text compares.
    enum class Cmd { None, PW, SP, PR, PD, PA, PU, C, M, Other };
    static Cmd CommandCode(const std::string& mnemonic);
    Cmd m_cmd = Cmd::None;

    // The points of the figure being read, in blocks: a contour of millions of
    // points is never copied to grow, and leaves the reader at its exact size.
    class PointAccumulator {
    public:
        void Add(const TFigPoint& p);
        bool Empty() const { return m_count == 0; }
        const TFigPoint& Back() const { return m_chunks[m_used - 1].back(); }
        // Appends everything to dest and starts empty again.
        void MoveInto(std::vector<TFigPoint>& dest);

    private:
        static constexpr size_t kChunk = 1 << 16;
        std::vector<std::vector<TFigPoint>> m_chunks;
        size_t m_used = 0;  // chunks holding points
        size_t m_count = 0;
    };
    PointAccumulator m_points;

    void Write(const QByteArray& bytes);
    // Move, appending the dwell and the records to `out`; false when nothing moves.
    bool MoveInto(QByteArray& out, double frontX, double backX, double frontY, double backY, double tableTurn,
                  double spindleTurn, double axisZ, double thirdTurn, double sideX, double sideY);
    void Emit(char letter, std::initializer_list<int> bytes);
    void Speed(uint8_t slot, double mmPerMinute);
    void Dwell(int32_t count, bool restFirst, QByteArray& out) const;
    int32_t Target(int slot, double value) const;
    void Header();

    std::unique_ptr<WholeFileWriter> m_out;
    QByteArray m_outBuffer;
    // What the machine lets each axis carry, and whether the spindle's turns go
    // on the table's axis: taken when the output begins.
    AxisRule m_axisRule = AxisRule::Current();
    bool m_turnsOnTable = false;

    std::unique_ptr<QFile> m_file;
    std::unique_ptr<char[]> m_buffer;
    size_t m_bufferSize = 0;
    const char* m_pos = nullptr;
    const char* m_end = nullptr;
    const char* m_blockStart = nullptr;  // the current block and its offset in the input
    int64_t m_blockOffset = 0;
    int64_t m_tokenOffset = 0;  // where the current token starts
    int64_t m_stepOffset = 0;  // where the command step being handled starts
    int m_raw = -1;  // current character as read, -1 once the input is exhausted
    int m_cur = -1;  // the same upper-cased (the look-ahead character)
    int m_labelTerminator = 3;
    double m_tokenValue = 0.0;  // the current number token, converted
    bool m_quotedArguments = false;  // the last command (CO, BP) takes quoted text

    // ---- Reading DXF drawings ----
    // The entities and markers the reader tells apart by their code 0 group.
    enum class DxfKind {
        Other, Line, Circle, Arc, Ellipse, LwPolyline, Polyline, Vertex, Seqend, Spline, Section, EndSec, Eof
    };
    struct DxfVertex {
        CurvePoint p;  // mm
        double bulge = 0.0;
        int32_t flags = 0;
        unsigned seen = 0;  // read so far: 1 x, 2 y, 4 bulge, 8 flags
    };
    void StartDxf();
    void ReadDxfFigure(tfigura& figure);
    bool DxfReadLine(std::string_view& line);
    bool DxfFindEntities();
    void DxfNextGroup();
    bool DxfEntityGroup();
    bool DxfScaleGroup();
    void DxfTakeScale();
    [[noreturn]] void DxfFail(ReaderError::Reason reason, const char* entity = nullptr) const;
    bool DxfNumber(double& value) const;
    int32_t DxfInteger() const;
    void DxfCoordinate(double& mm) const;
    void DxfColour(tfigura& figure);
    void DxfUpdateScale();
    void DxfAppend(const CurvePoint& p);
    int32_t DxfCharge(double count, int32_t least, double cost);
    int32_t DxfSegments(double length, double fraction);
    void DxfArcPoints(const CurvePoint& centre, double radius, double start, double sweep, const CurvePoint* from,
                      const CurvePoint* to);
    void DxfBulge(const CurvePoint& p, const CurvePoint& q, double bulge);
    void DxfSpan(size_t first, int from, int to);
    void DxfSkipEntity();
    void DxfLine(tfigura& figure);
    void DxfCircle(tfigura& figure);
    void DxfArc(tfigura& figure);
    void DxfEllipse(tfigura& figure);
    void DxfPolyline(tfigura& figure, bool lightweight);
    void DxfPlainPolyline(bool closed);
    void DxfFittedPolyline(bool closed);
    void DxfSpline(tfigura& figure);

    std::string m_dxfLine;  // a line that runs over the end of a block
    bool m_dxfSkipLf = false;  // the last line ended in CR: a LF right after it belongs to it
    int32_t m_dxfCode = 0;  // the current group: its code, its value (trimmed) and,
    std::string_view m_dxfValue;  // for code 0, the kind of entity it starts
    DxfKind m_dxfKind = DxfKind::Other;
    bool m_dxfHeld = false;  // the current group is to be read again
    // A drawing scale met inside an entity, taken once that entity is read.
    std::optional<double> m_dxfNextScale;
    // Outside ENTITIES, how much of a section start ("SECTION", "2") the last
    // lines were: only after both does a name start a section.
    int m_dxfSectionLines = 0;
    int32_t m_dxfLengthUnit = 0;  // the unit the drawing's coordinates are taken in
    double m_dxfMmPerUnit = 1.0;  // drawing units to mm, with the drawing's factor
    TFigPoint m_dxfLast;  // the last point appended to the figure
    bool m_dxfHaveLast = false;
    int64_t m_dxfEntitySegments = 0;  // curve segments of the current entity
    double m_dxfSegmentsLeft = 0.0;  // what the rest of the drawing's curves may cost
    // Reused from entity to entity, so that reading allocates only while the
    // largest entity so far grows.
    std::vector<DxfVertex> m_dxfVertices;
    std::vector<CurvePoint> m_dxfCurve;  // fitted vertices, or a spline's control points
    std::vector<double> m_dxfKnots;
    std::vector<double> m_dxfWeights;
};

// Text of a number token as the reader converts it: an optional sign, digits
// with at most one decimal point; text that stops converting gives its prefix,
// and nothing convertible gives 0.
double HpglNumber(std::string_view token);
