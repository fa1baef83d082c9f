// Test controls of sockets.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// Sockets created and not yet closed.
int OpenSockets();
// WSAStartup calls not yet balanced by WSACleanup.
int WinsockStartups();
// Sockets that were still open when the last WSACleanup released them.
int SocketsLeftAtCleanup();
// The time-out, in milliseconds as the program gave it, of each socket call
// that ended because it passed (select, and recv or send on a blocking socket
// given SO_RCVTIMEO or SO_SNDTIMEO), in order since the last Reset: the
// program's clock, exact where the scaled time the call took is not.
std::vector<DWORD> PassedSocketTimeOuts();

// Gives gethostbyname a name for the dotted IPv4 address, ahead of the host's
// resolver, as a line of the hosts file does on Windows: it compares names
// without case and returns the name as given. Reset forgets every name; a
// second naming of one name, or an address that is not dotted, aborts.
void NameHost(const std::string& name, const std::string& address);

}  // namespace winsim
