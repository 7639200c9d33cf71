#pragma once
// One TCP connection to a server, for the few bytes the login's diagnosis exchanges before any
// driver is involved: POSIX sockets in posix/ServerSocket.cpp, Winsock in windows/ServerSocket.cpp.

#include <cstddef>
#include <cstdint>
#include <string>

namespace db {

class ServerSocket {
public:
    ServerSocket() = default;
    ~ServerSocket();
    ServerSocket(const ServerSocket&) = delete;
    ServerSocket& operator=(const ServerSocket&) = delete;

    // Connects to the first address of the host and port that takes the connection.
    bool connect(const std::string& host, const std::string& port);
    // Sends the bytes in one call; false when not all of them went.
    bool send(const std::uint8_t* data, std::size_t size);
    // Waits up to five seconds for bytes and takes what arrived: how many, 0 when none came or
    // the server closed the connection, negative on failure.
    std::int64_t receive(std::uint8_t* buffer, std::size_t size);

private:
    std::intptr_t socket_ = -1;
};

} // namespace db
