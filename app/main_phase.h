#pragma once

#include <QString>

class SingleApplication;

// Everything after a successful login: the formula registry, the quote engine and its
// reference files, the security dictionary, and the main window until the program quits.
// Returns when the quote engine has been shut down.
void runMainPhase(SingleApplication& app, const QString& dataDir);
