#include "LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace formstest {

LoopbackListener::LoopbackListener(std::chrono::seconds lifetime, int maxConnections) {
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket_ < 0) {
        throw std::runtime_error("no socket for the loopback listener");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0; // any free port
    socklen_t length = sizeof address;
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_, 64) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(socket_);
        throw std::runtime_error("the loopback listener could not listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread(&LoopbackListener::Serve, this,
                          std::chrono::steady_clock::now() + lifetime, maxConnections);
}

LoopbackListener::~LoopbackListener() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    ::close(socket_);
}

QStringList LoopbackListener::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackListener::Serve(std::chrono::steady_clock::time_point end, int maxConnections) {
    while (!stop_ && std::chrono::steady_clock::now() < end && connections_ < maxConnections) {
        pollfd waiting{socket_, POLLIN, 0};
        if (::poll(&waiting, 1, 100) <= 0) {
            continue;
        }
        const int client = ::accept(socket_, nullptr, nullptr);
        if (client < 0) {
            continue;
        }
        ++connections_;
        // What it sends within half a second, up to 4 KB; its first line is recorded.
        char buffer[4096];
        ssize_t got = 0;
        pollfd reading{client, POLLIN, 0};
        if (::poll(&reading, 1, 500) > 0) {
            got = ::recv(client, buffer, sizeof buffer, 0);
        }
        QString line = got > 0 ? QString::fromLatin1(buffer, static_cast<qsizetype>(got))
                                     .section(QLatin1String("\r\n"), 0, 0)
                               : QStringLiteral("<connection>");
        {
            std::lock_guard lock(mutex_);
            requests_ << line;
        }
        static const char answer[] = "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n";
        ::send(client, answer, sizeof answer - 1, MSG_NOSIGNAL);
        ::close(client);
    }
}

} // namespace formstest
