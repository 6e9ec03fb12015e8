// The chart stack of the quote view against a real server, for looking at: the harness shows
// the main chart with its sub-charts at 1600 x 1000 and writes one screenshot per chart kind
// and per main-pane formula under the build folder.

#include <QtQuickTest>

#include "tests/support/live_harness_setup.h"

QUICK_TEST_MAIN_WITH_SETUP(chart_harness, LiveHarnessSetup)
