#pragma once
#include <QByteArray>
#include <cstdint>
#include <initializer_list>

// A command written out byte by byte.
inline QByteArray Bytes(std::initializer_list<int> bytes)
{
    QByteArray b;
    for (int v : bytes)
        b.append(static_cast<char>(v));
    return b;
}

// Integers in controller commands: least significant byte first.
inline QByteArray Int16ToBytes(int16_t v)
{
    const auto u = static_cast<uint16_t>(v);
    QByteArray b(2, '\0');
    b[0] = static_cast<char>(u & 0xFF);
    b[1] = static_cast<char>(u >> 8);
    return b;
}

inline QByteArray Int32ToBytes(int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return b;
}

// Little-endian readers over a reply block.
template <typename Block>
int32_t ReplyInt32(const Block& r, size_t at)
{
    return static_cast<int32_t>(static_cast<uint32_t>(r[at]) | static_cast<uint32_t>(r[at + 1]) << 8 |
                                static_cast<uint32_t>(r[at + 2]) << 16 | static_cast<uint32_t>(r[at + 3]) << 24);
}

template <typename Block>
int64_t ReplyInt64(const Block& r, size_t at)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | r[at + static_cast<size_t>(i)];
    return static_cast<int64_t>(v);
}
