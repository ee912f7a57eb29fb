#pragma once

// USB-serial adapters hold received bytes for up to 16 ms before handing them on, which delays
// every unit's answer by as much. Asks the driver of the open terminal fd to hand bytes on at
// once, changing nothing else of its serial settings. True when the driver took the request; a
// driver without these settings (a pseudo-terminal, some adapters) refuses it, and nothing else
// happens then.
bool RequestLowLatency(int fd);
