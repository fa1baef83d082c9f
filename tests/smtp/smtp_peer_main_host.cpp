// The scripted SMTP peer as a program of its own, for the Wine tests: serves
// ADDRESS:25 and creates READY_FILE once it listens. With RECEIVED_FILE it
// writes every byte of the first connection there once the client has closed
// it; without, it checks that the connection carried the admin notice for
// 10.1.2.3, byte for byte.
//   smtp_peer ADDRESS READY_FILE [RECEIVED_FILE]
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

bool WriteFile(const char* path, const std::string& bytes) {
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fclose(out) != 0) {
        std::perror(path);
        return false;
    }
    return true;
}

int CheckAdminNotice(const std::string& received) {
    const std::string expected = testsupport::kAdminNoticeFor10_1_2_3;
    if (received != expected) {
        std::fprintf(stderr, "SMTP peer: the bytes differ.\n--- expected:\n%s\n--- received:\n%s\n",
                     Visible(expected).c_str(), Visible(received).c_str());
        return 1;
    }
    std::printf("SMTP peer: the admin notice arrived byte for byte.\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: smtp_peer ADDRESS READY_FILE [RECEIVED_FILE]\n");
        return 2;
    }
    testsupport::SmtpPeer peer(argv[1], testsupport::SmtpScript::Normal);
    if (!peer.Listening() || !WriteFile(argv[2], "")) return 2;
    const int seconds = 120;
    bool closed = peer.WaitForClientClose(std::chrono::seconds(seconds));
    if (argc == 4 && !WriteFile(argv[3], peer.Received())) return 2;
    if (!closed) {
        std::fprintf(stderr, "SMTP peer: no connection ended by the client within %d s; received:\n%s\n", seconds,
                     Visible(peer.Received()).c_str());
        return 1;
    }
    return argc == 4 ? 0 : CheckAdminNotice(peer.Received());
}
