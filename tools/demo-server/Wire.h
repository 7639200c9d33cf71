#pragma once
// TDS packets on a socket: whole request messages in, reply streams out packet by packet.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct ssl_st;

namespace demo {

using Bytes = std::vector<uint8_t>;

enum PacketType : uint8_t {
    kSqlBatch = 0x01,
    kRpc = 0x03,
    kReply = 0x04,
    kAttention = 0x06,
    kLogin7 = 0x10,
    kPrelogin = 0x12,
};

// Little-endian appenders; TDS is little-endian except where a caller says otherwise.
inline void put8(Bytes& b, uint8_t v) { b.push_back(v); }
inline void put16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put64(Bytes& b, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void putBytes(Bytes& b, const void* data, size_t n)
{
    const auto* p = static_cast<const uint8_t*>(data);
    b.insert(b.end(), p, p + n);
}
void putUcs2(Bytes& b, std::u16string_view text);
// Text with a one-byte (B_VARCHAR) or two-byte (US_VARCHAR) character count.
void putBVarchar(Bytes& b, std::u16string_view text);
void putUsVarchar(Bytes& b, std::u16string_view text);

// Bounds-checked reader over a received message; a short message raises ProtocolError.
struct ProtocolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Reader {
public:
    Reader(const Bytes& data, size_t offset = 0) : data_(data), pos_(offset) {}
    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    Bytes bytes(size_t n);
    std::u16string ucs2(size_t chars);
    void skip(size_t n);
    size_t pos() const { return pos_; }
    size_t left() const { return data_.size() - pos_; }

private:
    void need(size_t n) const;
    const Bytes& data_;
    size_t pos_;
};

struct Message {
    uint8_t type = 0;
    Bytes data;
};

// One client socket. It notices an ATTENTION packet that arrives while a reply is streaming.
class Socket {
public:
    explicit Socket(int fd);
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // False when the client has gone away.
    bool readMessage(Message& message);
    void sendAll(const uint8_t* data, size_t n);
    // Looks without blocking for an ATTENTION packet; it stays pending until takeAttention().
    bool attentionPending();
    bool takeAttention();
    // From here on every byte in and out goes through this TLS session (which has finished its
    // handshake and reads and writes memory buffers); the socket owns it. stopTls() returns to
    // clear text, as after a login-only encryption.
    void startTls(ssl_st* session);
    void stopTls();

private:
    bool fill(bool block);
    bool receive(bool block);
    void flushTls();
    void sendRaw(const uint8_t* data, size_t n);
    bool popPacket(Message& into, bool& last);
    int fd_;
    ssl_st* tls_ = nullptr;
    Bytes in_;
    bool attention_ = false;
};

// Builds one reply message and sends each packet as soon as it is full.
class ReplyWriter {
public:
    ReplyWriter(Socket& socket, uint16_t spid, size_t packetSize);
    void append(const Bytes& data);
    // Sends the last packet with the end-of-message flag.
    void finish();
    // True once the client has asked to cancel; checked after each sent packet.
    bool cancelled() const { return cancelled_; }

private:
    void send(bool last);
    Socket& socket_;
    uint16_t spid_;
    size_t packetSize_;
    uint8_t packetId_ = 1;
    Bytes buffer_;
    bool cancelled_ = false;
};

} // namespace demo
