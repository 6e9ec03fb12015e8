#pragma once

// A throw-away PostgreSQL cluster for the storage tests: initdb into a temporary folder,
// started on a free loopback port, removed afterwards. As root the server binaries must run
// as an unprivileged user, so they are started through runuser as "postgres" (or "nobody").

#include <pwd.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

class PgCluster {
public:
    ~PgCluster() { stop(); }

    // False with a reason when no cluster can be started on this machine.
    bool start(QString* why) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/15/bin");
        if (!QFile::exists(bin + "/initdb") || !QFile::exists(bin + "/pg_ctl")) {
            *why = QStringLiteral("PostgreSQL 15 server binaries are not installed");
            return false;
        }
        if (!dir_.isValid()) {
            *why = QStringLiteral("no temporary folder");
            return false;
        }
        data_ = dir_.path() + "/data";
        if (geteuid() == 0) {
            for (const char* candidate : {"postgres", "nobody"}) {
                if (struct passwd* pw = getpwnam(candidate)) {
                    user_ = QString::fromLatin1(candidate);
                    if (chown(dir_.path().toLocal8Bit().constData(), pw->pw_uid, pw->pw_gid) != 0) {
                        *why = QStringLiteral("cannot hand the temporary folder to %1").arg(user_);
                        return false;
                    }
                    break;
                }
            }
            if (user_.isEmpty()) {
                *why = QStringLiteral(
                    "running as root without an unprivileged user to run PostgreSQL");
                return false;
            }
        }
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        QString out;
        if (!run({bin + "/initdb", "-D", data_, "-A", "trust", "-U", "vq", "-E", "UTF8",
                  "--no-locale", "--no-sync"},
                 &out)) {
            *why = QStringLiteral("initdb failed: ") + out;
            return false;
        }
        const QString options =
            QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                .arg(port_)
                .arg(dir_.path());
        if (!run({bin + "/pg_ctl", "-D", data_, "-o", options, "-l", dir_.path() + "/log", "-w",
                  "-t", "30", "start"},
                 &out)) {
            *why = QStringLiteral("pg_ctl start failed: ") + out;
            return false;
        }
        started_ = true;
        return true;
    }

    void stop() {
        if (started_) {
            QString out;
            run({QStringLiteral("/usr/lib/postgresql/15/bin/pg_ctl"), "-D", data_, "-m",
                 "immediate", "-w", "stop"},
                &out);
            started_ = false;
        }
    }

    // Restarts the server: every open connection is cut.
    bool restart() {
        QString out;
        return run({QStringLiteral("/usr/lib/postgresql/15/bin/pg_ctl"), "-D", data_, "-m", "fast",
                    "-w", "-t", "30", "restart"},
                   &out);
    }

    int port() const { return port_; }
    QString url() const { return QStringLiteral("postgres://vq@127.0.0.1:%1/postgres").arg(port_); }

private:
    bool run(QStringList command, QString* out) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(dir_.path());
        if (!user_.isEmpty()) {
            command = QStringList{"-u", user_, "--"} + command;
            p.start(QStringLiteral("runuser"), command);
        } else {
            const QString program = command.takeFirst();
            p.start(program, command);
        }
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
        }
        *out = QString::fromLocal8Bit(p.readAll()).trimmed().right(400);
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir dir_;
    QString data_, user_;
    int port_ = 0;
    bool started_ = false;
};
