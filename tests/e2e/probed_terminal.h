// Runs the real terminal as its own process against a running server, with a probe preloaded
// into it that drives it and reports each step on the terminal's output ("probe: …").
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/server_process.h"

// Starts the terminal with a fresh data folder and waits (at most three minutes) until it
// ends; returns its exit code and leaves what it printed in `output`. `extra` adds to its
// environment.
inline int runProbedTerminal(const ServerProcess& server, const QString& terminalPath,
                             const QString& probePath, const QProcessEnvironment& extra,
                             QByteArray& output) {
    QTemporaryDir home;
    if (!home.isValid())
        return -1;
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.path() + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_RUNTIME_DIR", home.path() + "/runtime");
    env.insert("VELTOQUORIN_CONTROL_URL", QString::fromUtf8(server.controlUrl()));
    env.insert("TZ", "Asia/Shanghai");
    env.insert("QT_LOGGING_RULES", "vq.timing.info=true");
    env.insert("LD_PRELOAD", probePath);
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));

    TestChildProcess terminal;
    terminal.setProcessEnvironment(env);
    terminal.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&terminal, &QProcess::readyRead, [&] { output += terminal.readAll(); });
    terminal.start(terminalPath, QStringList());
    if (!terminal.waitForStarted(10000))
        return -1;
    const bool ended =
        QTest::qWaitFor([&] { return terminal.state() == QProcess::NotRunning; }, 180000);
    if (!ended) {
        terminal.kill();
        terminal.waitForFinished();
    }
    output += terminal.readAll();
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith("probe:") || line.contains("vq.timing"))
            qInfo().noquote() << QString::fromUtf8(line);
    return terminal.exitStatus() == QProcess::NormalExit ? terminal.exitCode() : -1;
}
