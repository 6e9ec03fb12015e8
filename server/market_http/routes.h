// The market-derived services as HTTP routes: board, stock_rating, stock_rzrq,
// market_total, f9, f10 and f11. Handlers run on the HTTP thread pool and read the market
// through its lock-free snapshot API only.
#pragma once

#include "server/http/router.h"
#include "server/market/market.h"

#include <memory>

namespace vq::market_http {

// A registrar for HttpServer::addRegistrar. The market must outlive the server.
http::RouteRegistrar routes(std::shared_ptr<const market::Market> market);

}  // namespace vq::market_http
