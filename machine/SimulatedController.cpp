#include "machine/SimulatedController.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {
// Step periods are counted in units of 0.8 microseconds.
constexpr double kPeriodMs = 0.0008;
constexpr int kHomingLeastMs = 500;

int32_t Int32At(const std::array<uint8_t, 16>& c, size_t at)
{
    return static_cast<int32_t>(static_cast<uint32_t>(c[at]) | static_cast<uint32_t>(c[at + 1]) << 8 |
                                static_cast<uint32_t>(c[at + 2]) << 16 | static_cast<uint32_t>(c[at + 3]) << 24);
}

uint16_t WordAt(const std::array<uint8_t, 16>& c, size_t at) { return static_cast<uint16_t>(c[at] | c[at + 1] << 8); }

void Put(std::vector<uint8_t>& r, size_t at, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        r[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

int64_t FixedPoint(double v) { return static_cast<int64_t>(std::llround(v * 16777216.0)); }

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

uint8_t KeyBit(MachineKey key)
{
    switch (key) {
    case MachineKey::Start: return 0x08;
    case MachineKey::Stop: return 0x10;
    case MachineKey::Continue: return 0x20;
    }
    return 0;
}

std::vector<uint8_t> Utf16(const QString& text)
{
    std::vector<uint8_t> out;
    for (QChar c : text) {
        out.push_back(static_cast<uint8_t>(c.unicode() & 0xFF));
        out.push_back(static_cast<uint8_t>(c.unicode() >> 8));
    }
    return out;
}

std::string Letter(uint8_t c) { return std::isprint(c) ? std::string(1, static_cast<char>(c)) : "0x" + std::to_string(c); }
}  // namespace

SimulatedController::SimulatedController(MachineClock& clock, SimulatedMachineSetup setup)
    : m_clock(clock), m_setup(std::move(setup)), m_flash(kFlashWords)
{
    if (m_setup.product.isEmpty())
        m_setup.product = m_setup.modelCode + "100";
    // A program is in the memory: nothing reads as erased before an erase.
    for (size_t i = 0; i < kFlashWords; ++i)
        m_flash[i] = static_cast<uint16_t>(i * 40503u + 12345u);
}

SimulatedController::~SimulatedController()
{
    if (m_resetTimer)
        m_clock.Cancel(m_resetTimer);
}

HidDeviceInfo SimulatedController::DeviceInfo() const
{
    HidDeviceInfo info;
    info.id = {1, 2, 0};
    info.vendorId = 0x1209;
    info.productId = 0x0001;
    info.version = static_cast<uint16_t>(m_setup.firmwareMajor << 8 | m_setup.firmwareMinor);
    info.manufacturer = "Dravinor";
    info.product = m_setup.product;
    info.serial = m_setup.serial;
    return info;
}

void SimulatedController::Note(SimEvent kind, std::string text) { m_log.push_back({kind, m_clock.NowMs(), std::move(text)}); }

int SimulatedController::Count(SimEvent kind) const
{
    return static_cast<int>(std::count_if(m_log.begin(), m_log.end(), [&](const SimLogEntry& e) { return e.kind == kind; }));
}

void SimulatedController::PressKey(MachineKey key) { m_latchedKeys |= KeyBit(key); }

void SimulatedController::HoldKey(MachineKey key, bool held)
{
    m_heldKeys = static_cast<uint8_t>(held ? m_heldKeys | KeyBit(key) : m_heldKeys & ~KeyBit(key));
}

void SimulatedController::SetWireBroken(bool broken) { m_wireBroken = broken; }

// ---- time ----

void SimulatedController::Advance()
{
    const double now = static_cast<double>(m_clock.NowMs());
    if (m_eraseDoneAt >= 0 && now >= static_cast<double>(m_eraseDoneAt)) {
        std::fill(m_flash.begin(), m_flash.end(), 0xFFFF);
        m_eraseDoneAt = -1;
    }
    for (;;) {
        if (m_moving) {
            const double end = m_motion.startMs + m_motion.durationMs;
            if (end > now) {
                SetCounters(now);
                return;
            }
            const bool jobMove = m_motion.kind == MotionKind::Job;
            FinishMotion();
            if (jobMove)
                RunJob(end);
            continue;
        }
        if (m_dwellUntil >= 0) {
            if (m_dwellUntil > now)
                return;
            const double end = m_dwellUntil;
            m_dwellUntil = -1;
            RunJob(end);
            continue;
        }
        return;
    }
}

void SimulatedController::SetCounters(double atMs)
{
    const double f = m_motion.durationMs <= 0 ? 1.0 : std::clamp((atMs - m_motion.startMs) / m_motion.durationMs, 0.0, 1.0);
    for (int i = 0; i < kAxes; ++i) {
        const auto a = static_cast<size_t>(i);
        m_counters[a] = Saturate(m_motion.from[a] + std::llround(static_cast<double>(m_motion.delta[a]) * f));
    }
}

double SimulatedController::Resolution(int axis) const
{
    const bool remapped = m_setup.modelCode == "Jy";
    switch (axis) {
    case 0: return m_setup.stepsPerUnitX;
    case 1: return m_setup.stepsPerUnitY;
    case 3: return m_setup.sideStepsPerUnitX;
    case 4: return remapped ? m_setup.sideStepsPerUnitX : m_setup.stepsPerUnitX;
    case 5: return remapped ? m_setup.sideStepsPerUnitY : m_setup.stepsPerUnitY;
    case 6: return m_setup.sideStepsPerUnitY;
    default: return 1.0;  // rotary axes: steps
    }
}

int64_t SimulatedController::LimitSteps(int axis) const
{
    const bool remapped = m_setup.modelCode == "Jy";
    auto steps = [&](int32_t mm) { return std::max<int64_t>(1, std::llround(mm * 100.0 * Resolution(axis))); };
    switch (axis) {
    case 0: return steps(m_setup.frontLimitX);
    case 1: return steps(m_setup.frontLimitY);
    case 4: return steps(remapped ? m_setup.sideLimitX : m_setup.frontLimitX);
    case 5: return steps(remapped ? m_setup.sideLimitY : m_setup.frontLimitY);
    case 3: return remapped ? 0 : steps(m_setup.sideLimitX);
    case 6: return remapped ? 0 : steps(m_setup.sideLimitY);
    default: return 0;
    }
}

void SimulatedController::StartMotion(MotionKind kind, const std::array<int64_t, kAxes>& delta, double durationMs,
                                      double atMs)
{
    Motion m;
    m.kind = kind;
    m.from = m_counters;
    m.delta = delta;
    m.startMs = atMs;
    m.durationMs = std::max(0.0, durationMs);
    if (m_homed && kind != MotionKind::Homing) {
        // The share of the move that stays inside the travel of every axis.
        double share = 1.0;
        for (int i = 0; i < kAxes; ++i) {
            const auto a = static_cast<size_t>(i);
            const int64_t limit = LimitSteps(i);
            if (limit == 0 || delta[a] == 0)
                continue;
            const int64_t to = m.from[a] + delta[a];
            const int64_t bound = to < 0 ? 0 : to > limit ? limit : to;
            if (bound != to)
                share = std::min(share, std::max(0.0, static_cast<double>(bound - m.from[a]) / static_cast<double>(delta[a])));
        }
        if (share < 1.0) {
            for (auto& d : m.delta)
                d = std::llround(static_cast<double>(d) * share);
            m.durationMs *= share;
            m.stopsAtLimit = true;
        }
    }
    m_motion = m;
    m_moving = true;
    if (m_motion.durationMs <= 0)
        FinishMotion();
}

void SimulatedController::FinishMotion()
{
    SetCounters(m_motion.startMs + m_motion.durationMs);
    m_moving = false;
    if (m_motion.kind == MotionKind::Homing)
        m_homed = true;
    if (m_motion.stopsAtLimit) {
        Note(SimEvent::TravelLimit, "move stopped at the end of travel");
        if (m_motion.kind == MotionKind::Job)
            ClearJob();
    }
}

void SimulatedController::StopMotionNow(double atMs)
{
    SetCounters(atMs);
    m_moving = false;
}

// ---- the job ----

void SimulatedController::RunJob(double atMs)
{
    while (m_job == JobState::Running && !m_moving && m_dwellUntil < 0) {
        if (m_next >= m_memory.size()) {
            m_job = JobState::Ended;
            return;
        }
        const Command c = m_memory[m_next++];
        Execute(c.bytes, true, atMs);
    }
}

void SimulatedController::Store(const std::array<uint8_t, 16>& c)
{
    if (Unexecuted() >= m_setup.jobMemory) {
        Note(SimEvent::Overrun, "job memory full: '" + Letter(c[0]) + "' lost");
        return;
    }
    if (m_memory.size() >= m_setup.jobMemory) {
        m_memory.pop_front();
        --m_next;
        m_keptWhole = false;
    }
    m_memory.push_back({c});
    const double now = static_cast<double>(m_clock.NowMs());
    if (m_job == JobState::None) {
        m_job = JobState::Loaded;
    } else if (m_job == JobState::Ended) {
        Note(SimEvent::Starvation, "job memory ran empty before the job's end");
        m_job = JobState::Running;
        RunJob(now);
    }
}

void SimulatedController::ClearJob()
{
    if (m_moving && m_motion.kind == MotionKind::Job)
        StopMotionNow(static_cast<double>(m_clock.NowMs()));
    m_memory.clear();
    m_next = 0;
    m_keptWhole = true;
    m_job = JobState::None;
    m_dwellUntil = -1;
    m_jobMove = MoveBuilder();
    m_pausedInMove = false;
    m_pausedDwellMs = 0;
}

// ---- commands ----

void SimulatedController::OutputReport(const std::array<uint8_t, 16>& payload)
{
    m_reports.push_back(payload);
    if (!m_onBus)
        return;
    Advance();
    if (payload[0] >= 'a' && payload[0] <= 'z')
        Store(payload);
    else
        Execute(payload, false, static_cast<double>(m_clock.NowMs()));
}

void SimulatedController::MoveRecord(const std::array<uint8_t, 16>& c, bool fromJob, double atMs)
{
    MoveBuilder& b = fromJob ? m_jobMove : m_manualMove;
    const uint8_t id = c[1];
    const int32_t value = Int32At(c, 2);
    if (id == 0xFF) {
        b = MoveBuilder();
        b.open = true;
    } else if (id < kAxes) {
        if (b.open)
            b.delta[id] += value;
    } else if (id == 0xFE) {
        if (!b.open)
            return;
        b.open = false;
        if (!fromJob && (m_job == JobState::Running || m_moving)) {
            Note(SimEvent::MoveRefused, "manual move while the machine is busy");
            return;
        }
        m_heavyNext = false;
        StartMotion(fromJob ? MotionKind::Job : MotionKind::Manual, b.delta,
                    static_cast<double>(value) * m_slotPeriod[m_slot] * kPeriodMs, atMs);
    } else {
        Note(SimEvent::UnknownCommand, "move record id " + std::to_string(id));
    }
}

void SimulatedController::Execute(const std::array<uint8_t, 16>& c, bool fromJob, double atMs)
{
    const bool lower = c[0] >= 'a' && c[0] <= 'z';
    const char letter = static_cast<char>(lower ? c[0] - ('a' - 'A') : c[0]);
    auto unknown = [&] { Note(SimEvent::UnknownCommand, "command '" + Letter(c[0]) + "'"); };
    // Letters that only mean something at once, or only inside a job.
    const std::string immediateOnly = "BCGKQUXY";
    if ((lower && immediateOnly.find(letter) != std::string::npos) || (!lower && letter == 'P'))
        return unknown();
    switch (letter) {
    case 'A': MoveRecord(c, fromJob, atMs); return;
    case 'B': {
        if (m_job == JobState::Running || m_moving) {
            Note(SimEvent::MoveRefused, "homing while the machine is busy");
            return;
        }
        std::array<int64_t, kAxes> delta{};
        int64_t longest = 0;
        for (int i = 0; i < kAxes; ++i)
            if (c[1] & (1u << i)) {
                delta[static_cast<size_t>(i)] = -static_cast<int64_t>(m_counters[static_cast<size_t>(i)]);
                longest = std::max(longest, std::abs(delta[static_cast<size_t>(i)]));
            }
        StartMotion(MotionKind::Homing, delta,
                    std::max<double>(kHomingLeastMs, static_cast<double>(longest) * m_slotPeriod[2] * kPeriodMs), atMs);
        return;
    }
    case 'C': ClearJob(); return;
    case 'F':
        if (c[1] < 4)
            m_slot = c[1];
        else
            unknown();
        return;
    case 'G':
        if (m_job == JobState::Loaded || m_job == JobState::Held) {
            m_job = JobState::Running;
        } else if (m_job == JobState::Ended) {
            if (!m_keptWhole || m_memory.empty()) {
                Note(SimEvent::RerunRefused, "the job is no longer held whole");
                return;
            }
            m_next = 0;
            m_jobMove = MoveBuilder();
            m_job = JobState::Running;
        }
        RunJob(atMs);
        return;
    case 'K': {
        if (m_job != JobState::Paused || m_moving) {
            Note(SimEvent::ResumeRefused, "nothing paused to continue");
            return;
        }
        for (int i = 0; i < kAxes; ++i) {
            const auto a = static_cast<size_t>(i);
            const double tolerance = std::max(1.0, Resolution(i));
            if (std::abs(static_cast<double>(m_counters[a]) - m_pausedAt[a]) > tolerance) {
                Note(SimEvent::ResumeRefused, "axis " + std::to_string(i) + " is not at the paused position");
                return;
            }
        }
        m_job = JobState::Running;
        if (m_pausedInMove) {
            std::array<int64_t, kAxes> rest{};
            for (size_t a = 0; a < kAxes; ++a)
                rest[a] = static_cast<int64_t>(m_pausedTarget[a]) - m_counters[a];
            m_pausedInMove = false;
            StartMotion(MotionKind::Job, rest, m_pausedRestMs, atMs);
        } else if (m_pausedDwellMs > 0) {
            m_dwellUntil = atMs + m_pausedDwellMs;
            m_pausedDwellMs = 0;
        }
        RunJob(atMs);
        return;
    }
    case 'P':
        if (c[1] > 0)
            m_dwellUntil = atMs + c[1];
        return;
    case 'Q':
        if (m_job != JobState::Running)
            return;
        m_pausedInMove = m_moving && m_motion.kind == MotionKind::Job;
        if (m_pausedInMove) {
            StopMotionNow(atMs);
            for (size_t a = 0; a < kAxes; ++a)
                m_pausedTarget[a] = Saturate(m_motion.from[a] + m_motion.delta[a]);
            m_pausedRestMs = m_motion.startMs + m_motion.durationMs - atMs;
        }
        if (m_dwellUntil >= 0) {
            m_pausedDwellMs = m_dwellUntil - atMs;
            m_dwellUntil = -1;
        }
        m_pausedAt = m_counters;
        m_job = JobState::Paused;
        return;
    case 'R':
        if (c[2] >= 8)
            return unknown();
        m_channel = Routed(c[2]);
        m_heaterOn = c[1] != 0;
        return;
    case 'S': break;
    case 'T':
        if (c[1] >= 8)
            return unknown();
        m_channel = Routed(c[1]);
        m_power[m_channel] = c[2];
        return;
    case 'U':
        if (m_moving)
            StopMotionNow(atMs);
        m_counters[0] = m_counters[4] = Int32At(c, 1);
        m_counters[1] = m_counters[5] = Int32At(c, 5);
        return;
    case 'V':
        if (c[1] < 4)
            m_slotPeriod[c[1]] = WordAt(c, 2);
        else
            unknown();
        return;
    case 'X': ++m_hellos; return;
    case 'Y':
        if (m_moving && m_motion.kind != MotionKind::Job)
            StopMotionNow(atMs);
        m_manualMove = MoveBuilder();
        m_latchedKeys = 0;
        return;
    default: return unknown();
    }

    // "S" and its sub-codes.
    const int32_t arg = Int32At(c, 2);
    switch (c[1]) {
    case 2: m_heavyNext = arg != 0; return;
    case 3:
        if (fromJob)
            m_job = JobState::Held;
        return;
    case 4:
        m_output = arg;
        m_channel = Routed(m_channel);
        return;
    case 6: m_unit = arg; return;
    case 7: m_tension = arg; return;
    case 8: m_flashPointer = static_cast<int64_t>(static_cast<uint32_t>(arg)) - kFlashBase; return;
    case 9: m_eraseDoneAt = m_clock.NowMs() + m_setup.eraseMs; return;
    case 10:
        if (m_eraseDoneAt >= 0 || m_flashPointer < 0 || m_flashPointer >= static_cast<int64_t>(kFlashWords)) {
            Note(SimEvent::FlashRefused, "program word not written");
        } else {
            m_flash[static_cast<size_t>(m_flashPointer)] &= static_cast<uint16_t>(arg);
        }
        ++m_flashPointer;
        return;
    case 11: Reset(); return;
    case 13: m_parameters[c[2]] = c[3]; return;
    default: Note(SimEvent::UnknownCommand, "S sub-code " + std::to_string(c[1])); return;
    }
}

void SimulatedController::Reset()
{
    Note(SimEvent::Reset, "controller reset");
    ClearJob();
    m_moving = false;
    m_homed = false;
    m_counters.fill(0);
    m_heaterOn = false;
    m_slot = 0;
    m_latchedKeys = 0;
    m_manualMove = MoveBuilder();
    m_onBus = false;
    if (m_busPresence)
        m_busPresence(false);
    m_backAtMs = m_clock.NowMs() + m_setup.resetMs;
    m_resetTimer = m_clock.Schedule(m_setup.resetMs, [this] { ReturnIfDue(); });
}

void SimulatedController::ReturnIfDue()
{
    if (m_onBus || m_clock.NowMs() < m_backAtMs)
        return;
    if (m_resetTimer)
        m_clock.Cancel(m_resetTimer);
    m_resetTimer = 0;
    m_onBus = true;
    if (m_busPresence)
        m_busPresence(true);
}

// ---- replies ----

uint8_t SimulatedController::Routed(uint8_t channel) const
{
    if (channel != 2 && channel != 4)
        return channel;
    return m_output == 5 ? 4 : 2;
}

uint32_t SimulatedController::Status()
{
    Advance();
    uint32_t s = 0;
    const bool job = m_job == JobState::Loaded || m_job == JobState::Running || m_job == JobState::Held;
    const bool heating = m_heaterOn;
    s |= m_moving ? 0x01u : 0u;
    s |= job ? 0x02u : 0u;
    s |= heating ? 0x04u : 0u;
    s |= m_job == JobState::Paused ? 0x40u : 0u;
    const uint32_t byte1 = (FreeSlots() < 100 ? 0x02u : 0u) | m_latchedKeys | m_heldKeys;
    s |= byte1 << 8;
    uint32_t byte2 = m_homed ? 0x04u : 0u;
    byte2 |= m_wireBroken ? 0x08u : 0u;
    byte2 |= (m_job == JobState::Loaded || m_job == JobState::Held) ? 0x10u : 0u;
    s |= byte2 << 16;
    return s;
}

int32_t SimulatedController::Counter(int axis)
{
    Advance();
    return m_counters[static_cast<size_t>(axis)];
}

size_t SimulatedController::FreeSlots()
{
    Advance();
    return m_setup.jobMemory - std::min(m_setup.jobMemory, Unexecuted());
}

std::vector<uint8_t> SimulatedController::Reply(int index)
{
    std::vector<uint8_t> r(130, 0);
    switch (index) {
    case 10: {
        const uint32_t status = Status();
        r[1] = ++m_polls;
        Put(r, 2, status, 4);
        for (size_t a = 0; a < kAxes; ++a)
            Put(r, 6 + 4 * a, static_cast<uint32_t>(m_counters[a]), 4);
        break;
    }
    case 12:
        r[0] = m_slot;
        for (size_t i = 0; i < 4; ++i)
            Put(r, 2 + 2 * i, m_slotPeriod[i], 2);
        break;
    case 13: {
        r[0] = m_channel;
        for (size_t ch = 0; ch < 8; ++ch)
            Put(r, 2 + 4 * ch, m_power[ch], 4);
        const bool heats = m_heaterOn && !m_wireBroken;
        Put(r, 34, heats ? m_power[m_channel] : 0, 2);
        break;
    }
    case 14:
        Put(r, 2, static_cast<uint32_t>(m_setup.frontLimitX), 4);
        Put(r, 6, static_cast<uint32_t>(m_setup.frontLimitY), 4);
        Put(r, 14, static_cast<uint32_t>(m_setup.counter1), 4);
        Put(r, 18, static_cast<uint32_t>(m_setup.counter2), 4);
        Put(r, 22, static_cast<uint32_t>(m_setup.sideLimitX), 4);
        Put(r, 26, static_cast<uint32_t>(m_setup.sideLimitY), 4);
        break;
    case 15:
        Put(r, 6, static_cast<uint64_t>(FixedPoint(m_setup.stepsPerUnitX)), 8);
        Put(r, 14, static_cast<uint64_t>(FixedPoint(m_setup.stepsPerUnitY)), 8);
        Put(r, 22, static_cast<uint64_t>(FixedPoint(m_setup.stepsPerUnitZ)), 8);
        for (size_t i = 0; i < 3; ++i)
            Put(r, 30 + 8 * i, static_cast<uint32_t>(m_setup.stepsPerTurn[i]), 4);
        Put(r, 54, static_cast<uint32_t>(m_setup.machineWidth), 4);
        Put(r, 62, static_cast<uint64_t>(FixedPoint(m_setup.sideStepsPerUnitX)), 8);
        Put(r, 70, static_cast<uint64_t>(FixedPoint(m_setup.sideStepsPerUnitY)), 8);
        break;
    case 16:
        Put(r, 2, static_cast<uint32_t>(m_tension), 4);
        Put(r, 6, static_cast<uint32_t>(m_wireBroken ? 0 : m_tension), 4);
        break;
    case 17: {
        r[0] = m_setup.firmwareMajor;
        r[1] = m_setup.firmwareMinor;
        const bool inside = m_flashPointer >= 0 && m_flashPointer < static_cast<int64_t>(kFlashWords);
        Put(r, 6, inside ? m_flash[static_cast<size_t>(m_flashPointer)] : 0, 2);
        ++m_flashPointer;
        break;
    }
    default: return {};
    }
    return r;
}

bool SimulatedController::StringDescriptor(int index, std::vector<uint8_t>& body)
{
    if (!m_onBus)
        return false;
    Advance();
    switch (index) {
    case 0: body = {0x09, 0x04}; return true;
    case 1: body = Utf16("Dravinor"); return true;
    case 2: body = Utf16(m_setup.product); return true;
    case 3: body = Utf16(m_setup.serial); return true;
    default: break;
    }
    body = Reply(index);
    return !body.empty();
}
