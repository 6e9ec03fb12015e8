#pragma once

#include <QByteArray>
#include <vector>

// The process arguments followed by the three web-engine switches. The storage outlives the
// application object, which keeps pointers into it.
class StartupArguments {
public:
    StartupArguments(int argc, char** argv);

    int& count() { return count_; }
    char** values() { return pointers_.data(); }

    static const std::vector<QByteArray>& webEngineSwitches();

private:
    std::vector<QByteArray> storage_;
    std::vector<char*> pointers_;
    int count_ = 0;
};
