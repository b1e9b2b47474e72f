#pragma once
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Where a HID interface sits: a device plugged in again is a new identity.
struct HidIdentity {
    int bus = 0;
    int address = 0;
    int interfaceNumber = 0;
    bool operator==(const HidIdentity&) const = default;
};

// One HID interface present on the computer, as the bus lists it.
struct HidDeviceInfo {
    HidIdentity id;
    uint16_t vendorId = 0, productId = 0, version = 0;
    QString manufacturer, product, serial;
    // The program may open it (false: present, but the user has no access).
    bool accessible = true;
};

// How much of an output report reached the device. A write the bus calls
// failed may still have been delivered: only this says whether sending it
// again would double it.
enum class ReportDelivery {
    Nothing,  // the device got none of it
    Whole,    // the device got all of it
    Part,     // cut short: the device got a damaged report
    Unknown,  // the bus can't tell
};

// An opened HID interface.
class HidHandle {
public:
    virtual ~HidHandle() = default;
    // Writes one output report: byte 0 the report ID, then the payload.
    // 0 when written, otherwise a positive error code; `delivered` says how
    // much of it reached the device either way (Whole on success).
    virtual int WriteReport(const uint8_t* report, size_t length, ReportDelivery& delivered) = 0;
    // Reads string descriptor `index` raw (language 0x0409, up to `maxBytes`
    // bytes including the two header bytes, which are dropped): the body as
    // the device sent it, byte for byte. 0 on success, else a positive code.
    virtual int ReadString(int index, size_t maxBytes, std::vector<uint8_t>& body) = 0;
};

// The computer's HID devices: the real USB bus or a simulated one.
class HidBus {
public:
    virtual ~HidBus() = default;
    virtual std::vector<HidDeviceInfo> List() = 0;
    // nullptr when the interface cannot be opened; `error` then says why
    // (a positive code).
    virtual std::unique_ptr<HidHandle> Open(const HidIdentity& id, int& error) = 0;
    // Called (from the event loop) when devices arrived or left; several
    // changes close together may come as one call.
    virtual void SetChanged(std::function<void()> handler) = 0;
};

// The device's own side of a HID interface: what a simulated controller (or
// any emulated device) answers, whichever bus carries it.
class EmulatedHidDevice {
public:
    virtual ~EmulatedHidDevice() = default;
    // The 16 payload bytes of one output report (report ID left out).
    virtual void OutputReport(const std::array<uint8_t, 16>& payload) = 0;
    // The body of string descriptor `index` (header left out); false when the
    // device does not answer it.
    virtual bool StringDescriptor(int index, std::vector<uint8_t>& body) = 0;
};
