#pragma once

// Which setting of a unit changed: the wParam of the change messages that tell the views what to
// redraw. The event handler and the control panels use the same codes.
enum class ChangeCode : int {
    None = -1,        // nothing changed; the unit is only named
    FlashPower = 0,   // nFlashValue (and nModelValue when it came with it)
    PhotoCell = 1,    // bFlashCell
    Sound = 2,        // bFlashSnd
    FlashSwitch = 4,  // bFlashPow
    ModelPower = 5,   // nModelValue (and nFlashValue when it came with it)
    ModelMode1 = 6,   // nModelMode1
    ModelMode2 = 7,   // nModelMode2
    ModelSwitch = 8,  // bModelPow
    Charge = 9,       // bFlashCharge
    Heat = 10,        // nHeatLevel
};
