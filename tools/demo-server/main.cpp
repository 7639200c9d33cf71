// quillmere-demo-server: a SQL-Server-compatible (TDS 7.x) server on 127.0.0.1 that keeps its
// databases in SQLite files, for the demo, the tests and the benchmarks.
//
//   quillmere-demo-server --port N --user U --password P --database NAME=FILE.sqlite [--database ...]
//                         [--tls-cert CERT.pem --tls-key KEY.pem [--encryption off|on|required]]
//
// Without a certificate it answers every client that it cannot encrypt.
// It prints the port it listens on (the free one chosen for --port 0) as one line before serving.
// With --instance NAME it also answers the SQL Server Browser's query for the named instance NAME on
// UDP --browser-port (1434 by default, where clients ask), so that HOST\NAME finds the port.

#include "Browser.h"
#include "QuillmereVersion.h"
#include "Session.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sqlite3.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const char* const kHelp =
    "usage: quillmere-demo-server --port N --user U --password P --database NAME=FILE.sqlite [--database ...]\n"
    "\n"
    "A SQL Server stand-in for the demo, the tests and the benchmarks: it speaks TDS 7.2-7.4\n"
    "(no encryption) on 127.0.0.1 and keeps each database in a SQLite file. It prints the port\n"
    "it listens on as one line, then serves until stopped.\n"
    "\n"
    "  --port N                  the TCP port; 0 picks a free one\n"
    "  --user U                  the one login name it accepts\n"
    "  --password P              that login's password\n"
    "  --database NAME=FILE      serve the SQLite FILE (opened for writing) as database NAME;\n"
    "                            may repeat. quillmere-make-sales makes the sample Sales database\n"
    "  --help                    this text\n"
    "  --version                 the version\n";

int usage(const char* message)
{
    std::fprintf(stderr, "quillmere-demo-server: %s\n"
                         "usage: quillmere-demo-server --port N --user U --password P --database NAME=FILE.sqlite "
                         "[--database NAME=FILE.sqlite ...] [--instance NAME [--browser-port N]]\n"
                         "       [--tls-cert CERT.pem --tls-key KEY.pem [--encryption off|on|required]]\n",
                 message);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("quillmere-demo-server %s\n", QUILLMERE_VERSION);
        return 0;
    }
    demo::ServerConfig config;
    long port = -1;
    long browserPort = 1434;
    std::string instance;
    bool haveUser = false, havePassword = false;
    std::string certificateFile, keyFile, encryption;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return usage(("missing value after " + option).c_str());
        const std::string value = argv[++i];
        if (option == "--port") {
            char* end = nullptr;
            port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || port < 0 || port > 65535)
                return usage(("invalid port '" + value + "'").c_str());
        } else if (option == "--browser-port") {
            char* end = nullptr;
            browserPort = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || browserPort < 0 || browserPort > 65535)
                return usage(("invalid browser port '" + value + "'").c_str());
        } else if (option == "--instance") {
            if (value.empty() || value.size() > 32 || value.find(';') != std::string::npos)
                return usage(("invalid instance name '" + value + "'").c_str());
            instance = value;
        } else if (option == "--user") {
            config.user = value;
            haveUser = true;
        } else if (option == "--password") {
            config.password = value;
            havePassword = true;
        } else if (option == "--database") {
            const auto eq = value.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == value.size())
                return usage(("--database needs NAME=FILE, got '" + value + "'").c_str());
            config.databases.push_back({value.substr(0, eq), value.substr(eq + 1)});
        } else if (option == "--tls-cert") {
            certificateFile = value;
        } else if (option == "--tls-key") {
            keyFile = value;
        } else if (option == "--encryption") {
            encryption = value;
            if (value == "off")
                config.encryption = demo::EncryptionSetting::Off;
            else if (value == "on")
                config.encryption = demo::EncryptionSetting::On;
            else if (value == "required")
                config.encryption = demo::EncryptionSetting::Required;
            else
                return usage(("--encryption takes off, on or required, not '" + value + "'").c_str());
        } else {
            return usage(("unknown option " + option).c_str());
        }
    }
    if (port < 0 || !haveUser || !havePassword || config.databases.empty())
        return usage("--port, --user, --password and at least one --database are required");

    if (certificateFile.empty() != keyFile.empty())
        return usage("--tls-cert and --tls-key go together");
    if (!encryption.empty() && certificateFile.empty())
        return usage("--encryption needs --tls-cert and --tls-key");
    if (!certificateFile.empty()) {
        std::string error;
        config.tls = demo::TlsServer::load(certificateFile, keyFile, error);
        if (!config.tls) {
            std::fprintf(stderr, "quillmere-demo-server: %s\n", error.c_str());
            return 1;
        }
    }

    // A database that cannot be opened is refused now rather than at the first login.
    for (const auto& d : config.databases) {
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(d.file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        const std::string error = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        if (rc != SQLITE_OK) {
            std::fprintf(stderr, "quillmere-demo-server: cannot open database %s (%s): %s\n", d.name.c_str(),
                         d.file.c_str(), error.c_str());
            return 1;
        }
    }

    std::signal(SIGPIPE, SIG_IGN);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 64) != 0) {
        std::fprintf(stderr, "quillmere-demo-server: cannot listen on 127.0.0.1:%ld: %s\n", port, std::strerror(errno));
        return 1;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    if (!instance.empty()) {
        int browser = -1;
        std::string why;
        if (!demo::openBrowser(static_cast<uint16_t>(browserPort), browser, why)) {
            std::fprintf(stderr, "quillmere-demo-server: cannot answer SQL Server Browser queries on UDP 127.0.0.1:%ld: %s\n",
                         browserPort, why.c_str());
            return 1;
        }
        std::thread(demo::serveBrowser, browser, instance, ntohs(address.sin_port)).detach();
    }
    std::printf("%u\n", ntohs(address.sin_port));
    std::fflush(stdout);

    std::atomic<uint16_t> nextSpid{51};
    for (;;) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE)
                continue;
            std::fprintf(stderr, "quillmere-demo-server: accept failed: %s\n", std::strerror(errno));
            return 1;
        }
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        const uint16_t spid = nextSpid++;
        std::thread([client, &config, spid] { demo::serveClient(client, config, spid); }).detach();
    }
}
