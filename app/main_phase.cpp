#include "app/main_phase.h"

#include <QQuickWindow>
#include <QUrl>

#include "app/qml_phase.h"
#include "app/qroot.h"
#include "app/single_application.h"
#include "bridge/data_folder.h"
#include "bridge/hfileio.h"
#include "formula/formula_service.h"
#include "quote/quote_engine_thread.h"
#include "quote/stock_dictionary.h"
#include "service/qbase_service.h"

namespace {

// "formula.json" carries the formula models fetched at login for this run only; it is emptied
// so that a later run never picks up a stale copy.
void consumeFormulaModels() {
    HFileIO files;
    files.readFileDefaultPath(QStringLiteral("formula.json"));
    files.writedFileDefaultPath(QStringLiteral("formula.json"), QString());
}

}  // namespace

void runMainPhase(SingleApplication& app, const QString& dataDir) {
    // Formula registry: the built-in standard indicators, then the built-in groups and the
    // strategy formulas.
    formula::registerBuiltinFormulas(formula::FormulaService::instance());

    consumeFormulaModels();

    // Formula registry: the saved parameters of "index.param".
    formula::FormulaService::instance().loadParams(dataDir + QStringLiteral("/index.param"));

    // Quote engine: the security dictionary exists first (the engine sends the code list
    // right after it connects, and a list sent before anyone listens would be lost); then
    // the engine thread starts, reading "url.quote" itself, and the reference files
    // "board.json", "stock_rzrq.json" and "stock_rating.json" are handed to it while it
    // connects.
    StockDictionary::instance();
    QuoteEngineThread quoteEngine;
    quoteEngine.start(
        [] { return QBaseService().getServerAddressValue(QStringLiteral("url.quote")); });
    loadQuoteReferenceFiles(dataDir);

    QmlPhase phase(dataDir, QUrl(QStringLiteral("qrc:/qml/main.qml")));
    phase.load();
    if (QObject* root = phase.rootObject()) {
        QRoot* helper = QRoot::instance();
        helper->setWindow(root);
        phase.setContextProperty(QStringLiteral("QRoot"), helper);
        helper->setApplication(&app);
        app.setWindow(qobject_cast<QWindow*>(root));
    }
    phase.exec();
    phase.destroyEngine();

    // Quote engine: shut down and its thread joined, after the views have released their
    // contexts.
    quoteEngine.stopAndJoin();
}
