#pragma once
#include "machine/ControllerLink.h"
#include "machine/SimulatedController.h"

#include <algorithm>
#include <cstring>

// A link straight onto a simulated controller, cutting commands into reports
// as the USB link does: up to 16 bytes one report, up to 32 two; the bytes
// after a command keep what the report before left there.
class SimulatedLink : public ControllerLink {
public:
    explicit SimulatedLink(SimulatedController& device) : m_device(device)
    {
        device.SetBusPresence([this](bool present) {
            m_present = present;
            if (m_changed)
                m_changed(present);
        });
    }
    bool MachineFound() override { return m_present; }
    int Write(const QByteArray& command) override
    {
        if (!m_present)
            return -1;
        for (qsizetype at = 0; at < command.size(); at += 16) {
            const auto n = static_cast<size_t>(std::min<qsizetype>(16, command.size() - at));
            std::memcpy(m_report.data(), command.constData() + at, n);
            if (command.size() < 16)
                m_report[n] = 0;
            m_device.OutputReport(m_report);
        }
        return 0;
    }
    int ReadString(int index) override
    {
        m_reply.fill(0);
        std::vector<uint8_t> body;
        if (!m_present || !m_device.StringDescriptor(index, body))
            return -1;
        std::copy_n(body.begin(), std::min(body.size(), m_reply.size()), m_reply.begin());
        return 0;
    }
    const ReplyBlock& Reply() const override { return m_reply; }
    void SetLinkChanged(std::function<void(bool)> handler) override { m_changed = std::move(handler); }
    bool DeviceStrings(QString& manufacturer, QString& product, QString& serial) override
    {
        const HidDeviceInfo info = m_device.DeviceInfo();
        manufacturer = info.manufacturer;
        product = info.product;
        serial = info.serial;
        return m_present;
    }

    // The machine is unplugged (false) or plugged in again (true).
    void SetPresent(bool present) { m_present = present; }

private:
    SimulatedController& m_device;
    bool m_present = true;
    std::array<uint8_t, 16> m_report{};
    ReplyBlock m_reply{};
    std::function<void(bool)> m_changed;
};
