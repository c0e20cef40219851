#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>

namespace loopback {

namespace {
sockaddr_in address(int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}
}  // namespace

int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = address(0);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t length = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    close(fd);
    return ntohs(addr.sin_port);
}

bool accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = address(port);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return connected;
}

int httpStatus(int port, const std::string& pathAndQuery, const std::string& extraHeaders) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr = address(port);
    int status = 0;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const std::string request = "GET " + pathAndQuery + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" +
                                    extraHeaders + "User-Agent: wavelark-tests\r\n\r\n";
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        std::string reply;
        char buffer[512];
        while (reply.find("\r\n") == std::string::npos && reply.size() < 4096) {
            const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            reply.append(buffer, static_cast<std::size_t>(got));
        }
        // "HTTP/1.0 200 OK" or Icecast's "ICY 200 OK".
        const auto space = reply.find(' ');
        if (space != std::string::npos) std::sscanf(reply.c_str() + space + 1, "%d", &status);
    }
    close(fd);
    return status;
}

}  // namespace loopback
