// The station file as the player reads it: at most 19 lines while the file is not at its end,
// each split into caption, address and display name. A RuntimeError is the damaged-file path
// and expected; a crash, a sanitizer report or a broken check below is a fault.
//
// The reader is checked against a plain model of the file: lines end at CR, CRLF or LF, a
// leading byte-order mark is dropped, and a line longer than the bound fails.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime_error.h"
#include "platform/text_encoding.h"
#include "platform/text_file.h"
#include "player/station_line.h"

namespace {

constexpr int kSlots = 19;  // lines after the 19th are never read

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

// TextFile opens files by name, so each input goes through a file of this process's own: an
// in-memory one reached through /proc, fast, and gone however the run ends.
class ScratchFile {
public:
    ScratchFile() {
        fd_ = memfd_create("wavelark-station-fuzz", 0);
        require(fd_ >= 0, "a scratch file can be created");
        name_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    const std::string& write(const std::uint8_t* data, std::size_t size) {
        const bool written =
            ftruncate(fd_, 0) == 0 && pwrite(fd_, data, size, 0) == static_cast<ssize_t>(size);
        require(written, "the input is written to the scratch file");
        return name_;
    }

private:
    int fd_ = -1;
    std::string name_;
};

struct ModelFile {
    std::vector<std::string_view> lines;  // raw bytes, without their line ends
    bool overlong = false;                // the line after these is past the bound
};

ModelFile model(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    ModelFile file;
    while (!bytes.empty() && file.lines.size() < kSlots) {
        const std::size_t end = std::min(bytes.find_first_of("\r\n"), bytes.size());
        if (end > platform::TextFile::kMaxLineBytes) {
            file.overlong = true;
            break;
        }
        file.lines.push_back(bytes.substr(0, end));
        std::size_t next = end;
        if (next < bytes.size()) next += bytes.substr(next).starts_with("\r\n") ? 2 : 1;
        bytes.remove_prefix(next);
    }
    return file;
}

std::size_t characters(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

void checkSplit(const std::string& line, const StationLine& station) {
    require(station.caption.find(',') == std::string::npos, "the caption ends at the first comma");
    require(station.address.find(',') == std::string::npos, "the address ends at the second comma");
    const std::string head = station.caption + ',' + station.address + ',';
    require(line.starts_with(head), "caption and address are the line's start");
    const std::string_view rest = std::string_view(line).substr(head.size());
    require(rest.starts_with(station.displayName), "the display name is the rest's start");
    require(
        characters(station.displayName) == std::min(characters(rest), StationLine::kMaxDisplayName),
        "the display name is cut at 256 characters");
    for (const std::string* field : {&station.caption, &station.address, &station.displayName}) {
        require(platform::isValidUtf8(*field), "every field is UTF-8");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static ScratchFile scratch;
    const std::string& name = scratch.write(data, size);

    std::vector<std::string> read;
    bool readFailed = false;
    bool splitFailed = false;
    try {
        platform::TextFile file(name);
        for (int n = 0; !file.atEnd() && n <= kSlots - 1; ++n) {
            readFailed = true;
            read.push_back(file.lineInput());  // not pushed when it fails
            readFailed = false;
            splitFailed = true;
            checkSplit(read.back(), StationLine::split(read.back()));
            splitFailed = false;
        }
        file.close();
    } catch (const platform::RuntimeError&) {
        require(readFailed || splitFailed, "only reading and splitting fail");
    }

    const ModelFile expected = model(bytes);
    require(read.size() <= expected.lines.size(), "no extra lines");
    for (std::size_t i = 0; i < read.size(); ++i) {
        require(read[i] == platform::decodeText(expected.lines[i]), "lines are read as written");
    }
    if (readFailed) {
        require(expected.overlong && read.size() == expected.lines.size(),
                "reading fails only at an overlong line");
    } else if (splitFailed) {
        const std::string& line = read.back();
        const std::size_t first = line.find(',');
        require(first == std::string::npos || line.find(',', first + 1) == std::string::npos,
                "splitting fails only for fewer than two commas");
    } else {
        require(read.size() == expected.lines.size() && !expected.overlong,
                "every line up to the 19th is read");
    }
    return 0;
}
