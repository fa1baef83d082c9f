// An SMTP peer program for the configurator's Wine session: serves ADDRESS:25,
// creates READY_FILE once it listens, and writes every byte of the first
// connection to RECEIVED_FILE once the client has closed it.
//   smtp_record_peer ADDRESS READY_FILE RECEIVED_FILE
#include <chrono>
#include <cstdio>
#include <string>

#include "smtp_peer_host.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: smtp_record_peer ADDRESS READY_FILE RECEIVED_FILE\n");
        return 2;
    }
    testsupport::SmtpPeer peer(argv[1], testsupport::SmtpScript::Normal);
    if (!peer.Listening()) return 2;
    std::FILE* ready = std::fopen(argv[2], "w");
    if (ready == nullptr || std::fclose(ready) != 0) {
        std::perror(argv[2]);
        return 2;
    }
    bool closed = peer.WaitForClientClose(std::chrono::seconds(120));
    const std::string received = peer.Received();
    std::FILE* out = std::fopen(argv[3], "wb");
    if (out == nullptr || std::fwrite(received.data(), 1, received.size(), out) != received.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[3]);
        return 2;
    }
    if (!closed) std::fprintf(stderr, "SMTP peer: no connection ended by the client within 120 s\n");
    return closed ? 0 : 1;
}
