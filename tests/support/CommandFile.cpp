#include "tests/support/CommandFile.h"

#include "machine/MachineConstants.h"
#include "machine/MoveCommands.h"

#include <QFile>
#include <cstdio>
#include <utility>

namespace cmdfile {
namespace {
std::string Hex(uint8_t b)
{
    char s[3];
    std::snprintf(s, sizeof s, "%02X", b);
    return s;
}

[[noreturn]] void Fail(size_t offset, const std::string& why)
{
    throw DecodeError("command file, offset " + std::to_string(offset) + ": " + why);
}

const std::string kFileLetters = "afprstv";
}  // namespace

int32_t Command::Int32(int at) const
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | Byte(at + i);
    return static_cast<int32_t>(v);
}

uint16_t Command::UInt16(int at) const { return static_cast<uint16_t>(Byte(at) | Byte(at + 1) << 8); }

int32_t Move::Value(uint8_t id) const
{
    for (const AxisRecord& r : records)
        if (r.id == id)
            return r.value;
    return 0;
}

std::vector<Command> Split(const QByteArray& file)
{
    std::vector<Command> out;
    size_t at = 0;
    const auto size = static_cast<size_t>(file.size());
    while (at < size) {
        const char letter = file.at(static_cast<qsizetype>(at));
        const int length = CommandLength(letter);
        if (length <= 0)
            Fail(at, "byte 0x" + Hex(static_cast<uint8_t>(letter)) + " has no command length");
        if (at + static_cast<size_t>(length) > size)
            Fail(at, std::string("command '") + letter + "' needs " + std::to_string(length) + " bytes, " +
                         std::to_string(size - at) + " are left");
        out.push_back({at, file.mid(static_cast<qsizetype>(at), length)});
        at += static_cast<size_t>(length);
    }
    return out;
}

std::vector<Item> Decode(const QByteArray& file)
{
    std::vector<Item> items;
    bool inMove = false;
    for (const Command& c : Split(file)) {
        if (kFileLetters.find(c.Letter()) == std::string::npos)
            Fail(c.offset, std::string("letter '") + c.Letter() + "' is no command of a command file");
        if (c.Letter() != 'a') {
            if (inMove)
                Fail(c.offset, std::string("'") + c.Letter() + "' inside a move (no end record)");
            items.push_back({false, c, {}});
            continue;
        }
        const uint8_t id = c.Byte(1);
        const int32_t value = c.Int32(2);
        if (!inMove) {
            if (id != 0xFF)
                Fail(c.offset, "record id 0x" + Hex(id) + " outside a move");
            if (value != 0)
                Fail(c.offset, "start record with value " + std::to_string(value));
            items.push_back({true, c, {}});
            inMove = true;
            continue;
        }
        Move& m = items.back().move;
        if (id == 0xFF)
            Fail(c.offset, "start record inside a move");
        if (id == 0xFE) {
            if (value < 1)
                Fail(c.offset, "end record of length " + std::to_string(value));
            m.length = value;
            inMove = false;
            continue;
        }
        if (id > 7)
            Fail(c.offset, "record id 0x" + Hex(id) + " names no axis");
        if (value == 0)
            Fail(c.offset, "axis record of value 0");
        m.records.push_back({id, value});
    }
    if (inMove)
        Fail(static_cast<size_t>(file.size()), "the file ends inside a move");
    return items;
}

Positions Deltas(const Move& move)
{
    // The records come in this order, each id at most once.
    std::vector<std::pair<uint8_t, Slot>> order;
    if (!SideAxesRemapped)
        order = {{0, FrontX},    {4, BackX},
                 {1, FrontY},    {5, BackY},
                 {2, TableTurn}, {static_cast<uint8_t>(SideAxisA), SideX},
                 {static_cast<uint8_t>(SideAxisB), SideY}, {7, ThirdTurn}};
    else
        order = {{0, FrontX}, {4, SideX}, {1, FrontY}, {5, SideY}, {2, TableTurn}, {6, SpindleTurn}, {7, ThirdTurn}};
    Positions d{};
    size_t next = 0;
    for (const AxisRecord& r : move.records) {
        while (next < order.size() && order[next].first != r.id)
            ++next;
        if (next == order.size())
            throw DecodeError("record id 0x" + Hex(r.id) + " out of order or not sent on this machine");
        d[order[next].second] += r.value;
        ++next;
    }
    return d;
}

std::vector<Positions> Replay(const std::vector<Item>& items, const Positions& start)
{
    std::vector<Positions> out;
    Positions at = start;
    for (const Item& item : items) {
        if (!item.isMove)
            continue;
        const Positions d = Deltas(item.move);
        for (size_t s = 0; s < at.size(); ++s)
            at[s] += d[s];
        out.push_back(at);
    }
    return out;
}

std::string Describe(const Item& item)
{
    if (item.isMove)
        return "M";
    std::string s(1, item.command.Letter());
    for (qsizetype i = 1; i < item.command.bytes.size(); ++i)
        s += Hex(static_cast<uint8_t>(item.command.bytes.at(i)));
    return s;
}

std::string Describe(const std::vector<Item>& items)
{
    std::string s;
    for (const Item& item : items) {
        if (!s.empty())
            s += ' ';
        s += Describe(item);
    }
    return s;
}

size_t CommandsReceived(const std::vector<std::array<uint8_t, 16>>& reports, size_t from,
                        const std::vector<Command>& commands)
{
    size_t at = 0;
    for (size_t i = from; i < reports.size() && at < commands.size(); ++i) {
        if (reports[i][0] < 'a' || reports[i][0] > 'z')
            continue;
        const QByteArray& want = commands[at].bytes;
        if (QByteArray(reinterpret_cast<const char*>(reports[i].data()), want.size()) != want)
            break;
        ++at;
    }
    return at;
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw DecodeError("can't read " + path.toStdString());
    return f.readAll();
}

}  // namespace cmdfile
