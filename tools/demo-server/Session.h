#pragma once
// One client connection: login, then SQL batches and remote procedure calls until the client leaves.

#include "Tls.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace demo {

struct DatabaseEntry {
    std::string name;
    std::string file;
};

// The server's encryption: off encrypts the login only unless the client asks for more, on
// encrypts everything, required also refuses clients that cannot encrypt.
enum class EncryptionSetting { Off, On, Required };

struct ServerConfig {
    std::string user;
    std::string password;
    std::vector<DatabaseEntry> databases;
    // Without a certificate the server answers "encryption not supported".
    std::shared_ptr<TlsServer> tls;
    EncryptionSetting encryption = EncryptionSetting::Off;
};

// Serves the accepted socket `fd` until the client disconnects, then closes it. `spid` is the
// session id the client sees in every reply packet.
void serveClient(int fd, const ServerConfig& config, uint16_t spid);

} // namespace demo
