// Framing of the quote protocol shared by libquote and the quote service.
//
// A connection starts with a hello in each direction, then carries frames:
//   u32 body length (little-endian, counts the type and the payload) | u16 type | payload
// Every integer on the wire is little-endian; fixed-size records are sent as their exact
// byte image (see records.h), so both ends must agree on the layouts checked there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vqp {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the wire format is little-endian");

constexpr uint32_t kMagic = 0x50515156;  // "VQQP" read as bytes
constexpr uint16_t kVersionMajor = 1;
constexpr uint16_t kVersionMinor = 19;
constexpr uint16_t kVersionPatch = 0;
constexpr size_t kHelloSize = 4 + 2 + 2 + 2 + 2;  // magic, major, minor, patch, role
// Upper bound of one frame body. A full code list or a 9999-bar K-line is well below it;
// anything larger is a corrupt or hostile stream and closes the connection.
constexpr uint32_t kMaxFrameBody = 32u * 1024u * 1024u;

enum class Role : uint16_t { Client = 1, Server = 2 };

// Frame types. Client to server: Request, Cancel, Ping. Server to client: the rest.
enum class Msg : uint16_t {
    Request = 1,  // one request or subscription of a context
    Cancel = 2,   // stop replies of a context
    Ping = 3,
    Pong = 4,
    Reply = 10,     // data for a context
    CodeList = 11,  // every security the service knows; sent after each connect
    Error = 12,     // a request that could not be answered
    ServerInfo = 13,
    BlockIndex = 14,  // the block each index or block security stands for; after the code list
};

struct Hello {
    uint32_t magic = kMagic;
    uint16_t major = kVersionMajor;
    uint16_t minor = kVersionMinor;
    uint16_t patch = kVersionPatch;
    Role role = Role::Client;
};

void encodeHello(const Hello& h, std::string& out);
// False when the bytes are not a hello of this protocol.
bool decodeHello(const char* data, size_t len, Hello& h);
// A peer is compatible when it speaks the same major version.
inline bool compatible(const Hello& h) {
    return h.magic == kMagic && h.major == kVersionMajor;
}

// Appends little-endian values to a byte string.
class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}
    void u8(uint8_t v) { out_.push_back(char(v)); }
    void i8(int8_t v) { u8(uint8_t(v)); }
    void u16(uint16_t v) { raw(&v, 2); }
    void i16(int16_t v) { raw(&v, 2); }
    void u32(uint32_t v) { raw(&v, 4); }
    void i32(int32_t v) { raw(&v, 4); }
    void i64(int64_t v) { raw(&v, 8); }
    void f32(float v) { raw(&v, 4); }
    void f64(double v) { raw(&v, 8); }
    void str(const std::string& s);  // u32 length + bytes
    void raw(const void* p, size_t n) { out_.append(static_cast<const char*>(p), n); }
    size_t size() const { return out_.size(); }
    std::string& buffer() { return out_; }

private:
    std::string& out_;
};

// Reads little-endian values with bounds checks. A read past the end sets the failure flag
// and yields zeros, so a decoder can read a whole message and check ok() once at the end.
class Reader {
public:
    Reader(const char* data, size_t len) : p_(data), end_(data + len) {}
    uint8_t u8() {
        uint8_t v = 0;
        raw(&v, 1);
        return v;
    }
    int8_t i8() { return int8_t(u8()); }
    uint16_t u16() {
        uint16_t v = 0;
        raw(&v, 2);
        return v;
    }
    int16_t i16() {
        int16_t v = 0;
        raw(&v, 2);
        return v;
    }
    uint32_t u32() {
        uint32_t v = 0;
        raw(&v, 4);
        return v;
    }
    int32_t i32() {
        int32_t v = 0;
        raw(&v, 4);
        return v;
    }
    int64_t i64() {
        int64_t v = 0;
        raw(&v, 8);
        return v;
    }
    float f32() {
        float v = 0;
        raw(&v, 4);
        return v;
    }
    double f64() {
        double v = 0;
        raw(&v, 8);
        return v;
    }
    std::string str(size_t maxLen = 1u << 20);
    bool raw(void* dst, size_t n);
    // Checks that n records of a given size can still be read, before anything is allocated.
    bool canRead(size_t count, size_t size) const {
        return ok_ && (size == 0 || count <= remaining() / size);
    }
    size_t remaining() const { return size_t(end_ - p_); }
    bool ok() const { return ok_; }
    void fail() { ok_ = false; }

private:
    const char* p_;
    const char* end_;
    bool ok_ = true;
};

// Starts a frame in `out`; finishFrame() patches the length once the payload is written.
size_t beginFrame(std::string& out, Msg type);
void finishFrame(std::string& out, size_t start);

struct Frame {
    Msg type{};
    std::string body;  // payload after the type
};

// Incremental decoder of a byte stream into frames. Bytes arrive in arbitrary pieces.
class FrameDecoder {
public:
    enum class Result { Frame, NeedMore, Error };
    void feed(const char* data, size_t len) { buf_.append(data, len); }
    // Extracts the next complete frame. Error is sticky: the stream cannot be resynchronised.
    Result next(Frame& f);
    size_t buffered() const { return buf_.size() - pos_; }

private:
    std::string buf_;
    size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace vqp
