#include "bridge/gzip_body.h"

#include <zlib.h>

namespace bridge {

namespace {

// Deflate cannot expand by more than about 1032:1, so a trailer claiming more than that is a
// lie; capping the buffer keeps a hostile body from making us allocate gigabytes.
constexpr qint64 kMaxInflateRatio = 1032;

bool inflateGzip(const QByteArray& body, quint32 expected, QByteArray* out) {
    const qint64 cap = qint64(body.size()) * kMaxInflateRatio + 64;
    const qint64 size = qMin<qint64>(expected, cap);
    out->resize(int(qMin<qint64>(size, 0x7fffffff)));

    z_stream stream{};
    // 16 + MAX_WBITS: zlib parses the RFC 1952 header itself, skipping the optional extra,
    // name, comment and header-CRC fields.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.constData()));
    stream.avail_in = uInt(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(out->data());
    stream.avail_out = uInt(out->size());
    const int rc = inflate(&stream, Z_FINISH);
    const qint64 produced = qint64(stream.total_out);
    inflateEnd(&stream);
    if (rc != Z_STREAM_END && rc != Z_BUF_ERROR && rc != Z_OK) {
        return false;
    }
    out->resize(int(produced));
    return true;
}

}  // namespace

QString decodeResponseBody(const QByteArray& body) {
    const bool gzip = body.size() >= 18 && quint8(body[0]) == 0x1f && quint8(body[1]) == 0x8b &&
                      quint8(body[2]) == 8;
    if (gzip) {
        const auto* tail = reinterpret_cast<const quint8*>(body.constData() + body.size() - 4);
        const quint32 size = quint32(tail[0]) | quint32(tail[1]) << 8 | quint32(tail[2]) << 16 |
                             quint32(tail[3]) << 24;
        QByteArray plain;
        if (size > 0 && inflateGzip(body, size, &plain)) {
            return QString::fromUtf8(plain);
        }
    }
    return QString::fromUtf8(body);
}

}  // namespace bridge
