#include "machine/Joystick.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/joystick.h>
#include <unistd.h>

uint32_t JoystickAxisValue(int16_t value)
{
    // -32767 maps to 0 and 32767 to 65535; the kernel may also report -32768.
    const int32_t v = std::max<int32_t>(value, -32767);
    return static_cast<uint32_t>((static_cast<int64_t>(v + 32767) * 65535 + 32767) / 65534);
}

LinuxJoystick::LinuxJoystick(QString device) : m_device(std::move(device)) {}

LinuxJoystick::~LinuxJoystick() { Close(); }

void LinuxJoystick::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_position = JoystickPosition();
}

bool LinuxJoystick::Read(JoystickPosition& position)
{
    if (m_fd < 0) {
        m_fd = ::open(m_device.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return false;
    }
    for (;;) {
        js_event event{};
        const ssize_t n = ::read(m_fd, &event, sizeof event);
        if (n == static_cast<ssize_t>(sizeof event)) {
            // The events that open the device give the state it is in.
            const uint8_t type = event.type & static_cast<uint8_t>(~JS_EVENT_INIT);
            if (type == JS_EVENT_AXIS) {
                uint32_t* axes[] = {&m_position.x, &m_position.y, &m_position.z};
                if (event.number < 3)
                    *axes[event.number] = JoystickAxisValue(event.value);
            } else if (type == JS_EVENT_BUTTON && event.number < 4) {
                const uint32_t bit = 1u << event.number;
                m_position.buttons = event.value ? m_position.buttons | bit : m_position.buttons & ~bit;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;  // every event taken
        // Unplugged (ENODEV), the end of the stream, or a torn event: gone.
        Close();
        return false;
    }
    position = m_position;
    return true;
}
