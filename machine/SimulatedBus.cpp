#include "machine/SimulatedBus.h"

#include <algorithm>

namespace {
constexpr size_t kReportBytes = 17;
constexpr size_t kHeaderBytes = 2;
constexpr size_t kLongestDescriptor = 255;
}  // namespace

bool SimulatedBus::Fault::Take()
{
    if (count == 0)
        return false;
    if (count > 0)
        --count;
    return true;
}

// An open interface: fails once its device left or the bus is gone.
class SimulatedBus::Handle : public HidHandle {
public:
    Handle(SimulatedBus& bus, const HidIdentity& id) : m_bus(bus), m_alive(bus.m_alive), m_id(id) {}
    int WriteReport(const uint8_t* report, size_t length, ReportDelivery& delivered) override
    {
        delivered = ReportDelivery::Nothing;
        return m_alive.expired() ? kNoDevice : m_bus.WriteReport(m_id, report, length, delivered);
    }
    int ReadString(int index, size_t maxBytes, std::vector<uint8_t>& body) override
    {
        return m_alive.expired() ? kNoDevice : m_bus.ReadString(m_id, index, maxBytes, body);
    }

private:
    SimulatedBus& m_bus;
    std::weak_ptr<bool> m_alive;
    HidIdentity m_id;
};

SimulatedBus::SimulatedBus(MachineClock& clock) : m_clock(clock) {}

SimulatedBus::~SimulatedBus()
{
    if (m_pendingNotice)
        m_clock.Cancel(m_pendingNotice);
}

SimulatedBus::Slot* SimulatedBus::Find(const HidIdentity& id)
{
    auto it = std::find_if(m_slots.begin(), m_slots.end(), [&id](const Slot& s) { return s.id == id; });
    return it == m_slots.end() ? nullptr : &*it;
}

const SimulatedBus::Slot* SimulatedBus::Find(const HidIdentity& id) const
{
    return const_cast<SimulatedBus*>(this)->Find(id);
}

void SimulatedBus::Changed()
{
    if (m_pendingNotice)
        return;  // one notice for every change until it runs
    m_pendingNotice = m_clock.Schedule(0, [this] {
        m_pendingNotice = 0;
        if (m_changed)
            m_changed();
    });
}

HidIdentity SimulatedBus::Plug(const Strings& strings, EmulatedHidDevice& device)
{
    Slot slot;
    slot.id = HidIdentity{1, m_nextAddress++, 0};
    slot.strings = strings;
    slot.device = &device;
    m_slots.push_back(slot);
    Changed();
    return slot.id;
}

bool SimulatedBus::Unplug(const HidIdentity& id)
{
    auto it = std::find_if(m_slots.begin(), m_slots.end(), [&id](const Slot& s) { return s.id == id; });
    if (it == m_slots.end())
        return false;
    m_slots.erase(it);
    Changed();
    return true;
}

HidIdentity SimulatedBus::Replug(const HidIdentity& id)
{
    const Slot* slot = Find(id);
    if (!slot)
        return {};
    const Strings strings = slot->strings;
    EmulatedHidDevice& device = *slot->device;
    Unplug(id);
    return Plug(strings, device);
}

bool SimulatedBus::Present(const HidIdentity& id) const { return Find(id) != nullptr; }

void SimulatedBus::LoseWrites(const HidIdentity& id, int count, int code)
{
    if (Slot* s = Find(id))
        s->lostWrites = {count, code};
}

void SimulatedBus::FailDeliveredWrites(const HidIdentity& id, int count, int code)
{
    if (Slot* s = Find(id))
        s->failedDelivered = {count, code};
}

void SimulatedBus::CutWrites(const HidIdentity& id, int count, int code)
{
    if (Slot* s = Find(id))
        s->cutWrites = {count, code};
}

void SimulatedBus::FailWritesUntold(const HidIdentity& id, int count, bool reach, int code)
{
    if (Slot* s = Find(id)) {
        s->untoldWrites = {count, code};
        s->untoldReach = reach;
    }
}

void SimulatedBus::FailReads(const HidIdentity& id, int count, int code)
{
    if (Slot* s = Find(id))
        s->failedReads = {count, code};
}

void SimulatedBus::ClearFaults(const HidIdentity& id)
{
    if (Slot* s = Find(id))
        s->lostWrites = s->failedDelivered = s->cutWrites = s->untoldWrites = s->failedReads = {};
}

int SimulatedBus::Opens(const HidIdentity& id) const
{
    for (const auto& [opened, count] : m_opens)
        if (opened == id)
            return count;
    return 0;
}

std::vector<HidDeviceInfo> SimulatedBus::List()
{
    std::vector<HidDeviceInfo> list;
    for (const Slot& s : m_slots) {
        HidDeviceInfo info;
        info.id = s.id;
        info.vendorId = s.strings.vendorId;
        info.productId = s.strings.productId;
        info.version = s.strings.version;
        info.manufacturer = s.strings.manufacturer;
        info.product = s.strings.product;
        info.serial = s.strings.serial;
        info.accessible = s.strings.accessible;
        list.push_back(info);
    }
    return list;
}

std::unique_ptr<HidHandle> SimulatedBus::Open(const HidIdentity& id, int& error)
{
    const Slot* s = Find(id);
    if (!s) {
        error = kNoDevice;
        return nullptr;
    }
    if (!s->strings.accessible) {
        error = kAccessDenied;
        return nullptr;
    }
    auto counted = std::find_if(m_opens.begin(), m_opens.end(), [&id](const auto& o) { return o.first == id; });
    if (counted == m_opens.end())
        m_opens.emplace_back(id, 1);
    else
        ++counted->second;
    error = 0;
    return std::make_unique<Handle>(*this, id);
}

int SimulatedBus::WriteReport(const HidIdentity& id, const uint8_t* report, size_t length, ReportDelivery& delivered)
{
    delivered = ReportDelivery::Nothing;
    Slot* s = Find(id);
    if (!s)
        return kNoDevice;
    if (length != kReportBytes || report[0] != 0)
        return kIoError;  // one report without report IDs is all the interface takes
    WireReport wire;
    wire.to = id;
    std::copy_n(report, kReportBytes, wire.bytes.begin());
    if (s->lostWrites.Take()) {
        m_wire.push_back(wire);
        return s->lostWrites.code;
    }
    if (s->cutWrites.Take()) {
        delivered = ReportDelivery::Part;
        m_wire.push_back(wire);
        return s->cutWrites.code;
    }
    int failed = 0;
    if (s->untoldWrites.Take()) {
        delivered = ReportDelivery::Unknown;
        failed = s->untoldWrites.code;
        if (!s->untoldReach) {
            m_wire.push_back(wire);
            return failed;
        }
    } else {
        delivered = ReportDelivery::Whole;
        if (s->failedDelivered.Take())
            failed = s->failedDelivered.code;
    }
    wire.delivered = true;
    m_wire.push_back(wire);
    std::array<uint8_t, 16> payload{};
    std::copy_n(report + 1, payload.size(), payload.begin());
    s->device->OutputReport(payload);
    return failed;
}

int SimulatedBus::ReadString(const HidIdentity& id, int index, size_t maxBytes, std::vector<uint8_t>& body)
{
    body.clear();
    Slot* s = Find(id);
    if (!s)
        return kNoDevice;
    if (s->failedReads.Take())
        return s->failedReads.code;
    if (index < 0 || index > 255 || !s->device->StringDescriptor(index, body)) {
        body.clear();
        return kPipeError;  // the device stalls a string it doesn't have
    }
    // What one descriptor can carry, and what the caller has room for.
    const size_t room = std::min(maxBytes, kLongestDescriptor);
    body.resize(std::min(body.size(), room > kHeaderBytes ? room - kHeaderBytes : 0));
    return 0;
}
