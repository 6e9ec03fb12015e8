#include "app/qml_types.h"

#include <QQmlEngine>

#include "app/heap_trim.h"
#include "bridge/hdatetime.h"
#include "bridge/hfileio.h"
#include "bridge/hroute.h"
#include "bridge/http_request.h"
#include "bridge/http_request_factory.h"
#include "bridge/hutil.h"
#include "bridge/qcrypto.h"
#include "chart/cchip_distribution.h"
#include "chart/fchart.h"
#include "chart/qchart.h"
#include "chart/qchart_extend.h"
#include "chart/reg_scales_line_style.h"
#include "chart/time_bar.h"
#include "chart/title_bar.h"
#include "quote/detailed_model.h"
#include "quote/index_board_model.h"
#include "quote/index_section_count_model.h"
#include "quote/mq_model.h"
#include "quote/multi_stock_model.h"
#include "quote/price_model.h"
#include "quote/qstock_tip_model.h"
#include "quote/server_state_model.h"
#include "service/qbase_service.h"
#include "service/qmystock_service.h"
#include "service/qstockpool_service.h"
#include "service/qvover_ivevo_service.h"
#include "table/qflow_list_view.h"
#include "table/qpage_model_sorter.h"
#include "table/qquote_cells.h"
#include "table/qstock_tip_view.h"
#include "table/qtable_model_proxy.h"
#include "table/table_model.h"

namespace {

// Every type is version 1.0; the module is the type's own name unless given.
template <typename T>
void registerType(const char* name, const char* module = nullptr) {
    qmlRegisterType<T>(module ? module : name, 1, 0, name);
}

}  // namespace

void registerQmlTypes() {
    // The order is fixed; types of the quote models, tables, charts and drawing tools take
    // their places between QBaseService and QMyStockService as they are built.
    registerType<HttpRequest>("HttpRequest", "Network");
    qmlRegisterSingletonType<HttpRequestFactory>("Network", 1, 0, "HttpRequestFactory",
                                                 &HttpRequestFactory::provider);
    registerType<HFileIO>("HFileIO");
    registerType<HRoute>("HRoute");
    registerType<HDatetime>("HDatetime");
    registerType<HUtil>("HUtil");
    registerType<QCrypto>("QCrypto");
    registerType<QBaseService>("QBaseService");
    registerType<ServerStateModel>("ServerStateModel");
    registerType<MQModel>("MQModel");
    registerType<IndexBoardModel>("IndexBoardModel");
    registerType<IndexBoard>("IndexBoard", "IndexBoardModel");
    registerType<IndexSectionCountModel>("IndexSectionCountModel");
    registerType<PriceModel>("PriceModel");
    registerType<QDetailedModel>("QDetailedModel");
    registerType<TableModel>("TableModel");
    registerType<QTableModelProxy>("QTableModelProxy");
    registerType<QPageModelSorter>("QPageModelSorter");
    registerType<QFlowListView>("QFlowListView");
    registerType<QQuoteCells>("QQuoteCells");
    registerType<MultiStockModel>("MultiStockModel");
    registerType<QStockTipModel>("QStockTipModel");
    registerType<QStockTipView>("QStockTipView");
    registerType<FChart>("FChart");
    qmlRegisterUncreatableMetaObject(RegScaleslineStyle::staticMetaObject, "FChart", 1, 0,
                                     "RegScaleslineStyle", "RegScaleslineStyle holds names only");
    registerType<QChart>("QChart");
    registerType<TimeBar>("TimeBar");
    registerType<TitleBar>("TitleBar");
    registerType<QChartExtend>("QChartExtend");
    registerType<CChipDistribution>("CChipDistribution");
    registerType<QMyStockService>("QMyStockService");
    registerType<QStockPoolService>("QStockPoolService");
    registerType<QVoverIvevoService>("QVoverIvevoService");
    registerType<HeapTrim>("HeapTrim");
}
