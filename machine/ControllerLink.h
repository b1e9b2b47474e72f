#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

// Bytes of one controller reply, as read from a string descriptor.
using ReplyBlock = std::array<uint8_t, 129>;

// The one road to the machine's controller. The program gives the command
// layer the USB link; tests give it a link to the simulated controller. No
// global holds it: whoever talks to the machine is handed the link.
class ControllerLink {
public:
    virtual ~ControllerLink() = default;
    // The machine is among the devices present (searches when not known yet).
    virtual bool MachineFound() = 0;
    // Sends one command (1..32 bytes) as output reports: 0 when sent, -1 when
    // there is no machine, otherwise the positive code of the failed write.
    virtual int Write(const QByteArray& command) = 0;
    // Reads reply string `index` into Reply(): 0 on success, otherwise the
    // positive code of the last failed attempt, or -1 (Reply() is then all 0).
    virtual int ReadString(int index) = 0;
    virtual const ReplyBlock& Reply() const = 0;
    // The USB strings of the machine the link talks to; false when no machine
    // is active.
    virtual bool DeviceStrings(QString& manufacturer, QString& product, QString& serial) = 0;
    // Called after every arrival or removal of a device, with whether the
    // machine is attached afterwards.
    virtual void SetLinkChanged(std::function<void(bool machineFound)> handler) = 0;
};
