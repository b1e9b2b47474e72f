#pragma once
#include "machine/HidBus.h"
#include "machine/MachineClock.h"

#include <functional>
#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// The computer's USB bus: HID interfaces listed from the kernel's device
// attributes (libudev), so listing opens no device; the one interface asked
// for is opened and claimed with libusb. Arrivals and removals come from a
// udev monitor in the event loop; a burst of them (a device and its
// interfaces) makes one change call a moment later, timed on the clock.
class LibusbBus : public HidBus {
public:
    explicit LibusbBus(MachineClock& clock);
    ~LibusbBus() override;
    LibusbBus(const LibusbBus&) = delete;
    LibusbBus& operator=(const LibusbBus&) = delete;

    std::vector<HidDeviceInfo> List() override;
    std::unique_ptr<HidHandle> Open(const HidIdentity& id, int& error) override;
    void SetChanged(std::function<void()> handler) override { m_changed = std::move(handler); }

    // Shared with the handles, which may outlive the bus.
    struct Usb;

private:
    void OnMonitor();

    MachineClock& m_clock;
    std::shared_ptr<Usb> m_usb;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_changed;
    int m_pendingNotice = 0;
};
