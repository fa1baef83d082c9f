// The scripted SMTP peer as a program of its own, for the Wine test: serves
// ADDRESS:25, creates READY_FILE once it listens, and checks that the first
// connection carried the admin notice for 10.1.2.3, byte for byte.
//   smtp_peer ADDRESS READY_FILE
#include <chrono>
#include <cstdio>
#include <string>

#include "smtp_messages.h"
#include "smtp_peer_host.h"

namespace {

// The bytes with their line ends made visible, for the mismatch report.
std::string Visible(const std::string& bytes) {
    std::string shown;
    for (char c : bytes) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n\n";
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: smtp_peer ADDRESS READY_FILE\n");
        return 2;
    }
    testsupport::SmtpPeer peer(argv[1], testsupport::SmtpScript::Normal);
    if (!peer.Listening()) return 2;
    std::FILE* ready = std::fopen(argv[2], "w");
    if (ready == nullptr || std::fclose(ready) != 0) {
        std::perror(argv[2]);
        return 2;
    }
    if (!peer.WaitForClientClose(std::chrono::seconds(60))) {
        std::fprintf(stderr, "SMTP peer: no connection ended by the client within 60 s; received:\n%s\n",
                     Visible(peer.Received()).c_str());
        return 1;
    }
    const std::string expected = testsupport::kAdminNoticeFor10_1_2_3;
    if (peer.Received() != expected) {
        std::fprintf(stderr, "SMTP peer: the bytes differ.\n--- expected:\n%s\n--- received:\n%s\n",
                     Visible(expected).c_str(), Visible(peer.Received()).c_str());
        return 1;
    }
    std::printf("SMTP peer: the admin notice arrived byte for byte.\n");
    return 0;
}
