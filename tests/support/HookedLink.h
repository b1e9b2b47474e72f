#pragma once
#include "machine/ControllerLink.h"

#include <functional>

// The program's link, with a hook run just before a command goes out.
class HookedLink : public ControllerLink {
public:
    explicit HookedLink(ControllerLink& inner) : m_inner(inner) {}
    bool MachineFound() override { return m_inner.MachineFound(); }
    int Write(const QByteArray& report) override
    {
        if (beforeWrite)
            beforeWrite(report);
        if (swallow && swallow(report))
            return 0;  // taken, and never acted on
        return m_inner.Write(report);
    }
    int ReadString(int index) override
    {
        if (beforeRead)
            beforeRead();
        return m_inner.ReadString(index);
    }
    std::function<bool(const QByteArray&)> swallow;
    std::function<void()> beforeRead;
    const ReplyBlock& Reply() const override { return m_inner.Reply(); }
    void SetLinkChanged(std::function<void(bool)> hook) override { m_inner.SetLinkChanged(std::move(hook)); }
    bool DeviceStrings(QString& v, QString& p, QString& s) override { return m_inner.DeviceStrings(v, p, s); }
    std::function<void(const QByteArray&)> beforeWrite;

private:
    ControllerLink& m_inner;
};
