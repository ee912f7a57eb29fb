#pragma once

#include "link/PortSettings.h"

#include <string>

// A port settings record as one line: name, baud rate, data bits, stop-bit code and parity code,
// such as "COM2 9600 8 0 0", so that a test compares the whole record at once and sees what
// differs.
inline std::string SettingsLine(const PortSettings& s) {
    return s.sPortName.toStdString() + ' ' + std::to_string(s.nBaudRate) + ' ' +
           std::to_string(s.nDataBits) + ' ' + std::to_string(s.nStopBits) + ' ' +
           std::to_string(s.nParity);
}
