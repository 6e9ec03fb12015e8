#include "app/crash_reporter.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "bridge/data_folder.h"

namespace crash {

namespace {

// Everything the handler needs is prepared here at install time: a signal handler may only
// call async-signal-safe functions, so no allocation, no Qt, no stdio.
char g_dir[4096];
char g_header[1024];
size_t g_headerLength = 0;
char g_altStack[64 * 1024];
const int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

size_t appendText(char* out, size_t at, size_t cap, const char* text) {
    while (*text && at + 1 < cap) {
        out[at++] = *text++;
    }
    out[at] = '\0';
    return at;
}

size_t appendNumber(char* out, size_t at, size_t cap, unsigned long long value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value && n < 24);
    while (n > 0 && at + 1 < cap) {
        out[at++] = digits[--n];
    }
    out[at] = '\0';
    return at;
}

const char* signalName(int sig) {
    switch (sig) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGILL:
            return "SIGILL";
        case SIGFPE:
            return "SIGFPE";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "signal";
    }
}

void writeAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n <= 0) {
            return;
        }
        data += n;
        length -= size_t(n);
    }
}

void onFatalSignal(int sig) {
    char base[4200];
    size_t at = appendText(base, 0, sizeof base, g_dir);
    at = appendText(base, at, sizeof base, "/crash-");
    at = appendNumber(base, at, sizeof base, (unsigned long long)::time(nullptr));
    at = appendText(base, at, sizeof base, "-");
    at = appendNumber(base, at, sizeof base, (unsigned long long)::getpid());
    char finalPath[4300];
    char partPath[4300];
    appendText(finalPath, appendText(finalPath, 0, sizeof finalPath, base), sizeof finalPath,
               ".txt");
    appendText(partPath, appendText(partPath, 0, sizeof partPath, base), sizeof partPath,
               ".txt.part");

    const int fd = ::open(partPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        writeAll(fd, g_header, g_headerLength);
        char line[128];
        size_t n = appendText(line, 0, sizeof line, "signal: ");
        n = appendNumber(line, n, sizeof line, (unsigned long long)sig);
        n = appendText(line, n, sizeof line, " (");
        n = appendText(line, n, sizeof line, signalName(sig));
        n = appendText(line, n, sizeof line, ")\nbacktrace:\n");
        writeAll(fd, line, n);
        void* frames[128];
        const int count = ::backtrace(frames, 128);
        ::backtrace_symbols_fd(frames, count, fd);
        ::fsync(fd);
        ::close(fd);
        // Only a complete report carries the final name, so it is never sent half written.
        ::rename(partPath, finalPath);
    }
    // Let the default action end the process (and produce a core file where enabled).
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

}  // namespace

bool installCrashReporter(const QString& appName, const QString& appVersion,
                          const QString& reportDir) {
    if (!QDir().mkpath(reportDir)) {
        return false;
    }
    const QByteArray dir = QFile::encodeName(QFileInfo(reportDir).absoluteFilePath());
    if (size_t(dir.size()) >= sizeof g_dir - 64) {
        return false;
    }
    std::memcpy(g_dir, dir.constData(), size_t(dir.size()) + 1);
    const QByteArray header = QStringLiteral("application: %1\nversion: %2\n")
                                  .arg(appName, appVersion)
                                  .toUtf8()
                                  .left(int(sizeof g_header) - 1);
    std::memcpy(g_header, header.constData(), size_t(header.size()) + 1);
    g_headerLength = size_t(header.size());

    // backtrace() loads its unwinder lazily, which allocates; do that now, not in the handler.
    void* warmUp[4];
    ::backtrace(warmUp, 4);

    stack_t stack{};
    stack.ss_sp = g_altStack;
    stack.ss_size = sizeof g_altStack;
    ::sigaltstack(&stack, nullptr);  // so a stack overflow can still be reported

    struct sigaction action {};
    action.sa_handler = &onFatalSignal;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals) {
        ::sigaction(sig, &action, nullptr);
    }
    return true;
}

QStringList pendingReports(const QString& reportDir) {
    QDir dir(reportDir);
    QStringList files =
        dir.entryList({QStringLiteral("crash-*.txt")}, QDir::Files, QDir::Time | QDir::Reversed);
    for (QString& file : files) {
        file = dir.filePath(file);
    }
    return files;
}

QString defaultReportDir() {
    return bridge::dataFolder() + QStringLiteral("/crashes");
}

}  // namespace crash
