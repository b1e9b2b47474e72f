#include "machine/HidDevice.h"

#include <algorithm>

namespace {
// Controllers alive in the program: there may be one.
int g_liveControllers = 0;

// Returned when an interface can't be opened and the bus gave no reason, or
// when the record may not open it (neither lent nor being enumerated).
constexpr int kOpenRefused = 3;
// Returned for a record whose device has left.
constexpr int kNoDevice = 4;
}  // namespace

TJvHidDevice::TJvHidDevice(HidBus& bus, const HidDeviceInfo& info)
    : DevInst(info.id),
      VendorID(info.vendorId),
      ProductID(info.productId),
      VersionNumber(info.version),
      VendorName(info.manufacturer),
      ProductName(info.product),
      SerialNumber(info.serial),
      Accessible(info.accessible),
      m_bus(bus),
      m_info(info)
{
}

TJvHidDevice::~TJvHidDevice()
{
    CloseFile();
    if (MyController)
        MyController->Returned(this);
}

bool TJvHidDevice::OpenFile()
{
    if (m_handle)
        return true;
    // A refusal has its reason too: a caller that takes the reason for the
    // outcome must never read a failed write as one that went.
    if (!IsPluggedIn) {
        m_lastError = kNoDevice;
        return false;
    }
    if (!(IsCheckedOut || IsEnumerated)) {
        m_lastError = kOpenRefused;
        return false;
    }
    int error = 0;
    m_handle = m_bus.Open(DevInst, error);
    if (!m_handle)
        m_lastError = error > 0 ? error : kOpenRefused;
    return m_handle != nullptr;
}

void TJvHidDevice::CloseFile() { m_handle.reset(); }

bool TJvHidDevice::WriteFile(const uint8_t* buffer, size_t count, uint32_t& written)
{
    written = 0;
    m_lastDelivery = ReportDelivery::Nothing;
    if (!OpenFile())
        return false;
    const int error = m_handle->WriteReport(buffer, count, m_lastDelivery);
    if (error != 0) {
        m_lastError = error > 0 ? error : -error;
        return false;
    }
    m_lastDelivery = ReportDelivery::Whole;
    written = static_cast<uint32_t>(count);
    return true;
}

TJvHidDeviceController::TJvHidDeviceController(HidBus& bus) : m_bus(bus)
{
    if (g_liveControllers >= 1)
        throw EControllerError("Only one TJvHidDeviceController allowed per program");
    ++g_liveControllers;
    try {
        for (auto& record : FillInList()) {
            TJvHidDevice* raw = record.get();
            m_list.push_back({raw, std::move(record)});
        }
    } catch (...) {
        --g_liveControllers;
        throw;
    }
    m_bus.SetChanged([this] {
        // A failing handler must not disturb the event loop that delivered the
        // notice; the list stays as far as it got.
        try {
            DeviceChange();
        } catch (...) {
        }
    });
}

TJvHidDeviceController::~TJvHidDeviceController()
{
    m_bus.SetChanged(nullptr);
    --g_liveControllers;
    std::vector<Entry> list = std::move(m_list);
    m_list.clear();
    for (Entry& e : list) {
        e.record->MyController = nullptr;
        if (!e.owned)
            DoUnplug(*e.record);  // left to its borrower
    }
}

void TJvHidDeviceController::SetOnDeviceChange(NotifyEvent handler)
{
    m_onDeviceChange = std::move(handler);
    if (m_onDeviceChange && !m_deviceChangeFired) {
        m_deviceChangeFired = true;
        m_onDeviceChange(*this);
    }
    m_deviceChangeFired = true;
}

void TJvHidDeviceController::SetOnEnumerate(EnumerateEvent handler) { m_onEnumerate = std::move(handler); }

void TJvHidDeviceController::Loaded()
{
    for (Entry& e : m_list)
        e.record->OnUnplug = m_onDeviceUnplug;
}

std::unique_ptr<TJvHidDevice> TJvHidDeviceController::MakeRecord(const HidDeviceInfo& info)
{
    std::unique_ptr<TJvHidDevice> record(new TJvHidDevice(m_bus, info));
    record->MyController = this;
    record->OnUnplug = m_onDeviceUnplug;
    return record;
}

std::vector<std::unique_ptr<TJvHidDevice>> TJvHidDeviceController::FillInList()
{
    std::vector<std::unique_ptr<TJvHidDevice>> records;
    for (const HidDeviceInfo& info : m_bus.List())
        records.push_back(MakeRecord(info));
    return records;
}

int TJvHidDeviceController::IndexOf(const TJvHidDevice* record) const
{
    for (size_t i = 0; i < m_list.size(); ++i)
        if (m_list[i].record == record)
            return static_cast<int>(i);
    return -1;
}

int TJvHidDeviceController::Enumerate()
{
    int calls = 0;
    for (size_t i = 0; i < m_list.size(); ++i) {
        TJvHidDevice* record = m_list[i].record;
        if (!record->IsPluggedIn)
            continue;
        record->IsEnumerated = true;
        const bool goOn = m_onEnumerate && m_onEnumerate(*record, static_cast<int>(i));
        // The handler may have let the record go (and the list changed with it).
        if (IndexOf(record) >= 0) {
            record->IsEnumerated = false;
            if (!record->IsCheckedOut)
                record->CloseFile();
        }
        ++calls;
        if (!goOn)
            break;
    }
    return calls;
}

std::unique_ptr<TJvHidDevice> TJvHidDeviceController::CheckOutByIndex(int index)
{
    if (index < 0 || index >= Count() || !m_list[static_cast<size_t>(index)].owned)
        return nullptr;
    Entry& e = m_list[static_cast<size_t>(index)];
    e.record->IsCheckedOut = true;
    return std::move(e.owned);
}

void TJvHidDeviceController::CheckIn(std::unique_ptr<TJvHidDevice>& record)
{
    if (!record)
        return;
    record->CloseFile();
    const int i = record->MyController == this ? IndexOf(record.get()) : -1;
    if (record->IsPluggedIn && i >= 0 && !m_list[static_cast<size_t>(i)].owned) {
        record->IsCheckedOut = false;
        m_list[static_cast<size_t>(i)].owned = std::move(record);
    }
    record.reset();  // a record that left goes, and takes its place in the list with it
}

void TJvHidDeviceController::Returned(TJvHidDevice* record)
{
    const int i = IndexOf(record);
    if (i < 0 || m_list[static_cast<size_t>(i)].owned)
        return;  // not listed, or the controller is freeing it itself
    Entry& e = m_list[static_cast<size_t>(i)];
    if (record->IsPluggedIn) {
        e.owned = MakeRecord(record->m_info);
        e.owned->OnUnplug = record->OnUnplug;
        e.record = e.owned.get();
    } else {
        m_list.erase(m_list.begin() + i);
    }
}

void TJvHidDeviceController::DoUnplug(TJvHidDevice& record)
{
    record.CloseFile();
    record.IsPluggedIn = false;
    if (record.OnUnplug) {
        auto handler = std::move(record.OnUnplug);
        record.OnUnplug = nullptr;
        handler(record);
    }
}

void TJvHidDeviceController::DeviceChange()
{
    // A change noticed while handling one (a handler that waits on the clock)
    // is handled once the first is done.
    if (m_inDeviceChange) {
        m_changeAgain = true;
        return;
    }
    m_inDeviceChange = true;
    try {
        do {
            m_changeAgain = false;
            DeviceChangeOnce();
        } while (m_changeAgain);
    } catch (...) {
        m_inDeviceChange = false;
        throw;
    }
    m_inDeviceChange = false;
}

void TJvHidDeviceController::DeviceChangeOnce()
{
    std::vector<std::unique_ptr<TJvHidDevice>> fresh = FillInList();
    const auto present = [&fresh](const HidIdentity& id) {
        return std::any_of(fresh.begin(), fresh.end(), [&id](const auto& r) { return r->DevInst == id; });
    };
    bool changed = false;

    std::vector<TJvHidDevice*> old;
    for (const Entry& e : m_list)
        old.push_back(e.record);
    for (TJvHidDevice* record : old) {
        if (IndexOf(record) < 0)
            continue;  // let go by an unplug handler meanwhile
        if (record->IsPluggedIn && present(record->DevInst))
            continue;
        changed = true;
        DoUnplug(*record);
        const int i = IndexOf(record);
        if (i >= 0 && m_list[static_cast<size_t>(i)].owned) {
            auto dead = std::move(m_list[static_cast<size_t>(i)].owned);
            m_list.erase(m_list.begin() + i);
        }
    }

    for (auto& record : fresh) {
        const bool listed = std::any_of(m_list.begin(), m_list.end(), [&record](const Entry& e) {
            return e.record->IsPluggedIn && e.record->DevInst == record->DevInst;
        });
        if (listed) {
            record->MyController = nullptr;  // a duplicate: dropped without touching the list
            continue;
        }
        TJvHidDevice* raw = record.get();
        m_list.push_back({raw, std::move(record)});
        changed = true;
    }

    if (changed && m_onDeviceChange)
        m_onDeviceChange(*this);
}
