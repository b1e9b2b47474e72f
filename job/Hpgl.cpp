#include "job/Hpgl.h"

#include "app/MathUtil.h"
#include "app/WholeFile.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <charconv>
#include <vector>

namespace {
constexpr int kEsc = 0x1B;

inline bool IsLetter(int c) { return c >= 'A' && c <= 'Z'; }
inline bool IsNumberChar(int c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; }
}  // namespace

// what() is for logs only: the operator reads the translated reason.
ReaderError::ReaderError(Reason r, Where w, int64_t pos, const QString& d)
    : std::runtime_error("unreadable drawing, reason " + std::to_string(static_cast<int>(r)) +
                         (w == Where::Line ? " at line " : " at byte ") + std::to_string(pos) + " " + d.toStdString()),
      reason(r), where(w), position(pos), detail(d)
{
}

double HpglNumber(std::string_view token)
{
    size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    const size_t start = i;
    bool point = false;
    bool digits = false;
    bool fraction = false;  // a non-zero digit after the point
    // Whole numbers, the common case, without the general parser.
    uint64_t whole = 0;
    bool wholeExact = true;
    for (; i < token.size(); ++i) {
        const char c = token[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point) {
                fraction = fraction || c != '0';
            } else {
                if (whole >= (UINT64_C(1) << 52))
                    wholeExact = false;
                whole = whole * 10 + static_cast<uint64_t>(c - '0');
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    double value = static_cast<double>(whole);
    if (!wholeExact || fraction) {
        std::string text(token.substr(start, i - start));
        if (text.front() == '.')
            text.insert(text.begin(), '0');
        // A number too large for a double is out of every range, never a
        // smaller number that happens to fit.
        if (std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc::result_out_of_range)
            value = HUGE_VAL;
    }
    return negative ? -value : value;
}

void Thpgl::PointAccumulator::Add(const TFigPoint& p)
{
    if (m_used == 0 || m_chunks[m_used - 1].size() == kChunk) {
        if (m_used == m_chunks.size())
            m_chunks.emplace_back().reserve(m_used == 0 ? 1024 : kChunk);
        ++m_used;
    }
    std::vector<TFigPoint>& chunk = m_chunks[m_used - 1];
    if (chunk.size() == chunk.capacity() && chunk.capacity() < kChunk)
        chunk.reserve(kChunk);
    chunk.push_back(p);
    ++m_count;
}

void Thpgl::PointAccumulator::MoveInto(std::vector<TFigPoint>& dest)
{
    if (m_count == 0)
        return;
    dest.reserve(dest.size() + m_count);
    for (size_t i = 0; i < m_used; ++i) {
        dest.insert(dest.end(), m_chunks[i].begin(), m_chunks[i].end());
        if (i > 0)
            m_chunks[i] = std::vector<TFigPoint>();  // a long contour's memory goes as it is copied
        else
            m_chunks[i].clear();
    }
    m_chunks.resize(1);
    m_used = 0;
    m_count = 0;
}

Thpgl::Thpgl() = default;
Thpgl::~Thpgl() = default;

int64_t Thpgl::InputBytes() const { return m_file ? m_file->size() : m_end - m_pos; }

int Thpgl::OpenInput(const QString& fileName, int32_t type, int32_t lengthUnit)
{
    InputType = type;
    if (type != 1 && type != 2)
        return 2;  // no reader for this kind of file
    auto file = std::make_unique<InputFile>(fileName);
    if (!file->open(QIODevice::ReadOnly)) {
        // A DXF drawing that can't be opened is reported by the loader with the
        // code: 2 no such file, 5 no access.
        if (type == 2)
            return file->exists() ? 5 : 2;
        throw ReaderError(ReaderError::Reason::CannotOpen, ReaderError::Where::Nowhere, 0, file->errorString());
    }
    m_file = std::move(file);
    // Large blocks for large drawings; a small drawing needs no megabyte.
    m_bufferSize = static_cast<size_t>(std::clamp<qint64>(m_file->size() + 1, 4096, 1 << 20));
    m_buffer = std::make_unique_for_overwrite<char[]>(m_bufferSize);
    m_pos = m_end = m_blockStart = m_buffer.get();
    m_blockOffset = 0;
    m_dxfLengthUnit = lengthUnit;
    if (type == 2)
        StartDxf();
    else
        Prime();
    return 0;
}

int Thpgl::OpenInputText(std::string_view text, int32_t type, int32_t lengthUnit)
{
    InputType = type;
    if (type != 1 && type != 2)
        return 2;
    m_file.reset();
    m_pos = m_blockStart = text.data();
    m_end = text.data() + text.size();
    m_blockOffset = 0;
    m_dxfLengthUnit = lengthUnit;
    if (type == 2)
        StartDxf();
    else
        Prime();
    return 0;
}

void Thpgl::CloseInput()
{
    if (m_file)
        m_file->close();
    m_file.reset();
    m_pos = m_end = nullptr;
}

void Thpgl::Prime()
{
    Command.clear();
    m_cmd = Cmd::None;
    Token.clear();
    Relative = false;
    Point = {};
    Acc = {};
    LastPos = {};
    PrevPoint = {};
    CurrentPen = 0;
    PenDown = false;
    for (THpglPen& pen : PenTable)
        pen.Width = 0.0;
    m_labelTerminator = 3;
    m_quotedArguments = false;
    Advance();
    SkipToToken();
    // The first call handles the empty command and reads the first step, so a
    // drawing is "at its end" only when it holds no token at all.
    EndOfInput = !IsMnemonic && !IsNumber;
}

bool Thpgl::Refill()
{
    if (!m_file)
        return false;
    m_blockOffset += m_end - m_blockStart;
    const qint64 n = m_file->read(m_buffer.get(), static_cast<qint64>(m_bufferSize));
    if (n < 0)
        throw ReaderError(ReaderError::Reason::CannotRead, ReaderError::Where::ByteOffset, m_blockOffset,
                          m_file->errorString());
    m_pos = m_blockStart = m_buffer.get();
    m_end = m_pos + n;
    return n > 0;
}

[[noreturn]] void Thpgl::HpglFail(ReaderError::Reason reason) const
{
    throw ReaderError(reason, ReaderError::Where::ByteOffset, m_stepOffset);
}

void Thpgl::NextToken()
{
    IsMnemonic = false;
    IsNumber = false;
    Token.clear();
    // The look-ahead character is the one before m_pos.
    m_tokenOffset = OffsetOf(m_pos) - 1;
    if (IsLetter(m_cur)) {
        Token.push_back(static_cast<char>(m_cur));
        Advance();
        if (IsLetter(m_cur)) {
            Token.push_back(static_cast<char>(m_cur));
            Advance();
        }
        IsMnemonic = true;
        AfterMnemonic();
    } else if (IsNumberChar(m_cur)) {
        // A signed whole number, the common case, is converted on the way.
        bool negative = false;
        bool simple = true;
        int digits = 0;
        int64_t value = 0;
        if (m_cur == '+' || m_cur == '-') {
            negative = m_cur == '-';
            Token.push_back(static_cast<char>(m_cur));
            Advance();
        }
        // The run is scanned straight from the buffer; characters of a number
        // need no upper-casing.
        int c = m_cur;
        const char* p = m_pos;
        while (IsNumberChar(c)) {
            if (c >= '0' && c <= '9' && digits < 18) {
                value = value * 10 + (c - '0');
                ++digits;
            } else {
                simple = false;
            }
            Token.push_back(static_cast<char>(c));
            if (p != m_end) {
                c = static_cast<unsigned char>(*p++);
            } else {
                m_pos = p;
                Advance();
                p = m_pos;
                c = m_raw;
            }
        }
        m_pos = p;
        m_raw = c;
        m_cur = (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
        m_tokenValue = simple && digits > 0 ? static_cast<double>(negative ? -value : value) : HpglNumber(Token);
        IsNumber = true;
    } else if (m_raw == kEsc) {
        SkipEscape();
    } else if (m_raw == '"' && m_quotedArguments) {
        SkipQuoted();
    } else if (m_cur >= 0) {
        Advance();
    }
}

// Text that is not drawing is passed over here, so that letters inside it are
// never taken for commands.
void Thpgl::AfterMnemonic()
{
    const int code = Token.size() == 2 ? (Token[0] << 8 | Token[1]) : 0;
    constexpr int LB = 'L' << 8 | 'B', DT = 'D' << 8 | 'T', CO = 'C' << 8 | 'O', BP = 'B' << 8 | 'P';
    m_quotedArguments = code == CO || code == BP;
    if (code == LB) {
        // Label text runs up to the label terminator, which is consumed.
        while (m_raw >= 0 && m_raw != m_labelTerminator)
            Advance();
        if (m_raw >= 0)
            Advance();
    } else if (code == DT) {
        // DT t sets the label terminator; DT; restores the default.
        if (m_raw == ';' || m_raw < 0) {
            m_labelTerminator = 3;
        } else {
            m_labelTerminator = m_raw;
            Advance();
        }
    } else if (m_quotedArguments) {
        while (m_raw == ' ' || m_raw == '\t')
            Advance();
        if (m_raw == '"')
            SkipQuoted();
    }
}

void Thpgl::SkipQuoted()
{
    Advance();  // opening quote
    while (m_raw >= 0 && m_raw != '"')
        Advance();
    if (m_raw >= 0)
        Advance();
}

// Device-control sequences (ESC . x, some with parameters up to ":"), PCL
// mode switches (ESC % [number] letter) and the printer reset (ESC E).
void Thpgl::SkipEscape()
{
    Advance();
    if (m_raw == '.') {
        Advance();  // the sequence's own letter or sign
        // Only these take parameters; every other sequence ends at its letter,
        // and what follows it is drawing again.
        constexpr std::string_view withParameters = "@HIMNPQST";
        const bool parameters = m_raw >= 0 && withParameters.find(static_cast<char>(m_raw)) != std::string_view::npos;
        if (m_raw >= 0)
            Advance();
        while (parameters && m_raw >= 0 &&
               ((m_raw >= '0' && m_raw <= '9') || m_raw == ';' || m_raw == ',' || m_raw == '+' || m_raw == '-' ||
                m_raw == '.' || m_raw == ' '))
            Advance();
        if (parameters && m_raw == ':')
            Advance();
    } else if (m_raw == '%') {
        Advance();
        if (m_raw == '+' || m_raw == '-')
            Advance();
        while (m_raw >= '0' && m_raw <= '9')
            Advance();
        if (IsLetter(m_cur))
            Advance();
    } else if (m_raw == 'E') {
        Advance();
    }
}

void Thpgl::SkipToToken()
{
    do {
        NextToken();
    } while (!IsMnemonic && !IsNumber && m_cur >= 0);
}

TFigPoint Thpgl::RoundedPoint() const
{
    TFigPoint p;
    if (!RoundToInt32(Arg1, p.x) || !RoundToInt32(Arg2, p.y))
        HpglFail(ReaderError::Reason::CoordinateOutOfRange);
    return p;
}

TFigPoint Thpgl::AddChecked(const TFigPoint& a, const TFigPoint& b) const
{
    const int64_t x = static_cast<int64_t>(a.x) + b.x;
    const int64_t y = static_cast<int64_t>(a.y) + b.y;
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX)
        HpglFail(ReaderError::Reason::CoordinateOutOfRange);
    return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

// One command step: a command with up to two numbers, or a further pair of
// numbers repeating the previous command. False when the input is exhausted.
bool Thpgl::ReadStep()
{
    ArgCount = 0;
    m_stepOffset = m_tokenOffset;
    if (IsMnemonic) {
        Command = Token;
        m_cmd = CommandCode(Command);
        SkipToToken();
        if (!IsNumber) {
            if (Relative)
                Point = {};
            if (m_cmd == Cmd::PR)
                Point = LastPos;
            return true;
        }
    } else if (!IsNumber) {
        return false;
    }
    // Every number may carry decimals; each is rounded half to even.
    Arg1 = m_tokenValue;
    ArgCount = 1;
    SkipToToken();
    if (IsNumber) {
        Arg2 = m_tokenValue;
        ArgCount = 2;
        Point = RoundedPoint();
        SkipToToken();
    }
    return true;
}

Thpgl::Cmd Thpgl::CommandCode(const std::string& m)
{
    if (m.size() == 1)
        return m[0] == 'C' ? Cmd::C : m[0] == 'M' ? Cmd::M : Cmd::Other;
    if (m.size() != 2)
        return Cmd::None;
    switch (m[0] << 8 | m[1]) {
    case 'P' << 8 | 'W': return Cmd::PW;
    case 'S' << 8 | 'P': return Cmd::SP;
    case 'P' << 8 | 'R': return Cmd::PR;
    case 'P' << 8 | 'D': return Cmd::PD;
    case 'P' << 8 | 'A': return Cmd::PA;
    case 'P' << 8 | 'U': return Cmd::PU;
    default: return Cmd::Other;
    }
}

void Thpgl::HandleStep(tfigura& fig)
{
    const Cmd c = m_cmd;
    if (c == Cmd::PW) {
        // A width names its pen only through "PW w,pen".
        int32_t pen = -1;
        if (ArgCount >= 2 && RoundToInt32(Arg2, pen) && pen >= 0 && pen < kPenCount)
            PenTable[static_cast<size_t>(pen)].Width = Arg1;
    }
    if (c == Cmd::SP) {
        // A pen outside the table is no pen: the current one stays, but the
        // change still ends a figure drawn with the pen down.
        int32_t pen = 0;
        if (ArgCount < 1 || (RoundToInt32(Arg1, pen) && pen >= 0 && pen < kPenCount))
            CurrentPen = pen;
        if (PenDown)
            FigureDone = true;
    }
    if (c == Cmd::PR) {
        Relative = true;
        Acc = AddChecked(Acc, Point);
        Point = Acc;
    }
    if (c == Cmd::PD || (c == Cmd::PA && PenDown)) {
        if (!PenDown) {
            fig.Pen = static_cast<uint8_t>(CurrentPen);
            fig.PenWidth = PenTable[static_cast<size_t>(CurrentPen)].Width;
            m_points.Add(PrevPoint);
        }
        PenDown = true;
        if (Relative) {
            Acc = AddChecked(Acc, Point);
            Point = Acc;
        }
        const bool any = !m_points.Empty() || !fig.Points.empty();
        const TFigPoint& last = !m_points.Empty() ? m_points.Back() : fig.Points.empty() ? Point : fig.Points.back();
        if (!any || !(last == Point))
            m_points.Add(Point);
        LastPos = Point;
    }
    if (c == Cmd::PU && PenDown) {
        PenDown = false;
        FigureDone = true;
        if (Relative) {
            Acc = AddChecked(Acc, Point);
            Point = Acc;
        }
        LastPos = Point;
        Relative = false;
    }
    if (c == Cmd::C) {
        if (!PenDown)
            m_points.Add(LastPos);
        PenDown = true;
        m_points.Add(Point);
        LastPos = Point;
    }
    if (c == Cmd::M) {
        if (PenDown) {
            PenDown = false;
            FigureDone = true;
        }
        LastPos = Point;
    }
    if (c == Cmd::PA && !PenDown) {
        LastPos = Point;
        Acc = {};
    }
}

void Thpgl::ReadFigure(tfigura& fig)
{
    if (InputType == 2) {
        ReadDxfFigure(fig);
        return;
    }
    fig.Pen = static_cast<uint8_t>(CurrentPen);
    FigureDone = false;
    PenDown = false;
    if (!EndOfInput) {
        // The pending step is handled even when it was the last one of the file.
        for (;;) {
            HandleStep(fig);
            PrevPoint = Point;
            if (!ReadStep()) {
                EndOfInput = true;
                Command.clear();
                m_cmd = Cmd::None;
                break;
            }
            if (FigureDone)
                break;
        }
    }
    m_points.MoveInto(fig.Points);
    fig.FinishRead();
}
