#pragma once
#include <QByteArray>
#include <cstdint>

// Move commands: a run of 6-byte records (letter, record id, int32): a start
// record, one record per axis that moves, an end record with the move length.

// The longest path of any carriage, in steps: Round(sqrt(s + 0.5)) for each
// carriage's sum of squares, the largest of them.
int64_t MoveLength4(int32_t step0, int32_t step4, int32_t step1, int32_t step5, int32_t step2, int32_t step6);
int64_t MoveLength6(int32_t step0, int32_t step4, int32_t step1, int32_t step5, int32_t step2, int32_t step6,
                    int32_t sideX, int32_t sideY);

// Which axis ids carry which values on the machine in use. On a two-wire
// machine the side wire's own ids (SideAxisA, SideAxisB) carry only the side
// carriage's values: a spindle turn, a third component or a back-carriage
// delta put there would drag the side wire along. Every move builder follows
// it. Taken once for a whole output: the machine does not change while a
// file of a million moves is written.
struct AxisRule {
    bool twoWire = false;
    bool remapped = false;  // the side wire drives the back carriage's axes
    int32_t sideA = -1, sideB = -1;

    static AxisRule Current();
    // Whether a value may be sent on axis `id`.
    bool MayMove(uint8_t id, bool sideValue) const { return sideValue || !twoWire || (id != sideA && id != sideB); }
};
bool AxisIdMayMove(uint8_t id, bool sideValue);

// Eight axis values by the id each gets; a value the side wire's ids may not
// carry is left out (and out of the length). The length is returned; a length of
// 0 or less gives an empty command.
QByteArray BuildMove4(char letter, int32_t scale, int32_t step0, int32_t step4, int32_t step1, int32_t step5,
                      int32_t step2, int32_t step6, int32_t step3, int32_t step7, int64_t& length);
// Ten values: stepU only enters the length; sideX and sideY are the side
// carriage's, sent on the axis ids of the side carriage.
QByteArray BuildMove10(char letter, int32_t scale, int32_t step0, int32_t step4, int32_t step1, int32_t step5,
                       int32_t step2, int32_t step6, int32_t stepU, int32_t step7, int32_t sideX, int32_t sideY,
                       int64_t& length);

// BuildMove10 into a buffer of at least kMaxMoveBytes by the given rule;
// returns the bytes used.
constexpr int kMaxMoveBytes = 10 * 6;
int BuildMove10Into(char* out, const AxisRule& rule, char letter, int32_t scale, int32_t step0, int32_t step4, int32_t step1, int32_t step5,
                    int32_t step2, int32_t step6, int32_t stepU, int32_t step7, int32_t sideX, int32_t sideY,
                    int64_t& length);

// Commands of the controller by letter: total length in bytes, letter
// included (the code before "A", then "A" to "Z"; case ignored).
extern const uint8_t CommandLengths[27];
int CommandLength(char letter);

// Speeds to step periods (low 16 bits of the rounded value).
uint16_t CutSpeedToPeriod(uint16_t v);
uint16_t JogSpeedToPeriod(uint16_t v);
