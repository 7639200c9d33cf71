#pragma once
// The SQL Server Browser's answer for one named instance: a client that knows only HOST\NAME asks
// UDP port 1434 of the host which TCP port the instance listens on.

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// The reply to one datagram: for a unicast instance query (0x04, the instance name, optional NUL)
// naming `instance` in any letter case, or for a request to list every instance (0x02, 0x03), the
// SVR_RESP datagram 0x05, the u16 length of the text, then
// "ServerName;HOST;InstanceName;NAME;IsClustered;No;Version;…;tcp;PORT;;". Empty for anything else:
// the Browser stays silent about instances it does not know.
std::vector<uint8_t> browserReply(const std::vector<uint8_t>& request, const std::string& instance, uint16_t tcpPort);

// Binds UDP `browserPort` on 127.0.0.1; false with the reason in `error` when it cannot.
bool openBrowser(uint16_t browserPort, int& socket, std::string& error);
// Answers the queries on `socket` for ever (run it on a thread of its own).
void serveBrowser(int socket, const std::string& instance, uint16_t tcpPort);

} // namespace demo
