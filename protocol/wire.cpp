#include "protocol/wire.h"

namespace vqp {

void encodeHello(const Hello& h, std::string& out) {
    Writer w(out);
    w.u32(h.magic);
    w.u16(h.major);
    w.u16(h.minor);
    w.u16(h.patch);
    w.u16(uint16_t(h.role));
}

bool decodeHello(const char* data, size_t len, Hello& h) {
    if (len < kHelloSize)
        return false;
    Reader r(data, kHelloSize);
    h.magic = r.u32();
    h.major = r.u16();
    h.minor = r.u16();
    h.patch = r.u16();
    uint16_t role = r.u16();
    if (!r.ok() || h.magic != kMagic ||
        (role != uint16_t(Role::Client) && role != uint16_t(Role::Server)))
        return false;
    h.role = Role(role);
    return true;
}

void Writer::str(const std::string& s) {
    u32(uint32_t(s.size()));
    out_.append(s);
}

std::string Reader::str(size_t maxLen) {
    uint32_t n = u32();
    if (!ok_ || n > maxLen || n > remaining()) {
        ok_ = false;
        return {};
    }
    std::string s(p_, n);
    p_ += n;
    return s;
}

bool Reader::raw(void* dst, size_t n) {
    if (!ok_ || n > remaining()) {
        ok_ = false;
        std::memset(dst, 0, n);
        return false;
    }
    std::memcpy(dst, p_, n);
    p_ += n;
    return true;
}

size_t beginFrame(std::string& out, Msg type) {
    size_t start = out.size();
    Writer w(out);
    w.u32(0);
    w.u16(uint16_t(type));
    return start;
}

void finishFrame(std::string& out, size_t start) {
    uint32_t len = uint32_t(out.size() - start - 4);
    std::memcpy(&out[start], &len, 4);
}

FrameDecoder::Result FrameDecoder::next(Frame& f) {
    if (failed_)
        return Result::Error;
    size_t avail = buf_.size() - pos_;
    if (avail < 4)
        return Result::NeedMore;
    uint32_t len;
    std::memcpy(&len, buf_.data() + pos_, 4);
    if (len < 2 || len > kMaxFrameBody) {
        failed_ = true;
        return Result::Error;
    }
    if (avail - 4 < len)
        return Result::NeedMore;
    uint16_t type;
    std::memcpy(&type, buf_.data() + pos_ + 4, 2);
    f.type = Msg(type);
    f.body.assign(buf_.data() + pos_ + 6, len - 2);
    pos_ += 4 + len;
    // Compact once the consumed prefix dominates, so a long-lived connection does not grow.
    if (pos_ > 65536 && pos_ * 2 > buf_.size()) {
        buf_.erase(0, pos_);
        pos_ = 0;
    }
    return Result::Frame;
}

}  // namespace vqp
