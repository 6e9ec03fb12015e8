// The built-in services, one registration function per handler file.
#pragma once

#include <QJsonArray>
#include <QStringList>

#include "server/http/http_server.h"

namespace vq::http {

void registerControl(Router& router, Services& services);
void registerLogin(Router& router, Services& services);
void registerMyStock(Router& router, Services& services);
void registerDocuments(Router& router, Services& services);
void registerArticles(Router& router, Services& services);
void registerFiles(Router& router, Services& services);
// Placeholders for the market-derived services that no registrar claimed.
void registerMarketPlaceholders(Router& router, Services& services);

// The title-bar menu tree handed out with a login.
QJsonArray defaultMenus();

// Names of the start images served under /start_image/, built-in ones first.
QStringList startImageNames(const Services& services);

// The account named by a "user_id" parameter (the public uid); 401 when there is none.
qint64 requireUser(Services& services, const Params& params, const char* name = "user_id");

}  // namespace vq::http
