// The quote table and the quote panel against a real server: the harness drives a ranking
// with keys, mouse and wheel, watches the panel fill and go live, and writes screenshots
// under the build folder.

#include <QtQuickTest>

#include "tests/support/live_harness_setup.h"

QUICK_TEST_MAIN_WITH_SETUP(table_harness, LiveHarnessSetup)
