#pragma once
#include "machine/HidBus.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

// A small device for the bus tests: keeps every output report it receives and
// answers string descriptors from a table. Reports and answers may come from
// another thread (the emulated USB device's), hence the lock.
class TestHidDevice : public EmulatedHidDevice {
public:
    void OutputReport(const std::array<uint8_t, 16>& payload) override
    {
        std::lock_guard lock(m_mutex);
        m_reports.push_back(payload);
    }
    bool StringDescriptor(int index, std::vector<uint8_t>& body) override
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_strings.find(index);
        if (it == m_strings.end())
            return false;
        body = it->second;
        return true;
    }
    void SetString(int index, std::vector<uint8_t> body)
    {
        std::lock_guard lock(m_mutex);
        m_strings[index] = std::move(body);
    }
    std::vector<std::array<uint8_t, 16>> Reports() const
    {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }

    // Reports whose first payload byte (the command letter) is `letter`.
    int CommandsSeen(char letter) const
    {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto& r : m_reports)
            n += r[0] == static_cast<uint8_t>(letter);
        return n;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::array<uint8_t, 16>> m_reports;
    std::map<int, std::vector<uint8_t>> m_strings;
};

// A reply body as a controller packs it: binary, with 0x0000 words and lone
// surrogate halves (0xD800, 0xDFFF) that no text conversion keeps, and an odd
// length.
inline std::vector<uint8_t> BinaryReplyBody(size_t length, uint8_t seed)
{
    std::vector<uint8_t> body(length);
    for (size_t i = 0; i < length; ++i)
        body[i] = static_cast<uint8_t>(seed + 7 * i);
    const uint8_t words[] = {0x00, 0x00, 0x00, 0xD8, 0xFF, 0xDF, 0x00, 0xDC};
    for (size_t i = 0; i < sizeof words && i + 2 < length; ++i)
        body[i + 2] = words[i];
    return body;
}
