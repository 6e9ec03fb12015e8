// Installs the crash reporter into the folder given as the argument and then crashes.

#include <csignal>
#include <cstdio>

#include <QString>

#include "app/crash_reporter.h"

namespace {
// Not inlined, so the backtrace names a function of ours.
__attribute__((noinline)) void crashHere(int kind) {
    if (kind == 1) {
        volatile int* nowhere = nullptr;
        *nowhere = 42;
    }
    std::raise(SIGABRT);
}
}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        return 2;
    }
    if (!crash::installCrashReporter(QStringLiteral("VeltoQuorin"),
                                     QStringLiteral("velto_winpc_tax1_1.000006"),
                                     QString::fromLocal8Bit(argv[1]))) {
        return 3;
    }
    crashHere(argv[2][0] == 's' ? 1 : 2);
    return 0;
}
