#include "platform/LowLatency.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

bool RequestLowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) {
        return false;
    }
    if (serial.flags & ASYNC_LOW_LATENCY) {
        return true;
    }
    // Written back as read, so that the driver sees only this flag change: a change of the
    // speed fields would make it set the line up again.
    serial.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
}
