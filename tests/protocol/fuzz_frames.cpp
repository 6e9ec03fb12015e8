// libFuzzer target: arbitrary bytes through the frame decoder and every message decoder.
// Nothing may crash, hang or read outside the input.
#include "protocol/messages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vqp::FrameDecoder d;
    // Feed in two pieces so the split handling is exercised too.
    size_t half = size ? data[0] % (size + 1) : 0;
    d.feed(reinterpret_cast<const char*>(data), half);
    d.feed(reinterpret_cast<const char*>(data) + half, size - half);
    vqp::Frame f;
    int frames = 0;
    while (d.next(f) == vqp::FrameDecoder::Result::Frame && frames++ < 64) {
        vqp::Request r;
        vqp::decodeRequest(f.body, r);
        uint32_t id;
        vqp::decodeCancel(f.body, id);
        std::vector<vqp::CodeInfo> codes;
        vqp::decodeCodeList(f.body, codes);
        vqp::ErrorMsg e;
        vqp::decodeError(f.body, e);
        std::string name;
        int64_t t;
        vqp::decodeServerInfo(f.body, name, t);
        vqp::Reader rd(f.body.data(), f.body.size());
        vqp::ReplyHeader h;
        if (vqp::decodeReplyHeader(rd, h)) {
            switch (h.kind) {
                case vqp::ReplyKind::Snapshot: {
                    vqp::SnapshotPage p;
                    vqp::decodeSnapshots(rd, p);
                    break;
                }
                case vqp::ReplyKind::Minute: {
                    vqp::MinuteBlock b;
                    vqp::decodeMinute(rd, b);
                    break;
                }
                case vqp::ReplyKind::KLine: {
                    vqp::KLineBlock b;
                    vqp::decodeKLine(rd, b);
                    break;
                }
                case vqp::ReplyKind::Ticks: {
                    vqp::TickBlock b;
                    vqp::decodeTicks(rd, b);
                    break;
                }
                case vqp::ReplyKind::Dividends: {
                    vqp::DividendBlock b;
                    vqp::decodeDividends(rd, b);
                    break;
                }
                case vqp::ReplyKind::Alerts: {
                    vqp::AlertList b;
                    vqp::decodeAlerts(rd, b);
                    break;
                }
            }
        }
    }
    vqp::Hello hello;
    vqp::decodeHello(reinterpret_cast<const char*>(data), size, hello);
    return 0;
}
