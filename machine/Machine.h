#pragma once
#include "machine/ControllerLink.h"
#include "machine/MachineClock.h"
#include "machine/OperatorInput.h"

#include <cstdint>
#include <functional>
#include <optional>

// The resolution reply as the controller last gave it, before the switches and
// the calibration of the settings are applied to it.
struct ResolutionReading {
    double stepsPerUnitX = 1.0, stepsPerUnitY = 1.0, stepsPerUnitZ = 1.0;
    int32_t stepsPerTurn1 = 0, stepsPerTurn2 = 0, stepsPerTurn3 = 0;
    int32_t machineWidth = 0;
    double sideStepsPerUnitX = 1.0, sideStepsPerUnitY = 1.0;
};

// Everything that talks to the machine is handed one of these: the link to the
// controller, the clock its sleeps and waits run on, and the operator's input
// during those waits.
class Machine {
public:
    Machine(ControllerLink& link, MachineClock& clock, OperatorInput& input)
        : m_link(&link), m_clock(&clock), m_input(&input)
    {
    }
    ControllerLink& Link() const { return *m_link; }
    // Talks through another link from now on (the program's link is attached
    // once it exists).
    void SetLink(ControllerLink& link) { m_link = &link; }
    MachineClock& Clock() const { return *m_clock; }
    OperatorInput& Input() const { return *m_input; }
    // The machine is attached and answers.
    bool Connected() const { return m_link->MachineFound(); }

    // Whether the timers' ticks must do no machine work now, only come back
    // shortly: while another tick runs (a box it shows lets timers fire), or
    // while the program is inside a wait that takes the operator's input off
    // the queue (a job window plans, a machine wait polls), which the main
    // window answers.
    void SetTicksHeldOff(std::function<bool()> heldOff) { m_heldOff = std::move(heldOff); }
    bool TicksHeldOff() const { return m_ticks > 0 || WaitHoldsTicks(); }
    // Held off by a wait or a planner run (not only by another tick's box):
    // nothing may be sent in its middle.
    bool WaitHoldsTicks() const { return m_heldOff && m_heldOff(); }
    // Marks a tick that works on the machine for as long as it lives.
    class TickMark {
    public:
        explicit TickMark(Machine& machine) : m_machine(machine) { ++m_machine.m_ticks; }
        ~TickMark() { --m_machine.m_ticks; }
        TickMark(const TickMark&) = delete;
        TickMark& operator=(const TickMark&) = delete;

    private:
        Machine& m_machine;
    };

    // The busy cursor the windows show while the program waits on the machine
    // (homing, STOP, the moves to a position); nothing without windows.
    void SetBusyIndicator(std::function<void(bool busy)> busy) { m_busy = std::move(busy); }
    // Shows the busy cursor for as long as it lives.
    class BusyMark {
    public:
        explicit BusyMark(const Machine& machine) : m_machine(machine) { m_machine.ShowBusy(true); }
        ~BusyMark() { m_machine.ShowBusy(false); }
        BusyMark(const BusyMark&) = delete;
        BusyMark& operator=(const BusyMark&) = delete;

    private:
        const Machine& m_machine;
    };

    // One start of a cut at a time: a start waiting in its dialogs and waits
    // lets timers run, and a second start from a machine key, a restart or
    // the side cut's continuation would send its own "Q"/"C" over it.
    bool StartInProgress() const { return m_starting; }
    // Held by the start that runs; false when another start already runs.
    class StartMark {
    public:
        explicit StartMark(Machine& machine) : m_machine(machine), m_owns(!machine.m_starting)
        {
            m_machine.m_starting = true;
        }
        ~StartMark()
        {
            if (m_owns)
                m_machine.m_starting = false;
        }
        bool Owns() const { return m_owns; }
        StartMark(const StartMark&) = delete;
        StartMark& operator=(const StartMark&) = delete;

    private:
        Machine& m_machine;
        bool m_owns;
    };
    // The side cut of a transverse job follows the end of its front cut only
    // when the running job is that front cut: armed by its start, cleared by
    // any other start and by STOP, taken once by the end of the job.
    void ArmSideCut(bool armed) { m_sideCutArmed = armed; }
    bool TakeSideCut()
    {
        const bool armed = m_sideCutArmed;
        m_sideCutArmed = false;
        return armed;
    }

    // What the controller answered to the last resolution read that worked.
    std::optional<ResolutionReading> lastResolution;

private:
    void ShowBusy(bool busy) const
    {
        if (m_busy)
            m_busy(busy);
    }

    ControllerLink* m_link;
    MachineClock* m_clock;
    OperatorInput* m_input;
    std::function<bool()> m_heldOff;
    int m_ticks = 0;
    std::function<void(bool)> m_busy;
    bool m_starting = false;
    bool m_sideCutArmed = false;
};

// The link of a program that has no way to the machine: nothing is ever found.
class NoMachineLink : public ControllerLink {
public:
    bool MachineFound() override { return false; }
    int Write(const QByteArray&) override { return -1; }
    int ReadString(int) override
    {
        m_reply.fill(0);
        return -1;
    }
    const ReplyBlock& Reply() const override { return m_reply; }
    void SetLinkChanged(std::function<void(bool)>) override {}
    bool DeviceStrings(QString&, QString&, QString&) override { return false; }

private:
    ReplyBlock m_reply{};
};
