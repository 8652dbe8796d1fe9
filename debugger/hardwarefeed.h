#pragma once
// The virtual hardware fed from the target: the one road from the target's
// ports and external data to the shown virtual-hardware windows. The port
// bytes reach the receivers as port accesses (the simulator sends none for
// a program's port writes); a display wired to an external-data address
// shows the byte there (a program's MOVX writes send no message either).

#include <cstdint>
#include <span>

#include "vhw/parts.h"

namespace dorvik {

// Feeds the shown receivers while the port views may read the target: the
// main processor's port bytes when SendPorts (the views were refreshed or a
// port changed since the last feed), and each of Displays wired to external
// data the byte there, read without the bus cycle, at a feed and during a
// run on the simulator. Nothing while no receiver is shown, nothing is due,
// or the target may not be read. True when it fed: the caller's ports are sent.
bool FeedVirtualHardware(bool sendPorts, std::span<vhw::ByteDisplay* const> displays);

}  // namespace dorvik
