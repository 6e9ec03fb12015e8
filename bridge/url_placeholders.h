#pragma once

#include <QString>

namespace bridge {

// Replaces every "{{name}}" (percent-encoded in the URL text) by the login document's value at
// that dotted path, or else the base information's; by "" when neither has one.
QString fillUrlPlaceholders(const QString& encodedUrl);

}  // namespace bridge
