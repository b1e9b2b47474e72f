#pragma once
#include "machine/ControllerLink.h"
#include "machine/HidDevice.h"
#include "machine/MachineClock.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Payload bytes per output report.
constexpr int32_t ReportPayloadLength = 16;
// Report writes that failed and were sent once more; failed reply reads.
// Both only grow; the control panel and the move window show them.
extern int32_t UsbWriteRetries;
extern int32_t UsbReadFailures;

// The link to the cutter's controller over the HID bus: finds the machine
// among the devices present ("Dravinor", product starting with a model code),
// sends commands as 16-byte output reports and reads replies as raw string
// descriptors. The hidden USB form owns one; it talks to the main window only
// through the status sink it is given.
class UsbLink : public ControllerLink {
public:
    using StatusSink = std::function<void(const QString& text)>;

    // Runs the creation: lists the devices, sends the hello "X" to a machine
    // found, and shows through `status` what was found.
    UsbLink(HidBus& bus, MachineClock& clock, StatusSink status);
    ~UsbLink() override;
    UsbLink(const UsbLink&) = delete;
    UsbLink& operator=(const UsbLink&) = delete;

    // Whether the machine is listed (the cached answer once found).
    bool DravinorRoExist();
    // The machine was found and no reply read has failed since: a failed read
    // leaves it false until a device change or the next write or read finds
    // the machine again, so no caller takes a zeroed reply for an answer.
    bool MachineFound() override { return m_machineFound; }
    // 0 sent, -1 no machine, else the positive code of the failed report.
    int Write(const QByteArray& s) override;
    // Reads string `index` into the reply block (ten attempts).
    int ReadString(int index) override;
    const ReplyBlock& Reply() const override { return m_reply; }
    void SetLinkChanged(std::function<void(bool)> handler) override { m_linkChanged = std::move(handler); }
    bool DeviceStrings(QString& manufacturer, QString& product, QString& serial) override;

    // Lists the devices again and searches for the machine; the controller
    // calls it on every arrival or removal.
    void JvHidDeviceController1DeviceChange();
    bool JvHidDeviceController1Enumerate(TJvHidDevice& device, int index);
    // After the controller's reset: the device list brought up to date from
    // the bus itself, then the machine searched and greeted. A wait that ran
    // no event loop has left the bus's notices of the reset unhandled.
    void FindMachineAgain();

    // The cached search result, without searching.
    bool MachineFoundFlag() const { return m_machineFound; }
    // The machine's record while it is found (nullptr otherwise).
    const TJvHidDevice* ActiveDevice() const { return m_active; }
    const std::vector<std::unique_ptr<TJvHidDevice>>& DeviceList() const { return m_deviceList; }
    // The report last sent: byte 0 the report ID, then the payload. Bytes a
    // shorter command leaves alone keep what earlier reports put there.
    const std::array<uint8_t, 129>& ReportBuffer() const { return m_report; }
    uint32_t BytesWritten() const { return m_bytesWritten; }
    TJvHidDeviceController& JvHidDeviceController1() { return m_controller; }

private:
    void FormCreate();
    void FormDestroy();
    // Sends bytes 0..16 of the report buffer: once more after a pause only
    // when nothing of it reached the device; a report delivered whole (or
    // where the bus can't tell) counts as sent. 0 or the failure's code.
    int SendReport();
    void ShowLinkState();
    bool MachineWithoutAccess() const;

    MachineClock& m_clock;
    StatusSink m_status;
    std::function<void(bool)> m_linkChanged;
    TJvHidDeviceController m_controller;
    std::vector<std::unique_ptr<TJvHidDevice>> m_deviceList;
    // The machine's record held over a device change that leaves it attached.
    std::unique_ptr<TJvHidDevice> m_kept;
    TJvHidDevice* m_active = nullptr;
    bool m_machineFound = false;
    // The machine this link is attached to, kept over failed reads (which only
    // make the next exchange search again): while it stays on the bus a device
    // change is no new connection.
    std::optional<HidIdentity> m_attached;
    std::array<uint8_t, 129> m_report{};
    ReplyBlock m_reply{};
    uint32_t m_bytesWritten = 0;
    int m_deviceChanges = 0;
};
