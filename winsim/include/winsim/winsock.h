// Winsock names mapped onto BSD sockets.
//
// The functions carry Winsock's names in C and C++ but link under winsim_*
// symbols, so the C library's socket functions stay untouched for everything
// else in the process (test peers talk BSD sockets directly). fd_set, the FD_*
// macros, timeval and u_long come from the C library's headers, which the
// programs' C headers pull in anyway; they are used the same way as Winsock's.
#pragma once
#include <sys/select.h>
#include <sys/types.h>

#include <winsim/types.h>

#define WINSIM_WINSOCK(name) __asm__("winsim_" #name)

typedef UINT_PTR SOCKET;
#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define AF_INET 2
#define SOCK_STREAM 1
#define IPPROTO_TCP 6

#define INADDR_ANY ((ULONG)0x00000000)
#define INADDR_NONE ((ULONG)0xffffffff)

#define SOL_SOCKET 0xffff
#define SO_SNDTIMEO 0x1005
#define SO_RCVTIMEO 0x1006

#define FIONBIO ((LONG)0x8004667Eu)

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
} WSADATA, *LPWSADATA;

typedef struct in_addr {
    union {
        struct {
            UCHAR s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        struct {
            USHORT s_w1, s_w2;
        } S_un_w;
        ULONG S_addr;
    } S_un;
} IN_ADDR;
#define s_addr S_un.S_addr

typedef struct sockaddr {
    USHORT sa_family;
    CHAR sa_data[14];
} SOCKADDR;

typedef struct sockaddr_in {
    SHORT sin_family;
    USHORT sin_port;
    struct in_addr sin_addr;
    CHAR sin_zero[8];
} SOCKADDR_IN;

typedef struct hostent {
    char* h_name;
    char** h_aliases;
    SHORT h_addrtype;
    SHORT h_length;
    char** h_addr_list;
} HOSTENT;
#define h_addr h_addr_list[0]

// Winsock error codes (WSAGetLastError, and WSAStartup's result).
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTUNREACH 10065
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093
#define WSAHOST_NOT_FOUND 11001
#define WSATRY_AGAIN 11002
#define WSANO_RECOVERY 11003
#define WSANO_DATA 11004

#ifdef __cplusplus
extern "C" {
#endif

int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup(void);
int WSAGetLastError(void);
void WSASetLastError(int error);

SOCKET socket(int af, int type, int protocol) WINSIM_WINSOCK(socket);
int closesocket(SOCKET s);
int bind(SOCKET s, const struct sockaddr* name, int nameLength) WINSIM_WINSOCK(bind);
int listen(SOCKET s, int backlog) WINSIM_WINSOCK(listen);
int connect(SOCKET s, const struct sockaddr* name, int nameLength) WINSIM_WINSOCK(connect);
int send(SOCKET s, const char* buffer, int length, int flags) WINSIM_WINSOCK(send);
int recv(SOCKET s, char* buffer, int length, int flags) WINSIM_WINSOCK(recv);
int setsockopt(SOCKET s, int level, int name, const char* value, int length) WINSIM_WINSOCK(setsockopt);
int ioctlsocket(SOCKET s, LONG command, u_long* argument);
// Winsock's select: the first argument is ignored and failed connects are
// reported in exceptfds, not in writefds.
int select(int ignored, fd_set* readfds, fd_set* writefds, fd_set* exceptfds,
           struct timeval* timeout) WINSIM_WINSOCK(select);

USHORT htons(USHORT host) WINSIM_WINSOCK(htons);
USHORT ntohs(USHORT network) WINSIM_WINSOCK(ntohs);
ULONG inet_addr(const char* text) WINSIM_WINSOCK(inet_addr);
struct hostent* gethostbyname(const char* name) WINSIM_WINSOCK(gethostbyname);

#ifdef __cplusplus
}
#endif
