// The screening service as HTTP routes under the published "condition_stock" address:
//   GET  /condition_stock                    the cycles and blocks a screen can choose
//   POST /condition_stock/check              check a request (formulas compile) without running it
//   POST /condition_stock/screen             start a screen (JSON body, see condition_set.h)
//   GET  /condition_stock/screen/status?id=  progress, then the matching securities
//   POST /condition_stock/screen/cancel?id=  stop a screen half way
#pragma once

#include "server/http/router.h"
#include "server/market/market.h"

#include <memory>

namespace vq::screening {

// A registrar for HttpServer::addRegistrar. The market must outlive the server.
// threads: workers per screen (<= 0: one per core).
http::RouteRegistrar routes(std::shared_ptr<const market::Market> market, int threads = 0);

}  // namespace vq::screening
