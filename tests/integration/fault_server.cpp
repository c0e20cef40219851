#include "fault_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <stdexcept>

namespace {
constexpr const char* kAudioHeaders =
    "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: Fault\r\n\r\n";
}

FaultServer::FaultServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), length) != 0 ||
        listen(listener_, 16) != 0) {
        throw std::runtime_error("fault server cannot listen");
    }
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

FaultServer::~FaultServer() {
    running_ = false;
    shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    close(listener_);
    {
        std::lock_guard lock(mutex_);
        for (int client : sockets_) shutdown(client, SHUT_RDWR);
    }
    for (auto& client : clients_) client.join();
}

void FaultServer::serve(const std::string& path, const std::string& contentType,
                        const std::string& body) {
    std::lock_guard lock(mutex_);
    documents_[path] = {contentType, body, 0, {}, {}};
}

void FaultServer::redirect(const std::string& path, const std::string& location) {
    std::lock_guard lock(mutex_);
    documents_[path] = {{}, {}, 0, {}, location};
}

void FaultServer::serveIcy(const std::string& path, const std::string& audio, std::size_t metaint,
                           const std::vector<std::string>& metadata) {
    std::lock_guard lock(mutex_);
    documents_[path] = {"audio/mpeg", audio, metaint, metadata, {}};
}

std::string FaultServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void FaultServer::acceptLoop() {
    while (running_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (poll(&waiting, 1, 100) <= 0) continue;
        const int client = accept(listener_, nullptr, nullptr);
        if (client < 0) continue;
        std::lock_guard lock(mutex_);
        sockets_.push_back(client);
        clients_.emplace_back([this, client] {
            answer(client);
            // Forgotten before closing, so the destructor never shuts down a reused number.
            {
                std::lock_guard lock(mutex_);
                std::erase(sockets_, client);
            }
            close(client);
        });
    }
}

bool FaultServer::sendAll(int client, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size() && running_) {
        const ssize_t n = send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return sent == bytes.size();
}

bool FaultServer::holdOpen(int client, int milliseconds) {
    pollfd peer{client, POLLIN | POLLRDHUP, 0};
    if (poll(&peer, 1, milliseconds) > 0 && (peer.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
        return false;
    }
    return running_;
}

void FaultServer::sendRedirect(int client, const std::string& location) {
    sendAll(client,
            "HTTP/1.0 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n");
}

void FaultServer::sendIcy(int client, const Document& stream) {
    if (!sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-metaint: " +
                             std::to_string(stream.metaint) + "\r\n\r\n")) {
        return;
    }
    // As fast as the client reads; it stops reading once its cache is full.
    std::size_t at = 0;
    for (std::size_t block = 0;; ++block) {
        std::string bytes;
        while (bytes.size() < stream.metaint) {
            const auto take = std::min(stream.metaint - bytes.size(), stream.body.size() - at);
            bytes.append(stream.body, at, take);
            at = (at + take) % stream.body.size();
        }
        if (!sendAll(client, bytes + stream.metadata[block % stream.metadata.size()])) return;
    }
}

void FaultServer::answer(int client) {
    // Read the request line and headers, as far as they come.
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384 && running_) {
        pollfd peer{client, POLLIN, 0};
        if (poll(&peer, 1, 100) <= 0) continue;
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    const auto pathStart = request.find(' ') + 1;
    const std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);

    std::mt19937 random(7);
    auto garbage = [&](std::size_t size) {
        std::string bytes(size, '\0');
        for (char& byte : bytes) byte = static_cast<char>(random());
        return bytes;
    };

    if (path == "/silent") {
        while (holdOpen(client, 100)) {
        }
    } else if (path == "/headers-only") {
        if (!sendAll(client, kAudioHeaders)) return;
        while (holdOpen(client, 100)) {
        }
    } else if (path == "/garbage") {
        if (!sendAll(client, kAudioHeaders)) return;
        // About 16 kB/s, a radio stream's pace.
        while (sendAll(client, garbage(1024)) && holdOpen(client, 60)) {
        }
    } else if (path == "/short-garbage") {
        if (sendAll(client, kAudioHeaders)) sendAll(client, garbage(65536));
    } else if (path == "/drip" || path == "/drip-headers") {
        const std::string headers = kAudioHeaders;
        if (path == "/drip" && !sendAll(client, headers)) return;
        for (std::size_t i = 0; holdOpen(client, 1000); ++i) {
            const bool header = path == "/drip-headers" && i < headers.size();
            if (!sendAll(client, header ? headers.substr(i, 1) : garbage(1))) return;
        }
    } else if (path == "/endless-playlist") {
        if (!sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: audio/x-mpegurl\r\n\r\n#EXTM3U\n")) {
            return;
        }
        // Tiny entries, as fast as the socket takes them.
        std::string lines;
        for (int i = 0; i < 4096; ++i) lines += "a\n";
        while (sendAll(client, lines) && holdOpen(client, 0)) {
        }
    } else if (path == "/endless-headers") {
        if (!sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n")) return;
        for (int i = 0; holdOpen(client, 1); ++i) {
            if (!sendAll(client, "X-Padding-" + std::to_string(i) + ": " + std::string(200, 'x') +
                                     "\r\n")) {
                return;
            }
        }
    } else if (path == "/loop" || path == "/loop-a" || path == "/loop-b") {
        const std::string next = path == "/loop" ? path : path == "/loop-a" ? "/loop-b" : "/loop-a";
        sendRedirect(client, url(next));
    } else {
        Document document;
        bool found = false;
        {
            std::lock_guard lock(mutex_);
            if (auto it = documents_.find(path); it != documents_.end()) {
                document = it->second;
                found = true;
            }
        }
        if (found && !document.location.empty()) {
            sendRedirect(client, document.location);
        } else if (found && document.metaint > 0) {
            sendIcy(client, document);
        } else if (found) {
            sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: " + document.contentType +
                                "\r\nContent-Length: " + std::to_string(document.body.size()) +
                                "\r\n\r\n" + document.body);
        } else {
            sendAll(client,
                    "HTTP/1.0 404 File Not Found\r\nContent-Type: text/html\r\n\r\n"
                    "<html><body>Not found</body></html>");
        }
    }
}
