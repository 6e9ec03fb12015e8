#pragma once

#include <QJsonObject>

// The cloud screening result groups, one document for the whole process, shaped like the
// watchlist: {"result": [{"group_id", "group_name", "codes": [{"code", "market_id"}]}]}.
// The screening service owns its contents (it loads, edits and saves them); the quote tables
// only read the groups to list their securities.
namespace service {

QJsonObject& cloudGroupDocument();

}  // namespace service
