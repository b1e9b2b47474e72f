#pragma once
#include "app/Settings.h"
#include "machine/Machine.h"

#include <cstdint>
#include <functional>

class ControlPanel;

// Key codes the panel works with (the virtual-key numbers of the keyboard
// the machine's keys were laid out for).
namespace PanelKey {
constexpr int Ctrl = 17, PageUp = 33, PageDown = 34, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40,
              Insert = 45, E = 69, Pad0 = 96, Pad1 = 97, Pad5 = 101, Pad9 = 105, PadPlus = 107, PadMinus = 109,
              F12 = 123, Comma = 188, FullStop = 190;
}

// The panel's code of a Qt key (Qt::Key); `keypad` is Qt's keypad modifier,
// which tells the keypad's digits and signs from the main keyboard's. 0 for a
// key the panel has no code for.
int PanelKeyCode(int qtKey, bool keypad);

struct KeyShift {
    bool shift = false, alt = false, ctrl = false;
};

// The twelve direction buttons of the panel.
enum class JogButton { kul, ku, kur, kl, kr, kdl, kd, kdr, kwu, kwd, ksl, ksr };

// What the operator's input needs of the panel's window.
struct PanelInputWindow {
    // No control keeps the keyboard focus (the keys are the panel's).
    std::function<void()> clearFocus;
    // Alt+E and Ctrl+Shift+Alt+F12: the firmware and the service panels.
    std::function<void()> toggleUpgradePanel;
    std::function<void()> toggleServicePanel;
    // The move window and the base points, modal.
    std::function<void()> showMoveWindow;
    std::function<void()> showBasePoints;
};

// The panel's keyboard and mouse: which key or button jogs what, the speed
// keys and the heater key. A jog runs from its press to its release and is
// then stopped with "Y"; one jog at a time, whether a key or a button started
// it. Auto-repeated releases change nothing, auto-repeated presses step the
// speed only. The jog is also
// stopped when the panel loses the focus, and when a wait that drops input
// took its release, so no lost release leaves the wire travelling to the end.
// While a job works, the jog keys and the heater key do nothing, as their
// buttons stand disabled.
class PanelInput {
public:
    // How often a running jog looks whether a wait dropped its release.
    static constexpr int kReleaseCheckMs = 50;

    PanelInput(Machine& machine, const TDlgkonfigModel& settings, ControlPanel& panel);
    ~PanelInput();
    PanelInput(const PanelInput&) = delete;
    PanelInput& operator=(const PanelInput&) = delete;

    void SetWindow(PanelInputWindow window) { m_window = std::move(window); }

    // A key went down or up. True when the key is one of the panel's: the
    // window then keeps it from its controls.
    bool KeyDown(int key, KeyShift shift, bool autoRepeat);
    bool KeyUp(int key, KeyShift shift, bool autoRepeat);
    // A direction button pressed (`leftAlone`: the left mouse button and no
    // other) and released.
    void ButtonDown(JogButton button, bool leftAlone);
    void ButtonUp(JogButton button);
    // The panel lost the focus, was hidden or closed: a jog ends, a held Ctrl
    // gives its speed back.
    void FocusLost();
    // The panel became the active window (after its model's activation).
    void Activated();

    void keyprzesunClick();
    void BaseClick();

    bool Jogging() const { return m_jogging; }
    // The speed position Ctrl saved and gives back on its release.
    int SavedSpeedPosition() const { return m_savedSpeedPosition; }

private:
    // `sideAllowed`: the key goes to the side carriage when it is selected.
    void StartJog(int16_t key, bool sideAllowed);
    void EndJog();
    void CheckRelease();
    void SpeedStep(int sign);
    void SlowSpeed(bool slow);
    void ClearFocus();

    Machine& m_machine;
    const TDlgkonfigModel& m_settings;
    ControlPanel& m_panel;
    PanelInputWindow m_window;
    bool m_jogging = false;
    // The releases the waits had dropped when the jog started.
    uint64_t m_releaseMark = 0;
    int m_checkTimer = 0;
    bool m_ctrlHeld = false;
    int m_savedSpeedPosition = 100;
};
