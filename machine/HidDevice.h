#pragma once
#include "machine/HidBus.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class TJvHidDeviceController;

// Raised when a second controller is made while one lives.
class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One HID interface as the controller lists it. Records are lent to a user
// (checked out) and come back by CheckIn or by being destroyed; a record whose
// device left stays valid, marked unplugged, until its borrower lets it go.
class TJvHidDevice {
public:
    using UnplugEvent = std::function<void(TJvHidDevice& device)>;

    // Destroying a checked-out record gives its place back to the controller:
    // a device still present gets a fresh free record there, one that left is
    // dropped from the list.
    ~TJvHidDevice();
    TJvHidDevice(const TJvHidDevice&) = delete;
    TJvHidDevice& operator=(const TJvHidDevice&) = delete;

    TJvHidDeviceController* MyController = nullptr;  // nullptr once the controller is gone
    bool IsPluggedIn = true;
    bool IsCheckedOut = false;
    bool IsEnumerated = false;
    // Identity: a device plugged in again is a new one.
    HidIdentity DevInst;
    uint16_t VendorID = 0, ProductID = 0, VersionNumber = 0;
    QString VendorName, ProductName, SerialNumber;
    // False: the device is present but this user may not open it.
    bool Accessible = true;
    UnplugEvent OnUnplug;

    // Opens the interface unless it is open already; true when it is open.
    // Only a plugged-in record that is checked out or being enumerated opens.
    bool OpenFile();
    void CloseFile();
    // Opens, then writes one output report (count bytes, report ID first).
    // False when it can't be opened or the write fails: LastError() says why
    // and LastDelivery() how much of the report reached the device all the same.
    bool WriteFile(const uint8_t* buffer, size_t count, uint32_t& written);
    ReportDelivery LastDelivery() const { return m_lastDelivery; }
    // The open interface, or nullptr.
    HidHandle* Handle() const { return m_handle.get(); }
    // Positive code of the last failed open or write (0 when none failed).
    int LastError() const { return m_lastError; }

private:
    friend class TJvHidDeviceController;
    TJvHidDevice(HidBus& bus, const HidDeviceInfo& info);

    HidBus& m_bus;
    HidDeviceInfo m_info;  // as listed: a fresh record is made from it
    std::unique_ptr<HidHandle> m_handle;
    int m_lastError = 0;
    ReportDelivery m_lastDelivery = ReportDelivery::Nothing;
};

// The HID interfaces present on the computer, kept current as devices come and
// go. At most one controller lives at a time.
class TJvHidDeviceController {
public:
    using NotifyEvent = std::function<void(TJvHidDeviceController& sender)>;
    // Returns whether to go on with the next device.
    using EnumerateEvent = std::function<bool(TJvHidDevice& device, int index)>;

    explicit TJvHidDeviceController(HidBus& bus);
    ~TJvHidDeviceController();
    TJvHidDeviceController(const TJvHidDeviceController&) = delete;
    TJvHidDeviceController& operator=(const TJvHidDeviceController&) = delete;

    // The first assignment of a handler calls it at once, device change or not.
    void SetOnDeviceChange(NotifyEvent handler);
    void SetOnEnumerate(EnumerateEvent handler);
    void SetOnDeviceUnplug(TJvHidDevice::UnplugEvent handler) { m_onDeviceUnplug = std::move(handler); }
    // Hands the unplug handler to every listed record.
    void Loaded();

    // Calls the enumerate handler for each plugged-in record in list order until
    // it returns false (without a handler the first such record ends the walk).
    // Returns the number of calls.
    int Enumerate();
    // Lends the record at index: nullptr when out of range or already lent.
    std::unique_ptr<TJvHidDevice> CheckOutByIndex(int index);
    // Takes a lent record back (a device that left is freed); record becomes nullptr.
    void CheckIn(std::unique_ptr<TJvHidDevice>& record);

    // Lists the bus again and brings the records up to date (run on every
    // arrival or removal the bus reports).
    void DeviceChange();

    int Count() const { return static_cast<int>(m_list.size()); }
    // The listed record at index (lent or not).
    TJvHidDevice& Device(int index) const { return *m_list[static_cast<size_t>(index)].record; }

private:
    friend class TJvHidDevice;
    struct Entry {
        TJvHidDevice* record;
        std::unique_ptr<TJvHidDevice> owned;  // empty while lent out
    };

    std::vector<std::unique_ptr<TJvHidDevice>> FillInList();
    std::unique_ptr<TJvHidDevice> MakeRecord(const HidDeviceInfo& info);
    static void DoUnplug(TJvHidDevice& record);
    int IndexOf(const TJvHidDevice* record) const;
    // A lent record is being destroyed by its borrower.
    void Returned(TJvHidDevice* record);
    void DeviceChangeOnce();

    HidBus& m_bus;
    std::vector<Entry> m_list;
    NotifyEvent m_onDeviceChange;
    EnumerateEvent m_onEnumerate;
    TJvHidDevice::UnplugEvent m_onDeviceUnplug;
    bool m_deviceChangeFired = false;
    bool m_inDeviceChange = false;
    bool m_changeAgain = false;
};
