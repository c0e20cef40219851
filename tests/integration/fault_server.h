#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback HTTP server that misbehaves on purpose, chosen by the request path:
//   /silent         accepts and never answers
//   /headers-only   answers 200 with audio headers, then sends nothing
//   /garbage        answers 200, then random bytes for as long as the client reads
//   /short-garbage  answers 200, sends 64 KiB of random bytes and closes
//   /missing        answers 404
//   /drip           answers 200 with audio headers, then one byte a second
//   /drip-headers   sends its status line and headers one byte a second
//   /endless-headers answers 200, then header lines that never end
//   /endless-playlist answers 200 with an M3U playlist whose entries never end
//   /loop           redirects to itself; /loop-a and /loop-b redirect to each other
// and any path given to serve() answers 200 with that body (playlists), given to serveIcy()
// streams that audio over and over with ICY metadata blocks between, or given to redirect()
// sends the client on to another address.
class FaultServer {
public:
    FaultServer();
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    void serve(const std::string& path, const std::string& contentType, const std::string& body);
    // Each metadata block is sent whole (length byte first) after every metaint bytes of
    // audio, one after the other and round again.
    void serveIcy(const std::string& path, const std::string& audio, std::size_t metaint,
                  const std::vector<std::string>& metadata);
    void redirect(const std::string& path, const std::string& location);
    std::string url(const std::string& path) const;
    int port() const { return port_; }

private:
    struct Document {
        std::string contentType;
        std::string body;
        std::size_t metaint = 0;  // not 0: an endless ICY stream of body
        std::vector<std::string> metadata;
        std::string location;  // not empty: a redirect
    };

    void acceptLoop();
    void answer(int client);
    bool sendAll(int client, const std::string& bytes);
    // Waits while the server runs and the client keeps the connection; false once either ends.
    bool holdOpen(int client, int milliseconds);
    void sendIcy(int client, const Document& stream);
    void sendRedirect(int client, const std::string& location);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> running_{true};
    std::mutex mutex_;
    std::map<std::string, Document> documents_;
    std::vector<std::thread> clients_;
    std::vector<int> sockets_;
    std::thread acceptor_;
};
