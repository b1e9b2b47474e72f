#include "machine/Clocks.h"

#include <QThread>
#include <QTimer>
#include <algorithm>

RealClock::RealClock() { m_started.start(); }

RealClock::~RealClock() = default;

int64_t RealClock::NowMs() const { return m_started.elapsed(); }

void RealClock::Sleep(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

int RealClock::Schedule(int ms, std::function<void()> callback)
{
    const int id = m_nextId++;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    QObject::connect(timer.get(), &QTimer::timeout, [this, id, callback = std::move(callback)]() {
        // The timer goes before the callback runs: the callback may schedule
        // again or cancel other timers.
        auto it = m_timers.find(id);
        if (it == m_timers.end())
            return;
        it->second.release()->deleteLater();
        m_timers.erase(it);
        callback();
    });
    timer->start(std::max(0, ms));
    m_timers.emplace(id, std::move(timer));
    return id;
}

void RealClock::Cancel(int id) { m_timers.erase(id); }

void VirtualClock::Sleep(int ms)
{
    if (m_sleepMode == SleepMode::Blocks)
        m_now += std::max(0, ms);
    else
        Advance(ms);
}

int VirtualClock::Schedule(int ms, std::function<void()> callback)
{
    const int id = m_nextId++;
    m_due.emplace(Key{m_now + std::max(0, ms), id}, std::move(callback));
    return id;
}

void VirtualClock::Cancel(int id)
{
    for (auto it = m_due.begin(); it != m_due.end(); ++it)
        if (it->first.id == id) {
            m_due.erase(it);
            return;
        }
}

void VirtualClock::Advance(int64_t ms)
{
    const int64_t end = m_now + std::max<int64_t>(0, ms);
    while (!m_due.empty() && m_due.begin()->first.at <= end) {
        auto first = m_due.begin();
        m_now = std::max(m_now, first->first.at);
        auto callback = std::move(first->second);
        m_due.erase(first);
        callback();
    }
    m_now = std::max(m_now, end);
}
