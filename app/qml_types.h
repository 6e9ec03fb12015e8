#pragma once

// Registers every class the views use with the QML engine, in one fixed order, before the
// first engine exists.
void registerQmlTypes();
