#include "Browser.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace demo {

namespace {

constexpr uint8_t kBroadcastEx = 0x02;
constexpr uint8_t kUnicastEx = 0x03;
constexpr uint8_t kUnicastInstance = 0x04;
constexpr uint8_t kServerResponse = 0x05;

bool sameName(const std::string& a, const std::string& b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

std::vector<uint8_t> browserReply(const std::vector<uint8_t>& request, const std::string& instance, uint16_t tcpPort)
{
    if (request.empty())
        return {};
    if (request[0] == kUnicastInstance) {
        std::string asked(request.begin() + 1, request.end());
        if (const std::size_t end = asked.find('\0'); end != std::string::npos)
            asked.resize(end);
        if (!sameName(asked, instance))
            return {};
    } else if (request[0] != kBroadcastEx && request[0] != kUnicastEx) {
        return {};
    }
    const std::string text = "ServerName;QUILLMERE-DEMO;InstanceName;" + instance +
                             ";IsClustered;No;Version;16.0.1000.6;tcp;" + std::to_string(tcpPort) + ";;";
    std::vector<uint8_t> reply(3 + text.size());
    reply[0] = kServerResponse;
    reply[1] = static_cast<uint8_t>(text.size() & 0xFF);
    reply[2] = static_cast<uint8_t>(text.size() >> 8);
    std::ranges::copy(text, reply.begin() + 3);
    return reply;
}

bool openBrowser(uint16_t browserPort, int& socket, std::string& error)
{
    socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(browserPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = std::strerror(errno);
        if (socket >= 0)
            ::close(socket);
        return false;
    }
    return true;
}

void serveBrowser(int socket, const std::string& instance, uint16_t tcpPort)
{
    // A request is a byte and an instance name of at most 32 characters; a longer one is cut and so refused.
    std::vector<uint8_t> buffer(64);
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(socket, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        const std::vector<uint8_t> reply =
            browserReply({buffer.begin(), buffer.begin() + n}, instance, tcpPort);
        if (!reply.empty())
            ::sendto(socket, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
}

} // namespace demo
