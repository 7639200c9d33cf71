#include "db/ServerSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

namespace db {

namespace {

SOCKET native(std::intptr_t socket) { return static_cast<SOCKET>(socket); }

// Winsock is started once for the process and stays up until it ends.
bool winsockStarted()
{
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace

ServerSocket::~ServerSocket()
{
    if (socket_ != -1)
        ::closesocket(native(socket_));
}

bool ServerSocket::connect(const std::string& host, const std::string& port)
{
    if (!winsockStarted())
        return false;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0)
        return false;
    SOCKET s = INVALID_SOCKET;
    for (addrinfo* a = found; a && s == INVALID_SOCKET; a = a->ai_next) {
        // Not inherited by a program started later, as with SOCK_CLOEXEC.
        s = ::WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
        if (s != INVALID_SOCKET && ::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            ::closesocket(s);
            s = INVALID_SOCKET;
        }
    }
    ::freeaddrinfo(found);
    if (s == INVALID_SOCKET)
        return false;
    socket_ = static_cast<std::intptr_t>(s);
    return true;
}

bool ServerSocket::send(const std::uint8_t* data, std::size_t size)
{
    return size <= INT_MAX && ::send(native(socket_), reinterpret_cast<const char*>(data), static_cast<int>(size), 0) ==
                                  static_cast<int>(size);
}

std::int64_t ServerSocket::receive(std::uint8_t* buffer, std::size_t size)
{
    WSAPOLLFD p{native(socket_), POLLRDNORM, 0};
    if (::WSAPoll(&p, 1, 5000) != 1)
        return 0;
    return ::recv(native(socket_), reinterpret_cast<char*>(buffer),
                  static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
}

} // namespace db
