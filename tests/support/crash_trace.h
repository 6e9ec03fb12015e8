// A crash in a test process reports the crashing thread and its frames in a few lines, then
// ends the process at once. A debugger's dump of every thread runs to thousands of lines, of
// which a test log keeps the beginning and the end; the crashing thread is somewhere between.
#pragma once

#include <execinfo.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace crash_trace {

inline void write2(const char* text, int length) {
    while (length > 0) {
        const ssize_t done = ::write(2, text, size_t(length));
        if (done <= 0)
            return;
        text += done;
        length -= int(done);
    }
}

inline void report(int signum) {
    char name[17] = {};
    ::prctl(PR_GET_NAME, name);
    char line[160];
    const int n = std::snprintf(line, sizeof line, "\n=== signal %d in thread \"%s\" (%ld) ===\n",
                                signum, name, long(::gettid()));
    write2(line, n);
    void* frames[64];
    ::backtrace_symbols_fd(frames, ::backtrace(frames, 64), 2);
    const char end[] = "=== end of crash trace ===\n";
    write2(end, int(sizeof end) - 1);
}

inline void onFatalSignal(int signum) {
    report(signum);
    // The handler was reset on entry: raising again ends the process with the signal's own
    // default action.
    ::raise(signum);
}

// Replaces the test library's own crash handling (pass "-nocrashhandler" to the test run).
inline void install() {
    void* warm[1];
    ::backtrace(warm, 1);  // loads the unwinder now, not inside the handler
    struct sigaction action = {};
    action.sa_handler = &onFatalSignal;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (int signum : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP})
        ::sigaction(signum, &action, nullptr);
}

}  // namespace crash_trace
