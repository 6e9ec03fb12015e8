#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariant>

// The three process-wide documents every part of the terminal reads: the base information
// (who this client is), the login answer of the current user and the server address table
// handed down by the control endpoint. They live below the services so that the HTTP object
// can fill URL placeholders from them without depending on the service layer.
namespace bridge {

inline constexpr const char* kAppName = "VeltoQuorin";
inline constexpr const char* kAppVersion = "velto_winpc_tax1_1.000006";

// {"appName", "appVer", "pcID"}, built afresh on every call.
QJsonObject baseInfo();

QJsonObject loginDocument();
void setLoginDocument(const QJsonObject& json);

QJsonObject serverAddressDocument();
void setServerAddressDocument(const QJsonObject& json);

// Reads a dotted path ("url.quote", "user.id") from `doc`. Intermediate members must be
// objects; an empty document or a missing intermediate object gives an invalid QVariant. The
// last member comes back as a QJsonObject, a QJsonArray or a QJsonValue (undefined when
// missing).
QVariant lookupPath(const QJsonObject& doc, const QString& path);

// The text form of a looked-up value as the views would print it: strings as they are,
// numbers without a trailing ".0", booleans as "true"/"false"; null, undefined and invalid
// values as "".
QString variantText(const QVariant& value);

}  // namespace bridge
