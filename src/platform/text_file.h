#pragma once

#include <cstdio>
#include <string>

namespace platform {

// A text file opened for sequential input. A line ends at CR, CRLF or a lone LF; lines are
// decoded to UTF-8 (see decodeText). Memory stays bounded whatever the file holds: a line longer
// than kMaxLineBytes fails instead of growing without end.
class TextFile {
public:
    static constexpr std::size_t kMaxLineBytes = 64 * 1024;

    // Fails with 53 "File not found" when there is no such file, and with 75
    // "Path/File access error" when it is not a regular file or cannot be read: a pipe or a
    // device would block the window.
    explicit TextFile(const std::string& name);
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    bool atEnd();
    // Fails with 62 "Input past end of file" at the end, and with 75 for an overlong line.
    std::string lineInput();
    void close();

private:
    int peek();
    std::FILE* file_ = nullptr;
};

}  // namespace platform
