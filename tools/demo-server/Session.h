#pragma once
// One client connection: login, then SQL batches and remote procedure calls until the client leaves.

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

struct DatabaseEntry {
    std::string name;
    std::string file;
};

struct ServerConfig {
    std::string user;
    std::string password;
    std::vector<DatabaseEntry> databases;
};

// Serves the accepted socket `fd` until the client disconnects, then closes it. `spid` is the
// session id the client sees in every reply packet.
void serveClient(int fd, const ServerConfig& config, uint16_t spid);

} // namespace demo
