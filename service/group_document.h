#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// Reading the grouped security documents shared by the watchlist and the stock pool:
// {"result": [{"group_id", "group_name", "codes": [{"code", "market_id"}]}]}.
namespace service {

// The string form of a group's "group_id"; anything but a JSON string reads as "".
QString groupIdText(const QJsonObject& group);

// An entry's market: "market_id" as decimal text; a number or non-numeric text reads as 0.
int entryMarket(const QJsonObject& entry);

bool entryMatches(const QJsonObject& entry, const QString& code, int market);

// Position of the first group whose id text equals `groupId`, or -1.
int findGroupById(const QJsonArray& groups, const QString& groupId);

// Position of the first group (and of the entry in it) holding the security, or -1.
struct EntryPosition {
    int group = -1;
    int entry = -1;
};
EntryPosition findEntry(const QJsonArray& groups, const QString& code, int market);

// Parses `text` as a JSON object; false (and `out` untouched) when it is not one.
bool parseObject(const QString& text, QJsonObject* out);

}  // namespace service
