#pragma once
// What FreeTDS needs around an encrypted login that its connection string cannot carry, and the
// reason an encrypted login failed, told in words the user can act on.

#include "db/OdbcConnectionString.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace db {

// While alive, the connection goes through a private FreeTDS configuration that names the CA file
// of the ServerCertificate attribute: FreeTDS 1.3 takes a CA file only from its configuration
// file (later versions also read the attribute), and reads that file for Servername= only. So the
// attributes' Server (and Port) become a Servername whose section, named after the host, holds
// host, port, CA file and the host name check. Does nothing without the attribute or when
// `freeTds` says the driver is another.
class CertificateAuthorityConfig {
public:
    CertificateAuthorityConfig(std::vector<ConnectionAttribute>& attributes, bool freeTds);
    ~CertificateAuthorityConfig();
    CertificateAuthorityConfig(const CertificateAuthorityConfig&) = delete;
    CertificateAuthorityConfig& operator=(const CertificateAuthorityConfig&) = delete;
    bool active() const { return !file_.empty(); }

private:
    std::unique_lock<std::mutex> lock_;
    std::string file_;
    std::optional<std::string> previous_;
};

// For a failed login that required encryption or a checked certificate: the reason, or nothing
// when the failure has another cause (the driver's text then stands). It asks the server itself
// with a PRELOGIN that carries no credentials.
std::optional<std::string> encryptedLoginFailure(const std::vector<ConnectionAttribute>& attributes);

} // namespace db
