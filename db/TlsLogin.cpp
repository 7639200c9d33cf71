#include "db/TlsLogin.h"

#include "db/Ado.h"
#include "db/ServerSocket.h"
#include "paradox/FileIo.h"
#include "platform/Environment.h"
#include "platform/Files.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace db {

namespace {

// FREETDSCONF is process-wide; connections opened at the same time take turns.
std::mutex& configMutex()
{
    static std::mutex mutex;
    return mutex;
}

struct ServerAddress {
    std::string host, port;
};

// "host,port" or host with Port=; a named instance has no port to ask.
std::optional<ServerAddress> serverAddress(const std::vector<ConnectionAttribute>& attributes)
{
    const std::optional<std::string> server = attributeValue(attributes, "Server");
    if (!server || server->find('\\') != std::string::npos)
        return std::nullopt;
    const std::size_t comma = server->find(',');
    if (comma != std::string::npos)
        return ServerAddress{server->substr(0, comma), server->substr(comma + 1)};
    return ServerAddress{*server, attributeValue(attributes, "Port").value_or("1433")};
}

enum class ServerEncryption { Unknown, Offered, NotSupported };

// A PRELOGIN with the VERSION and ENCRYPTION (on) options, and the ENCRYPTION option of the answer.
ServerEncryption askServer(const ServerAddress& address)
{
    ServerSocket socket;
    if (!socket.connect(address.host, address.port))
        return ServerEncryption::Unknown;
    const std::array<std::uint8_t, 26> prelogin{0x12, 0x01, 0x00, 26,   0x00, 0x00, 0x01, 0x00, // header
                                                0x00, 0x00, 11,   0x00, 6,                    // VERSION
                                                0x01, 0x00, 17,   0x00, 1,                    // ENCRYPTION
                                                0xFF, 9,    0,    0,    0,    0,    0,    0x01};
    std::array<std::uint8_t, 512> reply{};
    std::size_t got = 0;
    ServerEncryption answer = ServerEncryption::Unknown;
    if (socket.send(prelogin.data(), prelogin.size())) {
        while (got < reply.size()) {
            const std::int64_t n = socket.receive(reply.data() + got, reply.size() - got);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
            if (got >= 8 && got >= static_cast<std::size_t>(reply[2] << 8 | reply[3]))
                break;
        }
    }
    if (got < 9 || reply[0] != 0x04)
        return ServerEncryption::Unknown;
    for (std::size_t at = 8; at + 5 <= got && reply[at] != 0xFF; at += 5) {
        if (reply[at] != 0x01)
            continue;
        const std::size_t offset = 8 + static_cast<std::size_t>(reply[at + 1] << 8 | reply[at + 2]);
        if (offset < got)
            answer = reply[offset] == 0x02 ? ServerEncryption::NotSupported : ServerEncryption::Offered;
    }
    return answer;
}

} // namespace

CertificateAuthorityConfig::CertificateAuthorityConfig(std::vector<ConnectionAttribute>& attributes, bool freeTds)
{
    const std::optional<std::string> caFile = attributeValue(attributes, "ServerCertificate");
    const std::optional<std::string> server = attributeValue(attributes, "Server");
    if (!caFile || !server || !freeTds)
        return;
    const std::size_t split = server->find_first_of(",\\");
    const std::string host = server->substr(0, split);
    std::string place;
    if (split == std::string::npos)
        place = "\tport = " + attributeValue(attributes, "Port").value_or("1433") + "\n";
    else if ((*server)[split] == ',')
        place = "\tport = " + server->substr(split + 1) + "\n";
    else
        place = "\tinstance = " + server->substr(split + 1) + "\n";
    // The file is read line by line: a line break in a value would smuggle in a setting.
    if ((*caFile + *server).find_first_of("\r\n[]") != std::string::npos)
        throw Error("The server name or the CA file name holds a line break or bracket FreeTDS cannot take.");
    lock_ = std::unique_lock(configMutex());
    std::error_code ignored;
    std::string path =
        paradox::fileio::nameOf(std::filesystem::temp_directory_path(ignored) / "quillmere-freetds-XXXXXX");
    if (!platform::OutputFile().createUnique(path))
        throw Error("Cannot create the private FreeTDS configuration in " + path + ".");
    std::ofstream(paradox::fileio::pathOf(path))
        << "[" << host << "]\n\thost = " << host << "\n"
        << place << "\tca file = " << *caFile << "\n\tcheck certificate hostname = yes\n";
    file_ = path;
    if (const char* current = std::getenv("FREETDSCONF"))
        previous_ = current;
    platform::SetEnvironment("FREETDSCONF", file_);
    std::erase_if(attributes, [](const ConnectionAttribute& a) {
        return equalsIgnoringCase(a.key, "Server") || equalsIgnoringCase(a.key, "Port");
    });
    attributes.insert(attributes.begin() + 1, ConnectionAttribute{"Servername", host, {}});
}

CertificateAuthorityConfig::~CertificateAuthorityConfig()
{
    if (file_.empty())
        return;
    if (previous_)
        platform::SetEnvironment("FREETDSCONF", *previous_);
    else
        platform::UnsetEnvironment("FREETDSCONF");
    std::error_code ignored;
    std::filesystem::remove(paradox::fileio::pathOf(file_), ignored);
}

std::optional<std::string> encryptedLoginFailure(const std::vector<ConnectionAttribute>& attributes)
{
    const std::optional<std::string> level = attributeValue(attributes, "Encryption");
    const bool required = level && equalsIgnoringCase(*level, "require");
    const std::optional<std::string> caFile = attributeValue(attributes, "ServerCertificate");
    const std::optional<ServerAddress> address = serverAddress(attributes);
    if ((!required && !caFile) || !address)
        return std::nullopt;
    const ServerEncryption answer = askServer(*address);
    const std::string server = address->host + " (port " + address->port + ")";
    if (answer == ServerEncryption::NotSupported) {
        if (!required)
            return std::nullopt;
        return "The server " + server + " does not support encryption, and encryption is required; "
               "the login was not sent.";
    }
    if (answer == ServerEncryption::Offered && caFile)
        return "The certificate of the server " + server + " is not trusted: it does not verify against " +
               (equalsIgnoringCase(*caFile, "system") ? std::string("the system's certificate authorities")
                                                       : "the certificate authorities in " + *caFile) +
               ", or it was not issued for the name " + address->host +
               "; the login was not sent. Trust the server's certificate explicitly only if you know the server.";
    return std::nullopt;
}

} // namespace db
