#pragma once
#include "machine/Bytes.h"
#include "machine/Clocks.h"
#include "machine/CommandLayer.h"
#include "machine/SimulatedBus.h"
#include "machine/UsbLink.h"

#include <functional>
#include <map>
#include <vector>

// A controller whose replies the test writes, behind the program's own USB
// link on a simulated bus: a failed read, a lost report or a pulled cable act
// on the link as they do on the machine.
namespace scripted_link_detail {
// Answers replies 10..17 from the table (all zeros until the test fills one
// in) and stalls any other string, as the controller does.
class Device : public EmulatedHidDevice {
public:
    void OutputReport(const std::array<uint8_t, 16>&) override {}
    bool StringDescriptor(int index, std::vector<uint8_t>& body) override
    {
        const auto it = replies.find(index);
        if (it == replies.end() && (index < 10 || index > 17))
            return false;
        const ReplyBlock block = it == replies.end() ? ReplyBlock{} : it->second;
        body.assign(block.begin(), block.end());
        return true;
    }
    std::map<int, ReplyBlock> replies;
};

struct Parts {
    explicit Parts(const QString& product) : bus(clock)
    {
        strings.manufacturer = "Dravinor";
        strings.product = product;
        strings.serial = "0001";
        id = bus.Plug(strings, device);
        clock.Advance(0);
    }
    VirtualClock clock;
    SimulatedBus bus;
    Device device;
    SimulatedBus::Strings strings;
    HidIdentity id;
};

// The cable: assigning false pulls it, true puts it back (a new identity);
// the bus's notice is handled at once.
class Cable {
public:
    explicit Cable(std::function<void(bool)> set, std::function<bool()> get) : m_set(std::move(set)), m_get(std::move(get)) {}
    Cable& operator=(bool plugged)
    {
        m_set(plugged);
        return *this;
    }
    operator bool() const { return m_get(); }

private:
    std::function<void(bool)> m_set;
    std::function<bool()> m_get;
};
}  // namespace scripted_link_detail

class ScriptedLink : private scripted_link_detail::Parts, public UsbLink {
public:
    explicit ScriptedLink(const QString& product = "Ky100")
        : Parts(product), UsbLink(bus, clock, [](const QString&) {}),
          found([this](bool plugged) { Plug(plugged); }, [this] { return bus.Present(id); }),
          replies(device.replies)
    {
    }

    // Every command the link was asked to send while it had a machine, sent or
    // failed; `failAtWrite` (counted from 1) is one whose report reaches nothing,
    // twice, so the link gives up on it.
    int Write(const QByteArray& bytes) override
    {
        if (failAtWrite == static_cast<int>(writes.size()) + 1)
            bus.LoseWrites(id, 2);
        const int result = UsbLink::Write(bytes);
        if (result != -1)
            writes.push_back(bytes);
        return result;
    }

    void Put32(int index, size_t at, int32_t v)
    {
        const QByteArray b = Int32ToBytes(v);
        for (int i = 0; i < 4; ++i)
            replies[index][at + static_cast<size_t>(i)] = static_cast<uint8_t>(b[i]);
    }
    void Put64(int index, size_t at, int64_t v)
    {
        for (int i = 0; i < 8; ++i)
            replies[index][at + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
    }
    // The next `count` reply reads fail on the wire (ten make a read fail).
    void FailReads(int count) { bus.FailReads(id, count); }
    SimulatedBus& Bus() { return bus; }
    HidIdentity Id() const { return id; }

    scripted_link_detail::Cable found;
    int failAtWrite = 0;
    std::vector<QByteArray> writes;
    std::map<int, ReplyBlock>& replies;

private:
    void Plug(bool plugged)
    {
        if (plugged == bus.Present(id))
            return;
        if (plugged)
            id = bus.Plug(strings, device);
        else
            bus.Unplug(id);
        // The link greets a machine back on its own; that is no command of the test's.
        const size_t before = writes.size();
        clock.Advance(0);
        writes.resize(before);
    }
};
