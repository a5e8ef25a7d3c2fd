#pragma once

#include <string>

// The least a client can do for "status": one blocking UDP socket on 127.0.0.1, the challenge
// asked for, the command sent, datagrams read until the status table's closing line. No Qt, no
// joining of split replies (a status of the test server's default players fits one datagram).
// The reply's text, or an empty string when something failed.
std::string bareStatusExchange(unsigned short port, const std::string &password);
