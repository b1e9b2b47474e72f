#pragma once
#include "machine/HidBus.h"
#include "machine/MachineClock.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// A HID bus in memory: devices plugged in and out at any moment, each answered
// by an EmulatedHidDevice, with faults on demand on the transport. Tests drive
// the program's link with it; the program can run on it as well.
//
// Arrival and removal notices go through the clock (scheduled at 0 ms, several
// changes before it runs make one notice), as the real bus delivers them from
// the event loop: never in the middle of a report write or a string read, and
// on a virtual clock when time moves on (Advance(0) delivers at once).
class SimulatedBus : public HidBus {
public:
    // Codes as the real bus gives them (libusb's errors, negated).
    static constexpr int kIoError = 1;
    static constexpr int kAccessDenied = 3;
    static constexpr int kNoDevice = 4;
    static constexpr int kPipeError = 9;

    struct Strings {
        QString manufacturer, product, serial;
        uint16_t vendorId = 0x1209, productId = 0x0001, version = 0x0100;
        bool accessible = true;
    };

    explicit SimulatedBus(MachineClock& clock);
    ~SimulatedBus() override;

    // Plugs a device in at the end of the list; a new bus address each time,
    // so a device plugged in again is a new identity. `device` must outlive
    // its time on the bus.
    HidIdentity Plug(const Strings& strings, EmulatedHidDevice& device);
    // Gone at once: its open handles fail from now on. False when not present.
    bool Unplug(const HidIdentity& id);
    // Out and in again (same strings and device, new identity, faults cleared).
    HidIdentity Replug(const HidIdentity& id);
    bool Present(const HidIdentity& id) const;

    // Faults, counted per report or read attempt; kForever for all from now.
    static constexpr int kForever = -1;
    // The next `count` reports reach nothing and fail with `code`.
    void LoseWrites(const HidIdentity& id, int count, int code = kIoError);
    // The next `count` reports reach the device but are reported failed.
    void FailDeliveredWrites(const HidIdentity& id, int count, int code = kIoError);
    // The next `count` reports are cut short: the device gets a damaged report,
    // which it drops, and the write fails with `code`.
    void CutWrites(const HidIdentity& id, int count, int code = kIoError);
    // The next `count` reports fail with `code` and the bus can't tell whether
    // they arrived (a control transfer); `reach`: whether they did.
    void FailWritesUntold(const HidIdentity& id, int count, bool reach, int code = kPipeError);
    // The next `count` string reads fail with `code` (the device isn't asked).
    void FailReads(const HidIdentity& id, int count, int code = kPipeError);
    void ClearFaults(const HidIdentity& id);

    // Every report written to a device, as it came off the wire (report ID
    // first), whether it was delivered or lost.
    struct WireReport {
        HidIdentity to;
        std::array<uint8_t, 17> bytes{};
        bool delivered = false;
    };
    const std::vector<WireReport>& Wire() const { return m_wire; }
    // Times the device at this identity was opened.
    int Opens(const HidIdentity& id) const;

    std::vector<HidDeviceInfo> List() override;
    std::unique_ptr<HidHandle> Open(const HidIdentity& id, int& error) override;
    void SetChanged(std::function<void()> handler) override { m_changed = std::move(handler); }

private:
    struct Fault {
        int count = 0;
        int code = 0;
        bool Take();  // whether this attempt fails
    };
    struct Slot {
        HidIdentity id;
        Strings strings;
        EmulatedHidDevice* device = nullptr;
        Fault lostWrites, failedDelivered, cutWrites, untoldWrites, failedReads;
        bool untoldReach = false;
    };
    class Handle;

    Slot* Find(const HidIdentity& id);
    const Slot* Find(const HidIdentity& id) const;
    void Changed();
    int WriteReport(const HidIdentity& id, const uint8_t* report, size_t length, ReportDelivery& delivered);
    int ReadString(const HidIdentity& id, int index, size_t maxBytes, std::vector<uint8_t>& body);

    MachineClock& m_clock;
    std::function<void()> m_changed;
    std::vector<Slot> m_slots;
    std::vector<std::pair<HidIdentity, int>> m_opens;
    std::vector<WireReport> m_wire;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    int m_nextAddress = 2;
    int m_pendingNotice = 0;
};
