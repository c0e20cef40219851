#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// A program the tests start and end themselves, by its process id only. Its output goes to a
// log file so a failing test can show it.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program (searched on PATH); throws when it cannot be started.
    void start(const std::vector<std::string>& argv, const std::string& logFile);
    // Asks it to end, then kills it if it has not ended within the grace time.
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));
    // Ends it at once, as a crash would.
    void kill();
    bool running();
    pid_t pid() const { return pid_; }

private:
    bool waitFor(std::chrono::milliseconds limit);
    pid_t pid_ = -1;
};
