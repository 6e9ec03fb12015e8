#include "app/startup_arguments.h"

const std::vector<QByteArray>& StartupArguments::webEngineSwitches() {
    static const std::vector<QByteArray> switches = {
        QByteArrayLiteral("--ppapi-flash-path=./pepflashplayer32_33_0_0_401.dll"),
        QByteArrayLiteral("--ppapi-flash-version=33.0.0.401"),
        QByteArrayLiteral("--disable-web-security"),
    };
    return switches;
}

StartupArguments::StartupArguments(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        storage_.emplace_back(argv[i]);
    }
    for (const QByteArray& extra : webEngineSwitches()) {
        storage_.push_back(extra);
    }
    for (QByteArray& arg : storage_) {
        pointers_.push_back(arg.data());
    }
    count_ = int(storage_.size());
    pointers_.push_back(nullptr);  // argv[argc] is a null pointer by convention
}
