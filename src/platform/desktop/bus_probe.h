#pragma once

#include <chrono>
#include <string>

namespace sorabune {

// Whether a D-Bus server takes part in the start of its handshake in time.
// Connecting through libdbus (and so QtDBus) waits without end for a server that
// accepts the connection but never answers, and QtDBus does it on the caller's
// thread; this asks first, with a bound, on whatever thread calls it.
enum class BusAnswer { Answers, Absent, Silent };

// The first unix transport of `address` (a D-Bus address such as
// "unix:path=/run/dbus/system_bus_socket"). Other transports are not probed: Answers.
// Blocks for at most about `limit`.
BusAnswer ProbeBus(const std::string &address, std::chrono::milliseconds limit);

// What libdbus connects to for the system bus.
std::string SystemBusAddress();

} // namespace sorabune
