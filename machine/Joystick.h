#pragma once
#include <QString>
#include <cstdint>

// Where the joystick stands: the axes 0..65535 with the centre at 32768, the
// buttons as bits (button 0 is 1, button 1 is 2, button 2 is 4, button 3 is 8).
struct JoystickPosition {
    uint32_t x = 32768, y = 32768, z = 32768;
    uint32_t buttons = 0;
};

// The joystick the panel reads on its timer: tests script one.
class Joystick {
public:
    virtual ~Joystick() = default;
    // The joystick's position now, without waiting; false when there is no
    // joystick to read (none plugged, or it went away).
    virtual bool Read(JoystickPosition& position) = 0;
};

// The first joystick of the Linux joystick interface, opened when first read
// and again after it went away; its events are taken without blocking.
class LinuxJoystick : public Joystick {
public:
    explicit LinuxJoystick(QString device = QStringLiteral("/dev/input/js0"));
    ~LinuxJoystick() override;
    LinuxJoystick(const LinuxJoystick&) = delete;
    LinuxJoystick& operator=(const LinuxJoystick&) = delete;
    bool Read(JoystickPosition& position) override;

private:
    void Close();

    QString m_device;
    int m_fd = -1;
    JoystickPosition m_position;
};

// An axis of the Linux interface (-32767..32767) on the 0..65535 scale.
uint32_t JoystickAxisValue(int16_t value);
