#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// A failing step of a handler. The event dispatch reports it as "Run-time error 'N':" and the
// program goes on with the windows as they are, so handlers need no try/catch of their own.
struct RuntimeError : std::runtime_error {
    RuntimeError(int number, const std::string& description)
        : std::runtime_error(description), number(number) {}
    int number;
};

namespace errors {
inline RuntimeError invalidCall() { return {5, "Invalid procedure call or argument"}; }
inline RuntimeError typeMismatch() { return {13, "Type mismatch"}; }
inline RuntimeError fileNotFound() { return {53, "File not found"}; }
inline RuntimeError inputPastEnd() { return {62, "Input past end of file"}; }
inline RuntimeError pathFileAccess() { return {75, "Path/File access error"}; }
inline RuntimeError invalidPicture() { return {481, "Invalid picture"}; }
}  // namespace errors

}  // namespace platform
