#include "machine/MoveCommands.h"

#include "app/MathUtil.h"
#include "machine/Bytes.h"
#include "machine/CommandLayer.h"
#include "machine/MachineConstants.h"

#include <algorithm>
#include <cmath>
#include <vector>

const uint8_t CommandLengths[27] = {
    1,                       // the code before "A"
    6, 2, 1, 1, 1, 2, 1, 2,  // A B C D E F G H
    2, 1, 1, 3, 1, 4, 1, 2,  // I J K L M N O P
    1, 3, 6, 3, 7, 4, 1, 1,  // Q R S T U V W X
    1, 1,                    // Y Z
};

int CommandLength(char letter)
{
    const int index = (static_cast<unsigned char>(letter) & 0xDF) - 0x40;
    return index >= 0 && index < 27 ? CommandLengths[index] : 0;
}

namespace {
// Round(sqrt(s + 0.5)) of a sum of squares; in long double like the extended
// precision it was defined in.
int64_t Term(int32_t a, int32_t b, int32_t c)
{
    const long double s = static_cast<long double>(a) * a + static_cast<long double>(b) * b +
                          static_cast<long double>(c) * c;
    // Nothing travelled is no length: such a move is empty, never a move of one step.
    if (s == 0)
        return 0;
    // In double when that is exact enough: sqrt(s + 0.5) never lies on a half,
    // and below 2^40 it stays far from one at double precision.
    if (s < 1099511627776.0L)
        return RoundToInt64Sat(std::sqrt(static_cast<double>(s) + 0.5));
    return RoundToInt64Sat(static_cast<double>(std::sqrt(s + 0.5L)));
}

void Record(QByteArray& out, char letter, uint8_t id, int32_t value)
{
    out.append(letter);
    out.append(static_cast<char>(id));
    out.append(Int32ToBytes(value));
}

char* Record(char* out, char letter, uint8_t id, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    out[0] = letter;
    out[1] = static_cast<char>(id);
    for (int i = 0; i < 4; ++i)
        out[2 + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return out + 6;
}
}  // namespace

int64_t MoveLength4(int32_t step0, int32_t step4, int32_t step1, int32_t step5, int32_t step2, int32_t step6)
{
    return std::max({Term(step0, step1, step2), Term(step4, step5, step2), Term(step0, step1, step6),
                     Term(step4, step5, step6)});
}

int64_t MoveLength6(int32_t step0, int32_t step4, int32_t step1, int32_t step5, int32_t step2, int32_t step6,
                    int32_t sideX, int32_t sideY)
{
    return std::max(MoveLength4(step0, step4, step1, step5, step2, step6), Term(sideX, sideY, step2));
}

AxisRule AxisRule::Current() { return {IsTwoWireModel(), SideAxesRemapped, SideAxisA, SideAxisB}; }

bool AxisIdMayMove(uint8_t id, bool sideValue) { return AxisRule::Current().MayMove(id, sideValue); }

QByteArray BuildMove4(char letter, int32_t scale, int32_t step0, int32_t step4, int32_t step1, int32_t step5,
                      int32_t step2, int32_t step6, int32_t step3, int32_t step7, int64_t& length)
{
    const AxisRule rule = AxisRule::Current();
    for (auto [value, id] : {std::pair<int32_t*, uint8_t>{&step0, 0}, {&step4, 4}, {&step1, 1}, {&step5, 5},
                             {&step2, 2}, {&step6, 6}, {&step3, 3}, {&step7, 7}})
        if (!rule.MayMove(id, false))
            *value = 0;
    length = MoveLength4(step0, step4, step1, step5, step2, step6) * scale;
    QByteArray out;
    if (length <= 0)
        return out;
    Record(out, letter, 0xFF, 0);
    const std::pair<int32_t, uint8_t> axes[] = {{step0, 0}, {step4, 4}, {step1, 1}, {step5, 5},
                                                {step2, 2}, {step6, 6}, {step3, 3}, {step7, 7}};
    for (const auto& [value, id] : axes)
        if (value != 0)
            Record(out, letter, id, value);
    Record(out, letter, 0xFE, static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX)));
    return out;
}

int BuildMove10Into(char* out, const AxisRule& rule, char letter, int32_t scale, int32_t step0, int32_t step4,
                    int32_t step1, int32_t step5, int32_t step2, int32_t step6, int32_t stepU, int32_t step7,
                    int32_t sideX, int32_t sideY, int64_t& length)
{
    (void)stepU;
    // The side carriage's own values go on its ids; nothing else may.
    for (auto [value, id] : {std::pair<int32_t*, uint8_t>{&step0, 0}, {&step1, 1}, {&step2, 2}, {&step7, 7}})
        if (!rule.MayMove(id, false))
            *value = 0;
    if (!rule.remapped) {
        for (auto [value, id] : {std::pair<int32_t*, uint8_t>{&step4, 4}, {&step5, 5}})
            if (!rule.MayMove(id, false))
                *value = 0;
    } else if (!rule.MayMove(6, false)) {
        step6 = 0;
    }
    length = MoveLength6(step0, step4, step1, step5, step2, step6, sideX, sideY) * scale;
    if (length <= 0)
        return 0;
    std::pair<int32_t, uint8_t> axes[8];
    int count = 0;
    if (!rule.remapped) {
        const std::pair<int32_t, uint8_t> usual[] = {{step0, 0}, {step4, 4}, {step1, 1}, {step5, 5}, {step2, 2},
                                                     {sideX, static_cast<uint8_t>(rule.sideA)},
                                                     {sideY, static_cast<uint8_t>(rule.sideB)}, {step7, 7}};
        for (const auto& a : usual)
            axes[count++] = a;
    } else {
        // The side wire drives the back carriage's axes: those count as its own.
        length = MoveLength6(step0, 0, step1, 0, step2, step6, sideX, sideY) * scale;
        if (length <= 0)
            return 0;
        const std::pair<int32_t, uint8_t> remapped[] = {{step0, 0}, {sideX, 4}, {step1, 1}, {sideY, 5},
                                                        {step2, 2}, {step6, 6}, {step7, 7}};
        for (const auto& a : remapped)
            axes[count++] = a;
    }
    char* p = Record(out, letter, 0xFF, 0);
    for (int i = 0; i < count; ++i)
        if (axes[i].first != 0)
            p = Record(p, letter, axes[i].second, axes[i].first);
    p = Record(p, letter, 0xFE, static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX)));
    return static_cast<int>(p - out);
}

QByteArray BuildMove10(char letter, int32_t scale, int32_t step0, int32_t step4, int32_t step1, int32_t step5,
                       int32_t step2, int32_t step6, int32_t stepU, int32_t step7, int32_t sideX, int32_t sideY,
                       int64_t& length)
{
    char buffer[kMaxMoveBytes];
    const int used = BuildMove10Into(buffer, AxisRule::Current(), letter, scale, step0, step4, step1, step5, step2,
                                     step6, stepU, step7, sideX, sideY, length);
    return QByteArray(buffer, used);
}

uint16_t CutSpeedToPeriod(uint16_t v)
{
    if (v <= 20)
        return 37500;
    const double period = 1000000.0 / (static_cast<double>(v * 100) / 60.0) / 0.8;
    return static_cast<uint16_t>(RoundToInt64Sat(period) & 0xFFFF);
}

uint16_t JogSpeedToPeriod(uint16_t v)
{
    if (v == 0)
        return static_cast<uint16_t>(MaxTravelSpeed & 0xFFFF);
    return static_cast<uint16_t>(RoundToInt64Sat(600000.0 / (v * 0.8)) & 0xFFFF);
}
