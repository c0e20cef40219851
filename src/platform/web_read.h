#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Reads the start of what a web address serves, without blocking: the answer comes later on
// the UI thread, through done, unless the read is destroyed first (which ends it). At most
// maxBytes are kept; reading stops there. Redirects are followed as a browser would (never
// from https to http). caFile, a PEM file, replaces the system's trust store when not empty.
class WebRead {
public:
    struct Result {
        bool ok = false;     // the server answered with content (no network or HTTP error)
        bool whole = false;  // the content ended within maxBytes
        std::string bytes;
    };

    WebRead(const std::string& address, std::size_t maxBytes, const std::string& caFile,
            std::function<void(Result)> done);
    ~WebRead();
    WebRead(const WebRead&) = delete;
    WebRead& operator=(const WebRead&) = delete;

private:
    class Reply;
    std::unique_ptr<Reply> reply_;
};

}  // namespace platform
