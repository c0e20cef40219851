#pragma once

#include <string>

// Small blocking HTTP and TCP helpers for servers on 127.0.0.1, each bounded by a timeout.
namespace loopback {

// A port nobody listens on at the moment of asking.
int freePort();

// Whether something listens on the port.
bool accepts(int port);

// The status code of a GET, read from the response's first line; 0 when there is no answer.
// Only the headers are read, so it also works on endless streams.
int httpStatus(int port, const std::string& pathAndQuery, const std::string& extraHeaders = "");

}  // namespace loopback
