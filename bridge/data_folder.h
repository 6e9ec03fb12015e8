#pragma once

#include <QByteArray>
#include <QString>

namespace bridge {

// The per-user data folder of the terminal (created with its parents when missing). Every file
// the views name without a path lives directly in it.
QString dataFolder();

// Replaces the file at `path` with `bytes` through a temporary file and a rename, so that a
// crash or a full disk never leaves a truncated file behind. Returns true when the new content
// is in place.
bool writeFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace bridge
