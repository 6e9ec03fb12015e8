#pragma once

// The backend as a process of its own on free loopback ports, with a fresh data folder, the
// demo account and the always-open demo market, for tests that talk to the real server.

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <csignal>

// The server goes with the test process however that ends, and inherits none of its
// descriptors. A test that crashes must not leave a server behind holding the test's pipes, or
// the sockets of the web engine's helper processes, which then never see their browser go and
// keep the test runner's output open until its time-out.
class TestChildProcess : public QProcess {
protected:
    void setupChildProcess() override {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
            for (int fd = 3; fd < 4096; ++fd) {
                const int flags = ::fcntl(fd, F_GETFD);
                if (flags >= 0)
                    ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
            }
        }
    }
};

class ServerProcess {
public:
    // `extra` goes after the serve arguments (say, "--clock demo" for a market in session).
    explicit ServerProcess(const QString& program, const QStringList& extra = {})
        : program_(program), extra_(extra) {}
    ~ServerProcess() { stop(); }

    // Starts the server and waits (at most thirty seconds) until its HTTP port accepts
    // connections. False when it did not come up; log() says why.
    bool start() {
        httpPort_ = freePort();
        quotePort_ = freePort();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&process_, &QProcess::readyRead, [this] { log_ += process_.readAll(); });
        process_.start(program_,
                       QStringList{"serve", "--data", data_.path(), "--http",
                                   QStringLiteral("127.0.0.1:%1").arg(httpPort_), "--quote",
                                   QStringLiteral("127.0.0.1:%1").arg(quotePort_), "--demo"}
                           << extra_);
        if (!process_.waitForStarted(10000))
            return false;
        // Building the market takes seconds, more on a machine busy with other builds.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 30000 && process_.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, httpPort_);
            if (probe.waitForConnected(100))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }

    bool running() const { return process_.state() == QProcess::Running; }
    QByteArray controlUrl() const {
        return QByteArray("http://127.0.0.1:") + QByteArray::number(httpPort_);
    }
    // Where the quote service listens ("127.0.0.1:port").
    QString quoteAddress() const { return QStringLiteral("127.0.0.1:%1").arg(quotePort_); }
    quint16 quotePort() const { return quotePort_; }
    QString log() const { return QString::fromUtf8(log_); }
    QString dataPath() const { return data_.path(); }

    static quint16 freePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private:
    QString program_;
    QStringList extra_;
    QTemporaryDir data_;
    TestChildProcess process_;
    QByteArray log_;
    quint16 httpPort_ = 0;
    quint16 quotePort_ = 0;
};
