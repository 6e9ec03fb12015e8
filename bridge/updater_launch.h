#pragma once

#include <QString>

namespace bridge {

// The updater program's file name in the working directory on this platform.
QString updaterFileName();

// Copies the updater next to itself (so it can replace the original while it runs) and starts
// the copy detached with the terminal's executable name, "version.json" and the update
// manifest URL. False when the updater is missing or could not be started.
bool launchUpdater();

}  // namespace bridge
