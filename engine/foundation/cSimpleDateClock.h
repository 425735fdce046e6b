// The clock that today's date (cSimpleDate's default constructor) is read from: the system's local
// date, unless another is set. Lets a check move the date while a reader runs.
#pragma once

#include "engine/foundation/cSimpleDate.h"

namespace simpledateclock {

// A function answering today's date; it must not make a cSimpleDate of today itself.
using Clock = cSimpleDate (*)();
// nullptr: the system's local date again.
void setClock(Clock clock);

}  // namespace simpledateclock
