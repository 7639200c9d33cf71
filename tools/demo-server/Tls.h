#pragma once
// TLS as SQL Server speaks it in TDS 7.x: the handshake travels inside PRELOGIN packets, after
// which TLS records run straight on the socket.

#include "Wire.h"

#include <memory>
#include <string>

struct ssl_ctx_st;

namespace demo {

class TlsServer {
public:
    // The certificate chain and key (PEM files), or nothing with the reason in `error`.
    static std::shared_ptr<TlsServer> load(const std::string& certificateFile, const std::string& keyFile,
                                           std::string& error);
    ~TlsServer();
    TlsServer(const TlsServer&) = delete;
    TlsServer& operator=(const TlsServer&) = delete;

    // Runs the server side of the handshake over PRELOGIN messages and hands the session to the
    // socket. False when the client broke off or the handshake failed.
    bool handshake(Socket& socket) const;

private:
    explicit TlsServer(ssl_ctx_st* context) : context_(context) {}
    ssl_ctx_st* context_;
};

} // namespace demo
