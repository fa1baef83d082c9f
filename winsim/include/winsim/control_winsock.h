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

// Gives gethostbyname a name for an IPv4 address, as a line of the hosts file
// does on Windows. winsim asks no resolver: gethostbyname knows these names
// and IPv4 address text, nothing else. Names compare without case and come
// back as given. The address is read as inet_addr reads it: dotted decimal,
// or a shorter or hexadecimal form such as "127.1" or "0x7f000001". Reset
// forgets every name; an empty name, text that is no address, or a second
// naming of one name aborts.
void NameHost(const std::string& name, const std::string& address);

}  // namespace winsim
