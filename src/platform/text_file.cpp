#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_system.h"
#include "platform/runtime_error.h"
#include "platform/text_encoding.h"

namespace platform {

TextFile::TextFile(const std::string& name) {
    const int fd = openRegularFile(name);
    if (fd < 0)
        throw errno == ENOENT || errno == ENOTDIR ? errors::fileNotFound()
                                                  : errors::pathFileAccess();
    if (!(file_ = ::fdopen(fd, "rb"))) {
        ::close(fd);
        throw errors::pathFileAccess();
    }
    // A byte-order mark is an editor's signature, not part of the first line.
    if (peek() == 0xEF) {
        unsigned char mark[3] = {};
        if (std::fread(mark, 1, 3, file_) != 3 || mark[1] != 0xBB || mark[2] != 0xBF)
            std::rewind(file_);
    }
}

TextFile::~TextFile() { close(); }

void TextFile::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

int TextFile::peek() {
    const int c = std::getc(file_);
    if (c != EOF) std::ungetc(c, file_);
    return c;
}

bool TextFile::atEnd() { return !file_ || peek() == EOF; }

std::string TextFile::lineInput() {
    if (atEnd()) throw errors::inputPastEnd();
    std::string bytes;
    for (int c = std::getc(file_); c != EOF; c = std::getc(file_)) {
        if (c == '\n') break;
        if (c == '\r') {
            if (peek() == '\n') std::getc(file_);
            break;
        }
        if (bytes.size() == kMaxLineBytes) throw errors::pathFileAccess();
        bytes += static_cast<char>(c);
    }
    return decodeText(bytes);
}

}  // namespace platform
