#include "db/ServerSocket.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace db {

namespace {

int descriptor(std::intptr_t socket) { return static_cast<int>(socket); }

} // namespace

ServerSocket::~ServerSocket()
{
    if (socket_ >= 0)
        ::close(descriptor(socket_));
}

bool ServerSocket::connect(const std::string& host, const std::string& port)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0)
        return false;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    socket_ = fd;
    return fd >= 0;
}

bool ServerSocket::send(const std::uint8_t* data, std::size_t size)
{
    return ::send(descriptor(socket_), data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

std::int64_t ServerSocket::receive(std::uint8_t* buffer, std::size_t size)
{
    pollfd p{descriptor(socket_), POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1)
        return 0;
    return ::recv(descriptor(socket_), buffer, size, 0);
}

} // namespace db
