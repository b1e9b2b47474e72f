#include "machine/LibusbBus.h"

#include <QSocketNotifier>
#include <QString>
#include <libudev.h>
#include <libusb.h>
#include <unistd.h>

namespace {
constexpr unsigned kTransferTimeoutMs = 1000;
constexpr int kSettleMs = 100;
constexpr uint16_t kLanguageUsEnglish = 0x0409;
constexpr uint8_t kClassOutToInterface = 0x21;  // host to device, class request, interface
constexpr uint8_t kHidSetReport = 0x09;
constexpr uint16_t kOutputReportType = 0x02;

int Code(int libusbError) { return libusbError < 0 ? -libusbError : -LIBUSB_ERROR_IO; }

QString Attribute(udev_device* d, const char* name)
{
    const char* v = udev_device_get_sysattr_value(d, name);
    return v ? QString::fromUtf8(v) : QString();
}

int Number(udev_device* d, const char* name, int base)
{
    bool ok = false;
    const int v = Attribute(d, name).trimmed().toInt(&ok, base);
    return ok ? v : -1;
}
}  // namespace

struct LibusbBus::Usb {
    libusb_context* context = nullptr;
    ~Usb()
    {
        if (context)
            libusb_exit(context);
    }
};

namespace {
class LibusbHandle : public HidHandle {
public:
    LibusbHandle(std::shared_ptr<LibusbBus::Usb> usb, libusb_device_handle* h, int interfaceNumber, int outEndpoint)
        : m_usb(std::move(usb)), m_handle(h), m_interface(interfaceNumber), m_outEndpoint(outEndpoint)
    {
    }
    ~LibusbHandle() override
    {
        libusb_release_interface(m_handle, m_interface);  // gives the interface back to its kernel driver
        libusb_close(m_handle);
    }

    int WriteReport(const uint8_t* report, size_t length, ReportDelivery& delivered) override
    {
        delivered = ReportDelivery::Nothing;
        if (length == 0)
            return -LIBUSB_ERROR_INVALID_PARAM;
        // Report ID 0: the device uses no report IDs and takes the payload alone.
        const uint8_t id = report[0];
        auto* data = const_cast<uint8_t*>(id == 0 ? report + 1 : report);
        const int size = static_cast<int>(id == 0 ? length - 1 : length);
        if (m_outEndpoint) {
            // The endpoint tells how many bytes went out, also when the
            // transfer ends in an error (a timeout after the data left).
            int done = 0;
            const int r = libusb_interrupt_transfer(m_handle, static_cast<unsigned char>(m_outEndpoint), data, size,
                                                    &done, kTransferTimeoutMs);
            delivered = done <= 0 ? ReportDelivery::Nothing
                                  : done >= size ? ReportDelivery::Whole : ReportDelivery::Part;
            return r == 0 && done == size ? 0 : Code(r);
        }
        // A failed control transfer does not say whether its data stage ran.
        const int r = libusb_control_transfer(
            m_handle, kClassOutToInterface, kHidSetReport,
            static_cast<uint16_t>(kOutputReportType << 8 | id), static_cast<uint16_t>(m_interface), data,
            static_cast<uint16_t>(size), kTransferTimeoutMs);
        if (r == size) {
            delivered = ReportDelivery::Whole;
            return 0;
        }
        delivered = r < 0 ? ReportDelivery::Unknown : r == 0 ? ReportDelivery::Nothing : ReportDelivery::Part;
        return Code(r < 0 ? r : LIBUSB_ERROR_IO);
    }

    int ReadString(int index, size_t maxBytes, std::vector<uint8_t>& body) override
    {
        body.clear();
        if (index < 0 || index > 255)
            return -LIBUSB_ERROR_INVALID_PARAM;
        // Raw: the controller packs binary data into its strings, which no text
        // conversion would leave alone.
        std::vector<uint8_t> buffer(std::min<size_t>(maxBytes, 255));
        const int r = libusb_get_string_descriptor(m_handle, static_cast<uint8_t>(index), kLanguageUsEnglish,
                                                   buffer.data(), static_cast<int>(buffer.size()));
        if (r < 0)
            return Code(r);
        if (r > 2)
            body.assign(buffer.begin() + 2, buffer.begin() + r);
        return 0;
    }

private:
    std::shared_ptr<LibusbBus::Usb> m_usb;
    libusb_device_handle* m_handle;
    int m_interface;
    int m_outEndpoint;
};

// The interrupt OUT endpoint of an interface, or 0 when it has none.
int OutEndpoint(libusb_device* device, int interfaceNumber)
{
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0)
        return 0;
    int found = 0;
    for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
        const libusb_interface& itf = config->interface[i];
        if (itf.num_altsetting < 1 || itf.altsetting[0].bInterfaceNumber != interfaceNumber)
            continue;
        const libusb_interface_descriptor& alt = itf.altsetting[0];
        for (int e = 0; e < alt.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& ep = alt.endpoint[e];
            if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_OUT &&
                (ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_INTERRUPT) {
                found = ep.bEndpointAddress;
                break;
            }
        }
    }
    libusb_free_config_descriptor(config);
    return found;
}
}  // namespace

LibusbBus::LibusbBus(MachineClock& clock) : m_clock(clock), m_usb(std::make_shared<Usb>())
{
    if (libusb_init(&m_usb->context) != 0)
        m_usb->context = nullptr;
    m_udev = udev_new();
    if (!m_udev)
        return;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor && udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usb", "usb_device") == 0 &&
        udev_monitor_enable_receiving(m_monitor) == 0) {
        m_notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { OnMonitor(); });
    }
}

LibusbBus::~LibusbBus()
{
    if (m_pendingNotice)
        m_clock.Cancel(m_pendingNotice);
    m_notifier.reset();
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

void LibusbBus::OnMonitor()
{
    while (udev_device* d = udev_monitor_receive_device(m_monitor))
        udev_device_unref(d);
    if (m_pendingNotice)
        return;
    m_pendingNotice = m_clock.Schedule(kSettleMs, [this] {
        m_pendingNotice = 0;
        if (m_changed)
            m_changed();
    });
}

std::vector<HidDeviceInfo> LibusbBus::List()
{
    std::vector<HidDeviceInfo> list;
    if (!m_udev)
        return list;
    udev_enumerate* e = udev_enumerate_new(m_udev);
    if (!e)
        return list;
    udev_enumerate_add_match_subsystem(e, "usb");
    udev_enumerate_add_match_property(e, "DEVTYPE", "usb_interface");
    udev_enumerate_add_match_sysattr(e, "bInterfaceClass", "03");
    udev_enumerate_scan_devices(e);
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
    {
        udev_device* itf = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry));
        if (!itf)
            continue;
        // Owned by the interface's record.
        udev_device* dev = udev_device_get_parent_with_subsystem_devtype(itf, "usb", "usb_device");
        HidDeviceInfo info;
        info.id.bus = dev ? Number(dev, "busnum", 10) : -1;
        info.id.address = dev ? Number(dev, "devnum", 10) : -1;
        info.id.interfaceNumber = Number(itf, "bInterfaceNumber", 16);
        if (dev && info.id.bus >= 0 && info.id.address >= 0 && info.id.interfaceNumber >= 0) {
            info.vendorId = static_cast<uint16_t>(Number(dev, "idVendor", 16));
            info.productId = static_cast<uint16_t>(Number(dev, "idProduct", 16));
            info.version = static_cast<uint16_t>(Number(dev, "bcdDevice", 16));
            info.manufacturer = Attribute(dev, "manufacturer");
            info.product = Attribute(dev, "product");
            info.serial = Attribute(dev, "serial");
            const char* node = udev_device_get_devnode(dev);
            info.accessible = node && access(node, R_OK | W_OK) == 0;
            list.push_back(info);
        }
        udev_device_unref(itf);
    }
    udev_enumerate_unref(e);
    return list;
}

std::unique_ptr<HidHandle> LibusbBus::Open(const HidIdentity& id, int& error)
{
    error = -LIBUSB_ERROR_NO_DEVICE;
    if (!m_usb->context)
        return nullptr;
    libusb_device** devices = nullptr;
    const ssize_t n = libusb_get_device_list(m_usb->context, &devices);
    libusb_device_handle* handle = nullptr;
    int outEndpoint = 0;
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device* d = devices[i];
        if (libusb_get_bus_number(d) != id.bus || libusb_get_device_address(d) != id.address)
            continue;
        const int r = libusb_open(d, &handle);
        if (r != 0) {
            error = Code(r);
            handle = nullptr;
        } else {
            outEndpoint = OutEndpoint(d, id.interfaceNumber);
        }
        break;
    }
    if (n >= 0)
        libusb_free_device_list(devices, 1);
    if (!handle)
        return nullptr;
    // The kernel's HID driver holds the interface: it steps aside while the
    // program has it and takes it back when the program lets go.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    const int r = libusb_claim_interface(handle, id.interfaceNumber);
    if (r != 0) {
        error = Code(r);
        libusb_close(handle);
        return nullptr;
    }
    error = 0;
    return std::make_unique<LibusbHandle>(m_usb, handle, id.interfaceNumber, outEndpoint);
}
