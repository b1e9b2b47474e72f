#pragma once
#include "job/Figure.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class QFile;

// A drawing that cannot be read: the file can't be opened or read, or its
// content is out of range.
class ReaderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct THpglPen {
    double Width = 0.0;
};

// Reader of HPGL drawings, one contour per call (input type 1; type 2 is DXF).
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
    // file that can't be opened throws ReaderError.
    int OpenInput(const QString& fileName, int32_t type);
    // The same over text in memory (tests, fuzzing).
    int OpenInputText(std::string_view text, int32_t type);
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
    void NextToken();
    void SkipToToken();
    bool ReadStep();
    void HandleStep(tfigura& figure);
    void AfterMnemonic();
    void SkipEscape();
    void SkipQuoted();
    TFigPoint RoundedPoint() const;
    static TFigPoint AddChecked(const TFigPoint& a, const TFigPoint& b);

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

    std::unique_ptr<QFile> m_file;
    std::unique_ptr<char[]> m_buffer;
    size_t m_bufferSize = 0;
    const char* m_pos = nullptr;
    const char* m_end = nullptr;
    int m_raw = -1;  // current character as read, -1 once the input is exhausted
    int m_cur = -1;  // the same upper-cased (the look-ahead character)
    int m_labelTerminator = 3;
    double m_tokenValue = 0.0;  // the current number token, converted
    bool m_quotedArguments = false;  // the last command (CO, BP) takes quoted text
};

// Text of a number token as the reader converts it: an optional sign, digits
// with at most one decimal point; text that stops converting gives its prefix,
// and nothing convertible gives 0.
double HpglNumber(std::string_view token);
