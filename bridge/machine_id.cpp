#include "bridge/machine_id.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace bridge {

namespace {

QString readTrimmed(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromLocal8Bit(file.readAll()).simplified();
}

// Whole disks only: partitions, loop devices, RAM disks, device-mapper volumes and optical
// drives are not "the first disk".
bool isPhysicalDisk(const QString& name) {
    static const QRegularExpression skip(QStringLiteral("^(loop|ram|zram|dm-|md|sr|fd|nbd)"));
    return !skip.match(name).hasMatch();
}

QString udevSerial(const QString& udevDataDir, const QString& devPath) {
    struct stat st {};
    if (::stat(QFile::encodeName(devPath).constData(), &st) != 0) {
        return QString();
    }
    const QString dataFile =
        QStringLiteral("%1/b%2:%3").arg(udevDataDir).arg(major(st.st_rdev)).arg(minor(st.st_rdev));
    QFile file(dataFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    QString shortSerial;
    QString longSerial;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("E:ID_SERIAL_SHORT=")) {
            shortSerial = QString::fromLocal8Bit(line.mid(18)).simplified();
        } else if (line.startsWith("E:ID_SERIAL=")) {
            longSerial = QString::fromLocal8Bit(line.mid(12)).simplified();
        }
    }
    return shortSerial.isEmpty() ? longSerial : shortSerial;
}

// Keeps the first non-empty answer of `lookup` for the rest of the process. Callers are on the
// GUI thread (and the start-up code before any other thread exists), so no lock is needed.
QString cached(QString& slot, QString (*lookup)()) {
    if (slot.isEmpty()) {
        slot = lookup();
    }
    return slot;
}

QString lookupDiskSerial() {
    return readDiskSerial(QStringLiteral("/sys/block"), QStringLiteral("/run/udev/data"));
}

}  // namespace

QString readProcessorId() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return QString();
    }
    return QStringLiteral("%1%2")
        .arg(edx, 8, 16, QLatin1Char('0'))
        .arg(eax, 8, 16, QLatin1Char('0'))
        .toUpper();
#else
    // Other architectures publish their identification registers in /proc/cpuinfo.
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    QStringList words;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("CPU implementer") || line.startsWith("CPU variant") ||
            line.startsWith("CPU part") || line.startsWith("CPU revision")) {
            words << QString::fromLatin1(line.mid(line.indexOf(':') + 1)).trimmed();
        }
        if (words.size() == 4) {
            break;
        }
    }
    return words.join(QString()).remove(QStringLiteral("0x")).toUpper();
#endif
}

QString readDiskSerial(const QString& sysBlockDir, const QString& udevDataDir) {
    QStringList disks = QDir(sysBlockDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : disks) {
        if (!isPhysicalDisk(name)) {
            continue;
        }
        const QString base = sysBlockDir + QLatin1Char('/') + name;
        for (const QString& candidate :
             {base + QStringLiteral("/device/serial"), base + QStringLiteral("/serial"),
              base + QStringLiteral("/device/vpd_pg80")}) {
            QString serial = readTrimmed(candidate);
            serial.remove(QRegularExpression(QStringLiteral("[^\\x20-\\x7e]")));
            serial = serial.simplified();
            if (!serial.isEmpty()) {
                return serial;
            }
        }
        return udevSerial(udevDataDir, QStringLiteral("/dev/") + name);
    }
    return QString();
}

QString processorId() {
    static QString slot;
    return cached(slot, &readProcessorId);
}

QString firstDiskSerial() {
    static QString slot;
    return cached(slot, &lookupDiskSerial);
}

}  // namespace bridge
