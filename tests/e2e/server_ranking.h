// A block's ranking as the server sees it, asked for on a connection of its own (not the
// terminal's quote engine): every member's snapshot in the block's own order, ranked here by
// one snapshot value, ties kept in member order as the server keeps them.
#pragma once

#include "protocol/messages.h"

#include <QTcpSocket>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace probe {

struct RankedSecurity {
    QString code;
    int market = 0;
    bool operator==(const RankedSecurity& o) const { return market == o.market && code == o.code; }
};

class ServerRanking : public QObject {
public:
    using Value = std::function<double(const vqp::Snapshot&)>;

    // `address` is "host:port" of the quote service.
    explicit ServerRanking(const QString& address) {
        const int colon = address.lastIndexOf(QLatin1Char(':'));
        host_ = address.left(colon);
        port_ = quint16(address.mid(colon + 1).toUInt());
        connect(&socket_, &QTcpSocket::readyRead, this, &ServerRanking::read);
        connect(&socket_, &QTcpSocket::connected, this, [this] {
            std::string hello;
            vqp::encodeHello(vqp::Hello{}, hello);
            socket_.write(hello.data(), qint64(hello.size()));
            if (pending_)
                send();
        });
    }

    // Asks for the members of `block` now; ready() holds once they arrived.
    void fetch(uint32_t block) {
        block_ = block;
        ready_ = false;
        pending_ = true;
        if (socket_.state() == QAbstractSocket::UnconnectedState)
            socket_.connectToHost(host_, port_);
        else if (socket_.state() == QAbstractSocket::ConnectedState)
            send();
    }
    bool ready() const { return ready_; }

    // The members ranked by `value`, highest first unless `ascending`.
    std::vector<RankedSecurity> ranked(const Value& value, bool ascending) const {
        std::vector<double> key(rows_.size());
        for (size_t i = 0; i < rows_.size(); ++i)
            key[i] = value(rows_[i]);
        std::vector<size_t> order(rows_.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return ascending ? key[a] < key[b] : key[a] > key[b];
        });
        std::vector<RankedSecurity> out;
        out.reserve(order.size());
        for (size_t i : order) {
            const vqp::CodeInfo& info = rows_[i].info;
            out.push_back({QString::fromUtf8(info.code, int(qstrnlen(info.code, sizeof info.code))),
                           int(info.market)});
        }
        return out;
    }
    size_t size() const { return rows_.size(); }

private:
    void send() {
        pending_ = false;
        vqp::Request r;
        r.id = ++id_;
        r.action = vqp::Action::Request;
        r.type = vqp::TypeSeries;
        r.period = vqp::PeriodSnapshot;
        r.block = block_;
        r.option = vqp::OptionBlockRanking;
        r.sortMode = 2;  // the block's own order
        r.pageSize = 0;  // every member
        std::string frame;
        vqp::encodeRequest(r, frame);
        socket_.write(frame.data(), qint64(frame.size()));
    }
    void read() {
        QByteArray bytes = socket_.readAll();
        if (hello_ < vqp::kHelloSize) {
            const int skip = int(std::min<size_t>(vqp::kHelloSize - hello_, size_t(bytes.size())));
            hello_ += size_t(skip);
            bytes.remove(0, skip);
        }
        decoder_.feed(bytes.constData(), size_t(bytes.size()));
        vqp::Frame f;
        while (decoder_.next(f) == vqp::FrameDecoder::Result::Frame) {
            if (f.type != vqp::Msg::Reply)
                continue;
            vqp::Reader reader(f.body.data(), f.body.size());
            vqp::ReplyHeader h;
            vqp::SnapshotPage page;
            if (!vqp::decodeReplyHeader(reader, h) || h.id != id_ ||
                h.kind != vqp::ReplyKind::Snapshot || !vqp::decodeSnapshots(reader, page))
                continue;
            rows_ = std::move(page.rows);
            ready_ = true;
        }
    }

    QTcpSocket socket_;
    QString host_;
    quint16 port_ = 0;
    size_t hello_ = 0;
    vqp::FrameDecoder decoder_;
    uint32_t block_ = 0;
    uint32_t id_ = 0;
    bool pending_ = false;
    bool ready_ = false;
    std::vector<vqp::Snapshot> rows_;
};

}  // namespace probe
