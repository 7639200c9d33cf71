#include "Tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace demo {

namespace {

std::string lastError()
{
    char text[256] = "unknown error";
    if (const unsigned long code = ERR_get_error())
        ERR_error_string_n(code, text, sizeof text);
    return text;
}

// What the session wrote, as PRELOGIN packets: a whole flight is one message.
void sendFlight(Socket& socket, SSL* session)
{
    Bytes flight;
    uint8_t chunk[16384];
    for (int n; (n = BIO_read(SSL_get_wbio(session), chunk, sizeof chunk)) > 0;)
        flight.insert(flight.end(), chunk, chunk + n);
    constexpr size_t kPayload = 4096 - 8;
    uint8_t packetId = 1;
    for (size_t done = 0; done < flight.size();) {
        const size_t n = std::min(kPayload, flight.size() - done);
        const bool last = done + n == flight.size();
        Bytes packet{kPrelogin, static_cast<uint8_t>(last ? 0x01 : 0x00), static_cast<uint8_t>((n + 8) >> 8),
                     static_cast<uint8_t>(n + 8), 0, 0, packetId++, 0};
        packet.insert(packet.end(), flight.begin() + static_cast<std::ptrdiff_t>(done),
                      flight.begin() + static_cast<std::ptrdiff_t>(done + n));
        socket.sendAll(packet.data(), packet.size());
        done += n;
    }
}

} // namespace

std::shared_ptr<TlsServer> TlsServer::load(const std::string& certificateFile, const std::string& keyFile,
                                           std::string& error)
{
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (!context) {
        error = lastError();
        return nullptr;
    }
    // TLS 1.2 as TDS 7.x servers offer it; no session tickets, which would arrive after the
    // client has left the PRELOGIN framing.
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_TICKET);
    if (SSL_CTX_use_certificate_chain_file(context, certificateFile.c_str()) != 1) {
        error = "cannot use the certificate " + certificateFile + ": " + lastError();
    } else if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
               SSL_CTX_check_private_key(context) != 1) {
        error = "cannot use the key " + keyFile + ": " + lastError();
    } else {
        return std::shared_ptr<TlsServer>(new TlsServer(context));
    }
    SSL_CTX_free(context);
    return nullptr;
}

TlsServer::~TlsServer() { SSL_CTX_free(context_); }

bool TlsServer::handshake(Socket& socket) const
{
    SSL* session = SSL_new(context_);
    if (!session)
        return false;
    SSL_set_bio(session, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    SSL_set_accept_state(session);
    for (;;) {
        const int done = SSL_do_handshake(session);
        sendFlight(socket, session);
        if (done == 1) {
            socket.startTls(session);
            return true;
        }
        Message m;
        if (SSL_get_error(session, done) != SSL_ERROR_WANT_READ || !socket.readMessage(m) || m.type != kPrelogin) {
            SSL_free(session);
            return false;
        }
        BIO_write(SSL_get_rbio(session), m.data.data(), static_cast<int>(m.data.size()));
    }
}

} // namespace demo
