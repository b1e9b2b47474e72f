#pragma once
#include "machine/HidBus.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

// The mocked /sys and /dev of a test program run under umockdev-wrapper. Made
// once, before anything asks whether the program runs mocked (umockdev keeps
// the first answer).
class UsbTestbed {
public:
    UsbTestbed();
    ~UsbTestbed();
    bool Mocked() const { return m_mocked; }
    UMockdevTestbed* Get() const { return m_testbed; }
    int NextAddress() { return m_nextAddress++; }

private:
    UMockdevTestbed* m_testbed;
    bool m_mocked;
    int m_nextAddress = 2;
};

// A full-speed USB device with one HID interface, emulated for the real libusb
// and libudev: its sysfs attributes and descriptors, the device node with its
// usbfs requests (control transfers, URBs, claim), and the add and remove
// uevents. Output reports and string descriptors from index 4 on are answered
// by an EmulatedHidDevice; strings 1..3 are the maker, product and serial.
class EmulatedUsbDevice {
public:
    struct Setup {
        std::string manufacturer, product, serial;
        uint16_t vendorId = 0x1209, productId = 0x0001, version = 0x0100;
        // Without one, reports come as SET_REPORT control transfers.
        bool interruptOut = true;
    };

    EmulatedUsbDevice(UsbTestbed& testbed, int port, Setup setup, EmulatedHidDevice& answers);
    ~EmulatedUsbDevice();
    EmulatedUsbDevice(const EmulatedUsbDevice&) = delete;
    EmulatedUsbDevice& operator=(const EmulatedUsbDevice&) = delete;

    // Plugs in at a new bus address each time; the identity it gets.
    HidIdentity Plug();
    // Requests on handles still open fail with ENODEV from now on.
    void Unplug();

    // Over every time the device was plugged in.
    struct Counts {
        int requests = 0;        // any usbfs request on its node: it was opened
        int interruptOut = 0;    // reports on the interrupt OUT endpoint
        int setReport = 0;       // reports as SET_REPORT
        std::vector<int> reportLengths;
    };
    Counts Seen() const;

    struct Connection;  // one time on the bus

private:
    std::string SysPath() const;
    std::string Record(int address) const;

    UsbTestbed& m_testbed;
    int m_port;
    Setup m_setup;
    EmulatedHidDevice& m_answers;
    std::vector<std::unique_ptr<Connection>> m_connections;
    Connection* m_current = nullptr;
};
