#pragma once

#include <QString>

namespace bridge {

// A stable identifier of the processor: its feature word (EDX) and signature word (EAX) of
// CPUID leaf 1, as 16 upper-case hexadecimal digits. Cached after the first non-empty result.
QString processorId();

// The serial number of the first disk of the machine, read from sysfs or the udev database.
// Cached after the first non-empty result; "" when the system does not expose one.
QString firstDiskSerial();

// The raw lookups behind the two identifiers, uncached (for tests and diagnostics).
QString readProcessorId();
QString readDiskSerial(const QString& sysBlockDir, const QString& udevDataDir);

}  // namespace bridge
