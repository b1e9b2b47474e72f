#pragma once
#include <QByteArray>
#include <array>
#include <cstdint>

// Bytes of one controller reply, as read from a string descriptor.
using ReplyBlock = std::array<uint8_t, 129>;

// The road to the machine's controller. The USB link installs one when it finds
// the machine; while none is installed the machine is simply not connected.
class ControllerLink {
public:
    virtual ~ControllerLink() = default;
    virtual bool MachineFound() const = 0;
    // Sends bytes as output reports; 0 when every report went out, the failing
    // write's code otherwise.
    virtual int Write(const QByteArray& bytes) = 0;
    // Reads reply string number `index`; false when the controller did not answer.
    virtual bool ReadString(int index, ReplyBlock& reply) = 0;
};

void SetControllerLink(ControllerLink* link);
ControllerLink* CurrentControllerLink();

// A machine is attached and answers.
bool MachineConnected();
