// Test controls of sockets.
#pragma once
#include <windows.h>

namespace winsim {

// Sockets created and not yet closed.
int OpenSockets();
// WSAStartup calls not yet balanced by WSACleanup.
int WinsockStartups();
// Sockets that were still open when the last WSACleanup released them.
int SocketsLeftAtCleanup();

}  // namespace winsim
