#pragma once

#include "link/SentFrame.h"

// Hears of every change the program sends to units, once its frame was handed to the line. A
// frame that a newer one replaced while it waited is never told of: it never went out.
class CSendObserver {
public:
    // A setting, unit settings or power table frame, with the values it carried.
    virtual void OnFrameSent(const SentFrame& sent) = 0;

protected:
    ~CSendObserver() = default;
};
