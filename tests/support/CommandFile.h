#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Reading a machine command file back in tests: the commands one by one, the
// moves with their axis records, and the axis positions the moves lead to.
namespace cmdfile {

// The file is not what a command file may be; the text says where and why.
class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Command {
    size_t offset = 0;  // where it starts in the file
    QByteArray bytes;   // letter included
    char Letter() const { return bytes.at(0); }
    uint8_t Byte(int at) const { return static_cast<uint8_t>(bytes.at(at)); }
    int32_t Int32(int at) const;
    uint16_t UInt16(int at) const;
};

// Splits a file into commands by the command lengths of the controller. A
// byte whose length is 0, or a command cut short by the end of the file, is a
// DecodeError.
std::vector<Command> Split(const QByteArray& file);

// How many of `commands` a controller received in order, among its job-memory
// reports (lower-case letters) from report `from` on; the count stops at the
// first report that differs.
size_t CommandsReceived(const std::vector<std::array<uint8_t, 16>>& reports, size_t from,
                        const std::vector<Command>& commands);

struct AxisRecord {
    uint8_t id = 0;
    int32_t value = 0;
};

struct Move {
    std::vector<AxisRecord> records;  // between the start and the end record
    int32_t length = 0;               // value of the end record
    int32_t Value(uint8_t id) const;  // 0 when the axis has no record
};

// One step of the file: a whole move (its run of "a" records) or any other command.
struct Item {
    bool isMove = false;
    Command command;  // the command; for a move its start record
    Move move;
};

// Splits and groups. Besides the errors of Split: a letter a command file
// never holds (it holds a, f, p, r, s, t, v), an "a" record outside a move, a
// start record with a value, a move left open, an end record of length < 1.
std::vector<Item> Decode(const QByteArray& file);

// The axis slots, in the writer's order.
enum Slot { FrontX, FrontY, AxisZ, TableTurn, BackX, BackY, ThirdTurn, SpindleTurn, SideX, SideY };
using Positions = std::array<int64_t, 10>;

// The slot changes of one move, by the record ids of the machine as it stands
// now (side carriage ids, remapped side axes). A record whose id does not fit
// the fixed order of the records is a DecodeError.
Positions Deltas(const Move& move);

// Positions after every move of the file, starting from `start`.
std::vector<Positions> Replay(const std::vector<Item>& items, const Positions& start);

// A short text of the items for readable comparisons: a move is "M", another
// command its letter followed by its argument bytes in hex ("p64", "r0001").
std::string Describe(const std::vector<Item>& items);
std::string Describe(const Item& item);

// The file read whole; DecodeError when it can't be read.
QByteArray ReadFile(const QString& path);

}  // namespace cmdfile
