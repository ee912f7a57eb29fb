#pragma once

#include "platform/PortProblem.h"

#include <QString>

// What the user reads about a port, wherever it is shown: which device, what stands in the way
// and what to do about it, in a sentence or two.
QString PortReportText(const PortReport& report);
