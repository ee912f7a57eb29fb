#pragma once

#include <QString>

#include <cstdint>

// The port settings record: which port the dongle hangs on and how its line is set. Only the port
// name and the baud rate are kept in "Option.xml"; the rest always starts at these values.
struct PortSettings {
    QString sPortName = QStringLiteral("COM2");
    std::int32_t nBaudRate = 9600;
    std::uint8_t nDataBits = 8;
    std::uint8_t nStopBits = 0;  // 0 one, 1 one and a half, 2 two
    std::uint8_t nParity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
};
