#pragma once
#include "machine/Bytes.h"
#include "machine/ControllerLink.h"

#include <map>
#include <vector>

// A controller that answers from prepared replies and records what it is sent.
// It keeps the real link's rule: a failed read leaves MachineFound false until
// the next write or read finds the machine again. Tests that can should talk
// through the program's own link (ScriptedLink, SimulatedLink).
class FakeLink : public ControllerLink {
public:
    FakeLink() { replies[10] = {}; }  // the status, which every controller answers
    bool MachineFound() override { return found && !readFailed; }
    int Write(const QByteArray& bytes) override
    {
        readFailed = false;
        if (!found)
            return -1;
        writes.push_back(bytes);
        return failAtWrite == static_cast<int>(writes.size()) ? 31 : 0;
    }
    int ReadString(int index) override
    {
        const auto it = replies.find(index);
        if (!found || it == replies.end()) {
            reply.fill(0);
            readFailed = true;
            return -1;
        }
        readFailed = false;
        reply = it->second;
        return 0;
    }
    const ReplyBlock& Reply() const override { return reply; }
    bool DeviceStrings(QString& manufacturer, QString& product, QString& serial) override
    {
        manufacturer = "Dravinor";
        product = this->product;
        serial = "0001";
        return found;
    }
    void SetLinkChanged(std::function<void(bool)> handler) override { linkChanged = std::move(handler); }
    void Put32(int index, size_t at, int32_t v)
    {
        const QByteArray b = Int32ToBytes(v);
        for (int i = 0; i < 4; ++i)
            replies[index][at + static_cast<size_t>(i)] = static_cast<uint8_t>(b[i]);
    }
    void Put64(int index, size_t at, int64_t v)
    {
        for (int i = 0; i < 8; ++i)
            replies[index][at + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
    }

    bool found = true;
    bool readFailed = false;
    QString product = "Ky100";
    int failAtWrite = 0;
    std::vector<QByteArray> writes;
    std::map<int, ReplyBlock> replies;
    ReplyBlock reply{};
    std::function<void(bool)> linkChanged;
};
