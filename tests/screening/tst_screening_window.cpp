// The screening library as the terminal uses it: loaded by path, its window opened through the
// entry point against a real server, a condition added and screened with the window's own
// buttons; the result arrives as a new cloud group equal to the server's answer for the same
// screen. A formula that does not compile shows where in the window.
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

#include "service/qvover_ivevo_dll.h"
#include "service/qvover_ivevo_service.h"
#include "tests/support/server_process.h"

namespace {

// Yesterday's close against yesterday's 20-day mean: fixed for the whole trading day, so the
// window's screen and the direct one agree exactly although the live market moves.
const char* const kCondition = "REF(C,1)>REF(MA(C,20),1)";
constexpr int kBlock = 1116;  // 300 members: quick even when the histories are cold

QJsonObject call(QNetworkAccessManager& net, const QString& url, const QByteArray* body) {
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply* reply = body ? net.post(request, *body) : net.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return QJsonDocument::fromJson(reply->readAll()).object();
}

}  // namespace

class TestScreeningWindow : public QObject {
    Q_OBJECT
    ServerProcess server_{VQ_SERVER_PATH};
    QString host_;
    QWidget* window_ = nullptr;

    template <class T>
    T* find(const char* name) {
        return window_ ? window_->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }
    void addOwnCondition(const QString& text) {
        find<QTabWidget>("conditionTabs")->setCurrentIndex(1);
        find<QPlainTextEdit>("ownFormula")->setPlainText(text);
        QTest::mouseClick(find<QPushButton>("addOwnCondition"), Qt::LeftButton);
    }

private slots:
    void initTestCase() {
        QVERIFY2(server_.start(), qPrintable(server_.log()));
        host_ = QString::fromLatin1(server_.controlUrl()) + "/condition_stock";
        QVERIFY2(QVoverIvevoDll::instance()->loaded(),
                 qPrintable(QVoverIvevoDll::instance()->errorString()));
    }

    void opensThroughTheEntryPoint() {
        QVoverIvevoService service;
        service.showVoverIvevo("VeltoQuorin", host_, "1", "session", 1);
        QVERIFY(service.libraryError().isEmpty());
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "screeningWindow") {
                window_ = w;
            }
        }
        QVERIFY(window_ && window_->isVisible());
        // The choices come from the server: cycles, blocks with their sizes, formulas.
        QTRY_VERIFY_WITH_TIMEOUT(find<QComboBox>("screenBlock")->count() > 10, 10000);
        QVERIFY(find<QComboBox>("screenCycle")->count() >= 3);
        QVERIFY(find<QComboBox>("builtinFormula")->count() > 10);
    }

    void screenBecomesANewGroup() {
        QVERIFY(window_);
        QComboBox* block = find<QComboBox>("screenBlock");
        block->setCurrentIndex(block->findData(double(kBlock)));
        QVERIFY(block->currentIndex() >= 0);
        addOwnCondition(kCondition);
        QCOMPARE(find<QListWidget>("screenConditions")->count(), 1);

        QVoverIvevoService service;
        const int before = service.getGroups().size();
        QSignalSpy added(&service, &QVoverIvevoService::updateVoverIvevo);
        QTest::mouseClick(find<QPushButton>("runScreen"), Qt::LeftButton);
        QVERIFY(find<QPushButton>("cancelScreen")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(added.count(), 1, 60000);
        QCOMPARE(service.getGroups().size(), before + 1);
        const QJsonArray codes = service.getGroups().first().toObject().value("codes").toArray();

        // The same screen asked of the server directly.
        QNetworkAccessManager net;
        const QByteArray body =
            QJsonDocument(QJsonObject{{"conditions", QJsonArray{QJsonObject{{"text", kCondition}}}},
                                      {"block", kBlock}})
                .toJson();
        const QString id = call(net, host_ + "/screen", &body).value("id").toString();
        QVERIFY(!id.isEmpty());
        QJsonObject status;
        QTRY_VERIFY_WITH_TIMEOUT((status = call(net, host_ + "/screen/status?id=" + id, nullptr))
                                         .value("state")
                                         .toString() == "done",
                                 30000);
        const QJsonArray items = status.value("items").toArray();
        QVERIFY(!items.isEmpty());
        QCOMPARE(codes.size(), items.size());
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(codes.at(i).toObject().value("code").toString(),
                     items.at(i).toObject().value("code").toString());
            QCOMPARE(codes.at(i).toObject().value("market_id").toString(),
                     QString::number(items.at(i).toObject().value("market").toInt()));
        }
    }

    void formulaErrorShowsWhere() {
        QVERIFY(window_);
        find<QListWidget>("screenConditions")->clear();
        addOwnCondition("A:=C;\nB:=MA(C,;");
        QTest::mouseClick(find<QPushButton>("runScreen"), Qt::LeftButton);
        QLabel* error = find<QLabel>("screeningError");
        QTRY_VERIFY_WITH_TIMEOUT(!error->text().isEmpty(), 10000);
        QVERIFY2(error->text().contains("第2行第"), qPrintable(error->text()));
        QVERIFY2(error->text().contains("line 2, column"), qPrintable(error->text()));
        // The caret is put on the line the compiler named.
        QCOMPARE(find<QPlainTextEdit>("ownFormula")->textCursor().blockNumber(), 1);
        QVERIFY(find<QPushButton>("runScreen")->isEnabled());
    }

    void cleanupTestCase() {
        delete window_;
        server_.stop();
    }
};

QTEST_MAIN(TestScreeningWindow)
#include "tst_screening_window.moc"
