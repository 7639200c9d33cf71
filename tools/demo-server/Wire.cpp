#include "Wire.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace demo {

void putUcs2(Bytes& b, std::u16string_view text)
{
    for (char16_t c : text)
        put16(b, c);
}

void putBVarchar(Bytes& b, std::u16string_view text)
{
    const auto n = text.size() > 255 ? 255 : text.size();
    put8(b, static_cast<uint8_t>(n));
    putUcs2(b, text.substr(0, n));
}

void putUsVarchar(Bytes& b, std::u16string_view text)
{
    const auto n = text.size() > 65535 ? 65535 : text.size();
    put16(b, static_cast<uint16_t>(n));
    putUcs2(b, text.substr(0, n));
}

void Reader::need(size_t n) const
{
    if (data_.size() - pos_ < n)
        throw ProtocolError("message ends early");
}

uint8_t Reader::u8()
{
    need(1);
    return data_[pos_++];
}

uint16_t Reader::u16()
{
    need(2);
    const uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
}

uint32_t Reader::u32()
{
    const uint32_t lo = u16();
    return lo | (static_cast<uint32_t>(u16()) << 16);
}

uint64_t Reader::u64()
{
    const uint64_t lo = u32();
    return lo | (static_cast<uint64_t>(u32()) << 32);
}

Bytes Reader::bytes(size_t n)
{
    need(n);
    Bytes out(data_.begin() + static_cast<std::ptrdiff_t>(pos_), data_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return out;
}

std::u16string Reader::ucs2(size_t chars)
{
    need(chars * 2);
    std::u16string out;
    out.reserve(chars);
    for (size_t i = 0; i < chars; ++i)
        out.push_back(static_cast<char16_t>(u16()));
    return out;
}

void Reader::skip(size_t n)
{
    need(n);
    pos_ += n;
}

Socket::Socket(int fd) : fd_(fd) {}

Socket::~Socket()
{
    stopTls();
    ::close(fd_);
}

void Socket::startTls(ssl_st* session) { tls_ = session; }

void Socket::stopTls()
{
    SSL_free(tls_);
    tls_ = nullptr;
}

bool Socket::fill(bool block)
{
    if (!tls_)
        return receive(block);
    const size_t before = in_.size();
    if (!receive(block))
        return false;
    uint8_t clear[16384];
    for (;;) {
        const int n = SSL_read(tls_, clear, sizeof clear);
        if (n > 0) {
            in_.insert(in_.end(), clear, clear + n);
            continue;
        }
        if (SSL_get_error(tls_, n) != SSL_ERROR_WANT_READ)
            throw ProtocolError("TLS record rejected");
        break;
    }
    // A partial record yields nothing yet; a blocking caller reads on.
    return in_.size() > before || block;
}

void Socket::flushTls()
{
    BIO* out = SSL_get_wbio(tls_);
    uint8_t chunk[16384];
    for (int n; (n = BIO_read(out, chunk, sizeof chunk)) > 0;)
        sendRaw(chunk, static_cast<size_t>(n));
}

bool Socket::receive(bool block)
{
    if (!block) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0)
            return false;
    }
    uint8_t chunk[16384];
    for (;;) {
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            if (tls_)
                BIO_write(SSL_get_rbio(tls_), chunk, static_cast<int>(n));
            else
                in_.insert(in_.end(), chunk, chunk + n);
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return false;
    }
}

bool Socket::popPacket(Message& into, bool& last)
{
    if (in_.size() < 8)
        return false;
    const size_t length = static_cast<size_t>(in_[2] << 8 | in_[3]);
    if (length < 8)
        throw ProtocolError("packet length below header size");
    if (in_.size() < length)
        return false;
    into.type = in_[0];
    last = (in_[1] & 0x01) != 0;
    into.data.insert(into.data.end(), in_.begin() + 8, in_.begin() + static_cast<std::ptrdiff_t>(length));
    in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(length));
    return true;
}

bool Socket::readMessage(Message& message)
{
    message = Message{};
    for (;;) {
        bool last = false;
        Message packet;
        while (!popPacket(packet, last)) {
            if (!fill(true))
                return false;
        }
        if (packet.type == kAttention) {
            if (message.data.empty()) {
                message.type = kAttention;
                return true;
            }
            attention_ = true;
            continue;
        }
        message.type = packet.type;
        message.data.insert(message.data.end(), packet.data.begin(), packet.data.end());
        if (last)
            return true;
    }
}

bool Socket::attentionPending()
{
    if (attention_)
        return true;
    while (fill(false)) {
    }
    // Only a packet at the front can be an attention: without MARS nothing else is sent meanwhile.
    if (in_.size() >= 8 && in_[0] == kAttention) {
        const size_t length = static_cast<size_t>(in_[2] << 8 | in_[3]);
        if (in_.size() >= length && length >= 8) {
            in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(length));
            attention_ = true;
        }
    }
    return attention_;
}

bool Socket::takeAttention()
{
    const bool was = attentionPending();
    attention_ = false;
    return was;
}

void Socket::sendAll(const uint8_t* data, size_t n)
{
    if (!tls_) {
        sendRaw(data, n);
        return;
    }
    if (n > 0 && SSL_write(tls_, data, static_cast<int>(n)) <= 0)
        throw ProtocolError("TLS write failed");
    flushTls();
}

void Socket::sendRaw(const uint8_t* data, size_t n)
{
    while (n > 0) {
        const ssize_t sent = ::send(fd_, data, n, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            throw ProtocolError(std::string("send failed: ") + std::strerror(errno));
        }
        data += sent;
        n -= static_cast<size_t>(sent);
    }
}

ReplyWriter::ReplyWriter(Socket& socket, uint16_t spid, size_t packetSize)
    : socket_(socket), spid_(spid), packetSize_(packetSize)
{
    buffer_.reserve(packetSize_);
    buffer_.resize(8);
}

void ReplyWriter::append(const Bytes& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const size_t room = packetSize_ - buffer_.size();
        const size_t n = std::min(room, data.size() - done);
        buffer_.insert(buffer_.end(), data.begin() + static_cast<std::ptrdiff_t>(done),
                       data.begin() + static_cast<std::ptrdiff_t>(done + n));
        done += n;
        if (buffer_.size() == packetSize_)
            send(false);
    }
}

void ReplyWriter::finish() { send(true); }

void ReplyWriter::send(bool last)
{
    const size_t length = buffer_.size();
    buffer_[0] = kReply;
    buffer_[1] = last ? 0x01 : 0x00;
    buffer_[2] = static_cast<uint8_t>(length >> 8);
    buffer_[3] = static_cast<uint8_t>(length);
    buffer_[4] = static_cast<uint8_t>(spid_ >> 8);
    buffer_[5] = static_cast<uint8_t>(spid_);
    buffer_[6] = packetId_++;
    buffer_[7] = 0;
    socket_.sendAll(buffer_.data(), length);
    buffer_.resize(8);
    if (!last && socket_.attentionPending())
        cancelled_ = true;
}

} // namespace demo
