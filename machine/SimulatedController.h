#pragma once
#include "machine/HidBus.h"
#include "machine/MachineClock.h"

#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// A cutter's controller in software, as it answers on a HID bus: tests talk
// to it through a link, and the program can attach it instead of a machine.
// It moves on the clock it is given, working out its state from the clock's
// time whenever it is asked (a virtual clock makes every test exact).
//
// What the controller does, where the program leaves it open:
// - Identity: manufacturer "Dravinor", a product string beginning with the
//   model code, a serial number; the firmware version is the device version
//   (major in the high byte) and the first two bytes of reply 17.
// - One command per 16-byte report, decoded by its letter (and the sub-code
//   of "S"); only the fields of the command are read, the bytes after them are
//   whatever an earlier report left and are ignored. Every report is kept.
//   Fields: "A"/"a" id, int32; "B" mask; "F"/"f" slot; "K", "Q", "C", "G",
//   "X", "Y" none; "R"/"r" state, channel; "T"/"t" channel, power;
//   "U" int32 x, int32 y; "V"/"v" slot, uint16 period; "p" count;
//   "S"/"s" sub-code, then int32 (2, 3, 4, 6, 7, 8, 10), nothing (9, 11) or
//   two bytes (13). Unknown letters and sub-codes are logged and ignored.
// - Lower-case letters go into the job memory (JobMemory slots, one per
//   command), upper-case ones act at once. The buffer-full bit is set while
//   fewer than 100 slots are free; a command arriving with no free slot is an
//   overrun (logged, dropped). Executed commands stay in the memory until
//   their slot is needed, so a job that fitted whole can run again.
// - A loaded job (job bit and waits-for-"G" bit) starts with "G". "s", 3
//   holds it until the next "G". A running job that runs out of commands has
//   ended; commands that arrive after that, with no "C" between, are
//   starvation (logged; the job goes on with them). "G" after the end runs a
//   job held whole again, else it is logged and nothing runs. "Q" stops the
//   job within its move and sets the paused bit (job bit clear); "K" goes on
//   with the rest of the move and the job only when every axis is back at the
//   paused position (within 0.01 mm or one step), else it is logged and the
//   job stays paused. "C" clears the job memory and ends any job.
// - Speed slots 0..3 hold 16-bit step periods ("V", "v"); "F", "f" select
//   the slot the following moves run at. A move lasts its end record's length
//   times its slot's period in units of 0.8 us, so D mm at S mm/min take D/S
//   minutes as the program computes them. The step counters follow the move
//   linearly. "U" sets the counters of the front and back carriages (axes 0,
//   4 to x; 1, 5 to y). "B" homes the axes of its mask (to counter 0, at the
//   period of slot 2, at least half a second) and sets the homed bit.
// - Once homed, the linear axes travel from 0 to the machine's limits; a
//   move that would leave them stops at the limit and is logged (a job so
//   stopped is cleared). "Y" stops manual moves and homing, never the job.
// - Heater per channel 0..7 ("R" on/off, "T" power in tenths of an ampere;
//   either selects the channel); the measured current is the selected
//   channel's power while it heats an unbroken wire. The manual heater feeds
//   the wire the power output ("S", 4) selects: channel 2 or 4 selects, and
//   is reported as, 4 (the side wire) under output 5 and 2 (the front wire)
//   under any other, and a new output moves a manual channel along. "S", 6
//   unit, "S", 7 tension (measured as set, 0 with a broken wire), "p" dwells
//   of count milliseconds. The broken-wire flag and the machine's START,
//   STOP and CONTINUE keys are set from outside: a pressed key stays latched
//   until "Y", a held key shows as long as it is held.
// - Replies (string descriptors, 130 bytes): 10 status (offset 1 a poll
//   counter, unlike byte 1 of the status word at offset 3), 12 speed slots
//   (five words: slots 0..3 and 0), 13 heater, 14 machine information, 15
//   resolutions, 16 tension, 17 firmware. Words are raw: 0x0000 and
//   0xD800..0xDFFF come through as they are. 0..3 are the USB strings.
// - Flash: 65,537 program words from address 0x02000000. "S", 8 sets the
//   pointer (in words from that address); each reply 17 gives the word at it
//   in bytes 6..7 (8..9 zero) and advances; "S", 10 writes the next word,
//   clearing bits only (an erase sets them); "S", 9 erases the whole memory,
//   taking EraseMs (writes meanwhile are logged and lost). "S", 11 resets the
//   controller: it leaves the bus at once and returns after ResetMs, with its
//   job, motion, heater and homing gone. "S", 13 address, value fills one of
//   256 parameter bytes.
struct SimulatedMachineSetup {
    QString modelCode = "Ky";
    QString product;  // empty: the model code and "100"
    QString serial = "SIM0001";
    uint8_t firmwareMajor = 2, firmwareMinor = 2;
    size_t jobMemory = 512;
    // Steps per 0.01 mm and steps per turn, as the resolution reply gives them.
    double stepsPerUnitX = 1.0, stepsPerUnitY = 1.0, stepsPerUnitZ = 1.0;
    double sideStepsPerUnitX = 1.0, sideStepsPerUnitY = 1.0;
    int32_t stepsPerTurn[3] = {8000, 8000, 8000};
    int32_t machineWidth = 600;
    // Travel in mm.
    int32_t frontLimitX = 1200, frontLimitY = 600, sideLimitX = 1200, sideLimitY = 600;
    int32_t counter1 = 0, counter2 = 0;
    int eraseMs = 10000;
    int resetMs = 3000;
};

enum class SimEvent {
    UnknownCommand,
    Overrun,
    Starvation,
    TravelLimit,
    ResumeRefused,
    RerunRefused,
    MoveRefused,  // a manual move while the job runs or another move is going
    FlashRefused, // a flash write during an erase or beyond the memory
    Reset,
};

struct SimLogEntry {
    SimEvent kind;
    int64_t atMs;
    std::string text;
};

enum class MachineKey { Start, Stop, Continue };

class SimulatedController : public EmulatedHidDevice {
public:
    static constexpr int kAxes = 8;
    static constexpr size_t kFlashWords = 65537;
    static constexpr uint32_t kFlashBase = 0x02000000;

    explicit SimulatedController(MachineClock& clock, SimulatedMachineSetup setup = {});
    ~SimulatedController() override;

    void OutputReport(const std::array<uint8_t, 16>& payload) override;
    bool StringDescriptor(int index, std::vector<uint8_t>& body) override;

    MachineClock& Clock() const { return m_clock; }
    // The interface as a bus lists it.
    HidDeviceInfo DeviceInfo() const;
    // The bus is told when the controller leaves it (a reset) and comes back.
    void SetBusPresence(std::function<void(bool present)> hook) { m_busPresence = std::move(hook); }
    bool OnBus() const { return m_onBus; }
    // Back on the bus once the time of a reset has passed, whether or not the
    // clock has run its timer yet: a controller comes back on its own, while
    // the program may be blocked in a sleep.
    void ReturnIfDue();

    // The machine's own keys and the wire.
    void PressKey(MachineKey key);
    void HoldKey(MachineKey key, bool held);
    void SetWireBroken(bool broken);

    // What happened, as the controller saw it.
    const std::vector<std::array<uint8_t, 16>>& Reports() const { return m_reports; }
    const std::vector<SimLogEntry>& Log() const { return m_log; }
    int Count(SimEvent kind) const;
    uint32_t Status();
    int32_t Counter(int axis);
    size_t FreeSlots();
    uint16_t FlashWord(size_t index) const { return m_flash[index]; }
    uint8_t Parameter(uint8_t address) const { return m_parameters[address]; }
    uint16_t SlotPeriod(int slot) const { return m_slotPeriod[static_cast<size_t>(slot)]; }
    int Hellos() const { return m_hellos; }
    int32_t PowerOutput() const { return m_output; }

private:
    struct Command {
        std::array<uint8_t, 16> bytes;
    };
    enum class JobState { None, Loaded, Running, Held, Paused, Ended };
    enum class MotionKind { Manual, Homing, Job };
    struct Motion {
        MotionKind kind = MotionKind::Manual;
        std::array<int32_t, kAxes> from{};
        std::array<int64_t, kAxes> delta{};
        double startMs = 0, durationMs = 0;
        bool stopsAtLimit = false;
    };
    struct MoveBuilder {
        bool open = false;
        std::array<int64_t, kAxes> delta{};
    };

    void Advance();
    void RunJob(double atMs);
    void FinishMotion();
    void Execute(const std::array<uint8_t, 16>& c, bool fromJob, double atMs);
    void MoveRecord(const std::array<uint8_t, 16>& c, bool fromJob, double atMs);
    void StartMotion(MotionKind kind, const std::array<int64_t, kAxes>& delta, double durationMs, double atMs);
    void StopMotionNow(double atMs);
    void SetCounters(double atMs);
    void Store(const std::array<uint8_t, 16>& c);
    void ClearJob();
    void Reset();
    void Note(SimEvent kind, std::string text);
    std::vector<uint8_t> Reply(int index);
    double Resolution(int axis) const;
    int64_t LimitSteps(int axis) const;  // 0: no limit on the axis
    size_t Unexecuted() const { return m_memory.size() - m_next; }

    MachineClock& m_clock;
    SimulatedMachineSetup m_setup;
    std::function<void(bool)> m_busPresence;
    bool m_onBus = true;
    int m_resetTimer = 0;
    int64_t m_backAtMs = 0;

    std::vector<std::array<uint8_t, 16>> m_reports;
    std::vector<SimLogEntry> m_log;

    std::array<int32_t, kAxes> m_counters{};
    bool m_homed = false;
    bool m_moving = false;
    Motion m_motion;
    double m_dwellUntil = -1;  // a job dwell runs until then
    MoveBuilder m_manualMove, m_jobMove;

    std::deque<Command> m_memory;
    size_t m_next = 0;          // next command of the job to run
    bool m_keptWhole = true;    // no command of the job gave its slot away
    JobState m_job = JobState::None;
    std::array<int32_t, kAxes> m_pausedAt{};
    std::array<int32_t, kAxes> m_pausedTarget{};
    double m_pausedRestMs = 0;
    bool m_pausedInMove = false;
    double m_pausedDwellMs = 0;

    std::array<uint16_t, 4> m_slotPeriod{3750, 3750, 3750, 3750};
    uint8_t m_slot = 0;
    // One heater: "R" switches it and selects the channel whose power it
    // takes; the command files end a job with "r", 0, 2 whatever channel heated.
    // The manual channel (2 or 4) the power output routes `channel` to.
    uint8_t Routed(uint8_t channel) const;
    bool m_heaterOn = false;
    std::array<uint16_t, 8> m_power{};
    uint8_t m_channel = 0;
    int32_t m_output = 0, m_unit = 0, m_tension = 0;
    bool m_heavyNext = false;
    int m_hellos = 0;
    uint8_t m_latchedKeys = 0, m_heldKeys = 0;
    bool m_wireBroken = false;
    uint8_t m_polls = 0;

    std::vector<uint16_t> m_flash;
    int64_t m_flashPointer = 0;
    int64_t m_eraseDoneAt = -1;
    std::array<uint8_t, 256> m_parameters{};
};
