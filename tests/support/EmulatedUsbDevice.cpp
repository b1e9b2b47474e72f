#include "tests/support/EmulatedUsbDevice.h"

#include <glib.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <umockdev.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <stdexcept>

namespace {
constexpr uint8_t kOutEndpoint = 0x01;
constexpr size_t kPayload = 16;

std::vector<uint8_t> DeviceDescriptor(const EmulatedUsbDevice::Setup& s)
{
    return {0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40,
            static_cast<uint8_t>(s.vendorId), static_cast<uint8_t>(s.vendorId >> 8),
            static_cast<uint8_t>(s.productId), static_cast<uint8_t>(s.productId >> 8),
            static_cast<uint8_t>(s.version), static_cast<uint8_t>(s.version >> 8),
            0x01, 0x02, 0x03, 0x01};
}

// A vendor-defined report of 16 bytes each way, no report IDs.
const std::vector<uint8_t> kReportDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02,
                                                0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, kPayload,
                                                0x91, 0x02, 0xC0};

std::vector<uint8_t> ConfigDescriptor(const EmulatedUsbDevice::Setup& s)
{
    const uint8_t endpoints = s.interruptOut ? 2 : 1;
    std::vector<uint8_t> d = {
        0x09, 0x02, 0, 0, 0x01, 0x01, 0x00, 0x80, 0x32,                      // configuration
        0x09, 0x04, 0x00, 0x00, endpoints, 0x03, 0x00, 0x00, 0x00,           // interface: HID
        0x09, 0x21, 0x11, 0x01, 0x00, 0x01, 0x22, static_cast<uint8_t>(kReportDescriptor.size()), 0x00,
        0x07, 0x05, 0x81, 0x03, 0x40, 0x00, 0x01};                           // interrupt IN
    if (s.interruptOut)
        d.insert(d.end(), {0x07, 0x05, kOutEndpoint, 0x03, 0x40, 0x00, 0x01});  // interrupt OUT
    d[2] = static_cast<uint8_t>(d.size());
    return d;
}

std::vector<uint8_t> Utf16Descriptor(const std::string& ascii)
{
    std::vector<uint8_t> d = {0, 0x03};
    for (char c : ascii)
        d.insert(d.end(), {static_cast<uint8_t>(c), 0});
    d[0] = static_cast<uint8_t>(d.size());
    return d;
}
}  // namespace

UsbTestbed::UsbTestbed() : m_testbed(umockdev_testbed_new()), m_mocked(umockdev_in_mock_environment()) {}

UsbTestbed::~UsbTestbed() { g_object_unref(m_testbed); }

struct EmulatedUsbDevice::Connection {
    EmulatedUsbDevice* device;
    std::string node;
    UMockdevIoctlBase* handler = nullptr;
    mutable std::mutex mutex;
    bool unplugged = false;
    Counts seen;
    std::deque<UMockdevIoctlData*> done;  // URBs to reap, completed at once

    ~Connection()
    {
        for (UMockdevIoctlData* urb : done)
            g_object_unref(urb);
        g_object_unref(handler);
    }

    // A control transfer: the length of the data stage, or -errno (a stall is -EPIPE).
    int Control(const uint8_t* setup, uint8_t* data)
    {
        const uint8_t type = setup[0], request = setup[1];
        const unsigned value = setup[2] | setup[3] << 8, length = setup[6] | setup[7] << 8;
        std::vector<uint8_t> answer;
        const Setup& s = device->m_setup;
        if (type == 0x80 && request == 0x06) {  // GET_DESCRIPTOR
            const unsigned kind = value >> 8, index = value & 0xFF;
            if (kind == 1)
                answer = DeviceDescriptor(s);
            else if (kind == 2 && index == 0)
                answer = ConfigDescriptor(s);
            else if (kind == 3 && index == 0)
                answer = {4, 0x03, 0x09, 0x04};
            else if (kind == 3 && index <= 3)
                answer = Utf16Descriptor(index == 1 ? s.manufacturer : index == 2 ? s.product : s.serial);
            else if (kind == 3) {
                std::vector<uint8_t> body;
                if (!device->m_answers.StringDescriptor(static_cast<int>(index), body))
                    return -EPIPE;
                body.resize(std::min<size_t>(body.size(), 253));
                answer = {static_cast<uint8_t>(body.size() + 2), 0x03};
                answer.insert(answer.end(), body.begin(), body.end());
            } else
                return -EPIPE;
        } else if (type == 0x81 && request == 0x06 && value >> 8 == 0x22) {
            answer = kReportDescriptor;
        } else if (type == 0x21 && request == 0x09 && value == 0x0200) {  // SET_REPORT, output, no ID
            Report(data, length);
            ++seen.setReport;
            return static_cast<int>(length);
        } else if (type == 0x21 && request == 0x0A) {  // SET_IDLE
            return 0;
        } else {
            return -EPIPE;
        }
        const size_t n = std::min<size_t>(answer.size(), length);
        std::copy_n(answer.begin(), n, data);
        return static_cast<int>(n);
    }

    void Report(const uint8_t* data, size_t length)
    {
        std::array<uint8_t, kPayload> payload{};
        std::copy_n(data, std::min(length, kPayload), payload.begin());
        seen.reportLengths.push_back(static_cast<int>(length));
        device->m_answers.OutputReport(payload);
    }

    // Runs on umockdev's thread; everything it touches is behind the lock.
    long Handle(unsigned long request, UMockdevIoctlData* d, int& error)
    {
        std::lock_guard lock(mutex);
        ++seen.requests;
        if (unplugged) {
            error = ENODEV;
            return -1;
        }
        switch (request) {
        case USBDEVFS_GET_CAPABILITIES:
            *reinterpret_cast<uint32_t*>(d->data) = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                                     USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                                     USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            return 0;
        case USBDEVFS_CONNECTINFO:
            reinterpret_cast<usbdevfs_connectinfo*>(d->data)->slow = 0;
            return 0;
        case USBDEVFS_GETDRIVER:  // no kernel driver bound
        case USBDEVFS_IOCTL:
            error = ENODATA;
            return -1;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET:
            return 0;
        case USBDEVFS_SUBMITURB: {
            auto* urb = reinterpret_cast<usbdevfs_urb*>(d->data);
            UMockdevIoctlData* buffer = nullptr;
            if (urb->buffer_length > 0)  // afterwards urb->buffer points at the local copy
                buffer = umockdev_ioctl_data_resolve(d, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                                     static_cast<gsize>(urb->buffer_length), nullptr);
            auto* bytes = static_cast<uint8_t*>(urb->buffer);
            if (urb->type == USBDEVFS_URB_TYPE_CONTROL && urb->buffer_length >= 8) {
                const int r = Control(bytes, bytes + 8);
                urb->status = r < 0 ? r : 0;
                urb->actual_length = r < 0 ? 0 : r;
            } else if (urb->type == USBDEVFS_URB_TYPE_INTERRUPT && urb->endpoint == kOutEndpoint &&
                       device->m_setup.interruptOut) {
                Report(bytes, static_cast<size_t>(urb->buffer_length));
                ++seen.interruptOut;
                urb->status = 0;
                urb->actual_length = urb->buffer_length;
            } else {
                g_clear_object(&buffer);
                error = EINVAL;
                return -1;
            }
            g_clear_object(&buffer);
            done.push_back(static_cast<UMockdevIoctlData*>(g_object_ref(d)));
            return 0;
        }
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            if (done.empty()) {
                error = EAGAIN;
                return -1;
            }
            UMockdevIoctlData* urb = done.front();
            done.pop_front();
            umockdev_ioctl_data_set_ptr(d, 0, urb);
            g_object_unref(urb);
            return 0;
        }
        default:  // DISCARDURB too: every URB is done at once
            error = request == USBDEVFS_DISCARDURB ? EINVAL : ENOTTY;
            return -1;
        }
    }

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        auto* c = static_cast<Connection*>(self);
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        const gsize size = _IOC_SIZE(request);
        UMockdevIoctlData* d = nullptr;
        if (size > 0 && !(d = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, nullptr))) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        int error = 0;
        const long r = c->Handle(request, d, error);
        umockdev_ioctl_client_complete(client, r, error);
        g_clear_object(&d);
        return TRUE;
    }
};

EmulatedUsbDevice::EmulatedUsbDevice(UsbTestbed& testbed, int port, Setup setup, EmulatedHidDevice& answers)
    : m_testbed(testbed), m_port(port), m_setup(std::move(setup)), m_answers(answers)
{
}

EmulatedUsbDevice::~EmulatedUsbDevice()
{
    Unplug();
    for (auto& c : m_connections)
        umockdev_testbed_detach_ioctl(m_testbed.Get(), c->node.c_str(), nullptr);
}

std::string EmulatedUsbDevice::SysPath() const
{
    return "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(m_port);
}

std::string EmulatedUsbDevice::Record(int address) const
{
    char node[32];
    std::snprintf(node, sizeof node, "bus/usb/001/%03d", address);
    const std::string path = SysPath().substr(4);  // without "/sys"
    auto hex4 = [](unsigned v) {
        char b[8];
        std::snprintf(b, sizeof b, "%04x", v);
        return std::string(b);
    };
    std::string r = "P: " + path + "\nN: " + node + "\n" +
                    "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
                    "E: DEVNAME=/dev/" + node + "\nE: BUSNUM=001\nE: DEVNUM=" + std::string(node + 12) + "\n" +
                    "E: MAJOR=189\nE: MINOR=" + std::to_string(address - 1) + "\n" +
                    "A: busnum=1\\n\nA: devnum=" + std::to_string(address) + "\\n\n" +
                    "A: dev=189:" + std::to_string(address - 1) + "\\n\nA: speed=12\\n\n" +
                    "A: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n\nA: bNumInterfaces= 1\\n\n" +
                    "A: idVendor=" + hex4(m_setup.vendorId) + "\\n\nA: idProduct=" + hex4(m_setup.productId) +
                    "\\n\nA: bcdDevice=" + hex4(m_setup.version) + "\\n\n" +
                    "A: manufacturer=" + m_setup.manufacturer + "\\n\nA: product=" + m_setup.product +
                    "\\n\nA: serial=" + m_setup.serial + "\\n\n" + "H: descriptors=";
    std::vector<uint8_t> all = DeviceDescriptor(m_setup);
    const std::vector<uint8_t> config = ConfigDescriptor(m_setup);
    all.insert(all.end(), config.begin(), config.end());
    for (uint8_t b : all) {
        char h[4];
        std::snprintf(h, sizeof h, "%02X", b);
        r += h;
    }
    return r + "\n";
}

HidIdentity EmulatedUsbDevice::Plug()
{
    Unplug();
    const int address = m_testbed.NextAddress();
    auto c = std::make_unique<Connection>();
    c->device = this;
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", address);
    c->node = node;
    c->handler = umockdev_ioctl_base_new();
    g_signal_connect(c->handler, "handle-ioctl", G_CALLBACK(&Connection::OnIoctl), c.get());
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(m_testbed.Get(), node, c->handler, &error))
        throw std::runtime_error(error ? error->message : "attach_ioctl");
    // The device, then its interface: each comes with its "add" uevent.
    const std::string itf = SysPath().substr(4) + "/1-" + std::to_string(m_port) + ":1.0";
    const std::string interfaceRecord = "P: " + itf +
                                        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: INTERFACE=3/0/0\n"
                                        "A: bInterfaceClass=03\\n\nA: bInterfaceNumber=00\\n\n"
                                        "A: bInterfaceSubClass=00\\n\nA: bInterfaceProtocol=00\\n\n";
    for (const std::string& record : {Record(address), interfaceRecord})
        if (!umockdev_testbed_add_from_string(m_testbed.Get(), record.c_str(), &error))
            throw std::runtime_error(error ? error->message : "add_from_string");
    m_current = c.get();
    m_connections.push_back(std::move(c));
    return HidIdentity{1, address, 0};
}

void EmulatedUsbDevice::Unplug()
{
    if (!m_current)
        return;
    {
        std::lock_guard lock(m_current->mutex);
        m_current->unplugged = true;
    }
    // The uevent goes before the device: removed first, nothing would notice.
    umockdev_testbed_uevent(m_testbed.Get(), (SysPath() + "/1-" + std::to_string(m_port) + ":1.0").c_str(),
                            "remove");
    umockdev_testbed_uevent(m_testbed.Get(), SysPath().c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed.Get(), SysPath().c_str());
    // The testbed leaves the bus's links behind; a replug on the same port
    // makes them again.
    gchar* sys = umockdev_testbed_get_sys_dir(m_testbed.Get());
    const std::string links = std::string(sys) + "/bus/usb/devices/1-" + std::to_string(m_port);
    g_free(sys);
    unlink(links.c_str());
    unlink((links + ":1.0").c_str());
    m_current = nullptr;
}

EmulatedUsbDevice::Counts EmulatedUsbDevice::Seen() const
{
    Counts all;
    for (const auto& c : m_connections) {
        std::lock_guard lock(c->mutex);
        all.requests += c->seen.requests;
        all.interruptOut += c->seen.interruptOut;
        all.setReport += c->seen.setReport;
        all.reportLengths.insert(all.reportLengths.end(), c->seen.reportLengths.begin(), c->seen.reportLengths.end());
    }
    return all;
}
