// The program's data folder and the device paths of numbered serial ports.
//
// Data folder: $VANTREL_DATA_DIR when set and not empty, otherwise
// $XDG_STATE_HOME/vantrel, otherwise ~/.local/state/vantrel.
// Port n: <data folder>/ports/COM<n> when that entry exists (normally a
// symbolic link to a tty such as /dev/ttyUSB0 or a pseudo-terminal),
// otherwise /dev/ttyS<n-1>.
#pragma once

#include <string>

namespace vantrel {

// The data folder, created (with its parents) if it does not exist yet.
// Returns the path even when it cannot be created; opening files in it then fails.
std::string DataFolder();

// <data folder>/ports, created if needed.
std::string PortsFolder();

// Where the link for port n lives: <data folder>/ports/COM<n> (not created).
std::string PortLinkPath(int n);

// The device that "COM<n>" opens (see above).
std::string PortDevicePath(int n);

} // namespace vantrel
