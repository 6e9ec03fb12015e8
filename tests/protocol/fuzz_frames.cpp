// libFuzzer target: arbitrary bytes through the frame decoder and every message decoder.
// Nothing may crash, hang or read outside the input.
#include "protocol/messages.h"

static void decodeBody(const std::string& body) {
    vqp::Request r;
    vqp::decodeRequest(body, r);
    uint32_t id;
    vqp::decodeCancel(body, id);
    std::vector<vqp::CodeInfo> codes;
    vqp::decodeCodeList(body, codes);
    vqp::ErrorMsg e;
    vqp::decodeError(body, e);
    std::string name;
    int64_t t;
    vqp::decodeServerInfo(body, name, t);
    std::vector<vqp::BlockIndexEntry> blocks;
    vqp::decodeBlockIndex(body, blocks);
    vqp::Reader rd(body.data(), body.size());
    vqp::ReplyHeader h;
    if (!vqp::decodeReplyHeader(rd, h))
        return;
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    // The input as one frame body, so the message decoders see deep inputs without the
    // fuzzer first having to find a matching length prefix...
    decodeBody(std::string(bytes, size));
    // ...and as a byte stream through the frame decoder, fed in two pieces.
    vqp::FrameDecoder d;
    size_t half = size ? data[0] % (size + 1) : 0;
    d.feed(bytes, half);
    d.feed(bytes + half, size - half);
    vqp::Frame f;
    int frames = 0;
    while (d.next(f) == vqp::FrameDecoder::Result::Frame && frames++ < 64)
        decodeBody(f.body);
    vqp::Hello hello;
    vqp::decodeHello(bytes, size, hello);
    return 0;
}
