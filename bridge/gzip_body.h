#pragma once

#include <QByteArray>
#include <QString>

namespace bridge {

// Decodes an HTTP body for the views: a gzip member (magic 1f 8b, method 8) whose trailer
// states a size above 0 is inflated first; anything else is taken as UTF-8 as it stands.
QString decodeResponseBody(const QByteArray& body);

}  // namespace bridge
