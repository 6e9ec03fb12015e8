// Cloud screening in the real terminal against a real server process whose market stands
// still: the cloud view, opened from its menu address, brings up the screening library; the
// ready-made condition "close above its 20-day mean" screened over the whole market becomes a
// new group at once, its members the first of what a direct computation over the server's own
// day bars finds, and the view shows that group's securities.

#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <map>

#include "app/main_phase.h"
#include "app/qroot.h"
#include "bridge/data_folder.h"
#include "in_process_terminal.h"
#include "service/qvover_ivevo_service.h"
#include "terminal_session.h"
#include "tests/support/raw_quote_client.h"
#include "tests/support/server_process.h"
#include "window_lookup.h"

namespace {

constexpr int kWholeMarket = 1110;
constexpr int kResultCap = 500;  // the terminal keeps at most this many of a screen's results
const QString kPreset = QStringLiteral("收盘价站上20日均线");

// Whether a security closes above its 20-day mean, as far as double arithmetic can tell from
// the float bars the server sends: a close within rounding of the mean may go either way.
enum class Verdict { Above, NotAbove, Tie };

struct Direct {
    QString code;
    int market = 0;
    Verdict verdict = Verdict::NotAbove;
};

Verdict judge(const std::vector<vqp::KPoint>& bars) {
    if (bars.size() < 20) {
        return Verdict::NotAbove;
    }
    double sum = 0;
    for (size_t i = bars.size() - 20; i < bars.size(); ++i) {
        sum += bars[i].close;
    }
    const double mean = sum / 20, close = bars.back().close;
    if (std::abs(close - mean) <= 1e-5 * std::abs(close)) {
        return Verdict::Tie;
    }
    return close > mean ? Verdict::Above : Verdict::NotAbove;
}

vqp::Request listRequest(uint32_t id) {
    vqp::Request r;
    r.id = id;
    r.period = vqp::PeriodSnapshot;
    r.block = kWholeMarket;
    r.sortMode = 2;  // the block's own order, which screens keep too
    r.pageSize = 10000;
    return r;
}

vqp::Request dayBarsRequest(uint32_t id, const vqp::CodeInfo& info) {
    vqp::Request r;
    r.id = id;
    r.period = vqp::PeriodDay;
    vqp::SecurityKey key{};
    std::memcpy(key.code, info.code, sizeof key.code);
    key.market = uint8_t(info.market);
    r.codes = {key};
    r.option = vqp::AdjustForward;  // screens read forward-adjusted bars unless told otherwise
    r.pageSize = 20;
    return r;
}

bool readReply(RawClient& client, vqp::ReplyHeader& header, std::string& body) {
    vqp::Frame frame;
    if (!client.readFrame(vqp::Msg::Reply, &frame)) {
        return false;
    }
    body = frame.body;
    vqp::Reader reader(body.data(), body.size());
    return vqp::decodeReplyHeader(reader, header);
}

// Every member of the whole-market block with its verdict, in the block's order, straight
// from the quote service.
bool computeDirectly(uint16_t quotePort, QList<Direct>& out) {
    RawClient client(quotePort);
    if (!client.connected()) {
        return false;
    }
    client.hello();
    std::string frame;
    vqp::encodeRequest(listRequest(1), frame);
    client.send(frame);
    vqp::ReplyHeader header;
    std::string body;
    if (!readReply(client, header, body)) {
        return false;
    }
    vqp::Reader listReader(body.data(), body.size());
    vqp::SnapshotPage page;
    if (!vqp::decodeReplyHeader(listReader, header) || !vqp::decodeSnapshots(listReader, page)) {
        return false;
    }
    // Requests go out in batches so the round trips overlap.
    constexpr size_t kBatch = 200;
    for (size_t from = 0; from < page.rows.size(); from += kBatch) {
        const size_t to = std::min(page.rows.size(), from + kBatch);
        std::string batch;
        for (size_t i = from; i < to; ++i) {
            vqp::encodeRequest(dayBarsRequest(uint32_t(100 + i), page.rows[i].info), batch);
        }
        client.send(batch);
        std::map<uint32_t, Verdict> verdicts;
        while (verdicts.size() < to - from) {
            if (!readReply(client, header, body)) {
                return false;
            }
            vqp::Reader reader(body.data(), body.size());
            vqp::KLineBlock bars;
            if (!vqp::decodeReplyHeader(reader, header) || !vqp::decodeKLine(reader, bars)) {
                return false;
            }
            verdicts[header.id] = judge(bars.points);
        }
        for (size_t i = from; i < to; ++i) {
            const vqp::CodeInfo& info = page.rows[i].info;
            out.append({QString::fromUtf8(info.code, int(strnlen(info.code, sizeof info.code))),
                        int(info.market), verdicts[uint32_t(100 + i)]});
        }
    }
    return true;
}

// Walks the block in order against the group: every security above its mean is the group's
// next member until the cap is reached, none below it is, a tie may be either.
QString mismatch(const QList<Direct>& direct, const QJsonArray& group) {
    int next = 0;
    for (const Direct& d : direct) {
        if (next == group.size()) {
            if (group.size() == kResultCap || d.verdict != Verdict::Above) {
                continue;
            }
            return QStringLiteral("%1 closes above its mean but is missing").arg(d.code);
        }
        const QJsonObject member = group.at(next).toObject();
        const bool same = member.value("code").toString() == d.code &&
                          member.value("market_id").toString() == QString::number(d.market);
        if (d.verdict == Verdict::Above && !same) {
            return QStringLiteral("%1 closes above its mean but the group has %2 in its place")
                .arg(d.code, member.value("code").toString());
        }
        if (d.verdict == Verdict::NotAbove && same) {
            return QStringLiteral("%1 does not close above its mean but is in the group")
                .arg(d.code);
        }
        next += same ? 1 : 0;
    }
    return next == group.size()
               ? QString()
               : QStringLiteral("%1 group members are not in the block").arg(group.size() - next);
}

template <class T>
T* screeningChild(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("screeningWindow") && w->isVisible()) {
            return w->findChild<T*>(QString::fromLatin1(name));
        }
    }
    return nullptr;
}

}  // namespace

class TestCloudScreeningE2E : public QObject {
    Q_OBJECT
public:
    explicit TestCloudScreeningE2E(SingleApplication* app) : app_(app) {}

private slots:
    void initTestCase();
    void screenBecomesAGroupInTheCloudView();
    void cleanupTestCase();

private:
    void drive();
    void openCloudView(QQuickWindow* window, QObject*& view);
    void runPresetScreen();
    void checkCloudView(QObject* view, const QJsonArray& group);

    SingleApplication* app_;
    ServerProcess server_{VQ_SERVER_PATH, {"--clock", "still"}};
    QStringList messages_;  // texts of the message boxes the screen raised
    bool driven_ = false;
};

void TestCloudScreeningE2E::initTestCase() {
    QVERIFY2(server_.start(), qPrintable(server_.log()));
    qputenv("VELTOQUORIN_CONTROL_URL", server_.controlUrl());
}

void TestCloudScreeningE2E::screenBecomesAGroupInTheCloudView() {
    logInAsDemo();
    if (QTest::currentTestFailed()) {
        return;
    }
    runMainWindow(*app_, [this] {
        drive();
        driven_ = true;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("screeningWindow")) {
                w->close();
            }
        }
    });
    QVERIFY(driven_);
}

void TestCloudScreeningE2E::drive() {
    QQuickWindow* window = QRoot::instance()->window();
    QVERIFY(window);
    QTRY_VERIFY_WITH_TIMEOUT(window->isExposed(), 10000);
    QObject* view = nullptr;
    openCloudView(window, view);
    QVERIFY(view);
    runPresetScreen();
    if (QTest::currentTestFailed()) {
        return;
    }
    // The result reaches the open view without a restart, as its newest group.
    QTRY_COMPARE_WITH_TIMEOUT(view->property("groups").toList().size(), 1, 10000);
    const QJsonArray stored = QVoverIvevoService().getGroups();
    QCOMPARE(stored.size(), 1);
    const QJsonObject group = stored.first().toObject();
    const QJsonArray codes = group.value("codes").toArray();
    QVERIFY(!codes.isEmpty());
    QCOMPARE(group.value("group_name").toString().size(), 17);  // yy/MM/dd HH:mm:ss

    QList<Direct> direct;
    QVERIFY(computeDirectly(server_.quotePort(), direct));
    QVERIFY(direct.size() > 4000);
    int above = 0;
    for (const Direct& d : direct) {
        above += d.verdict == Verdict::Above ? 1 : 0;
    }
    qInfo("whole market: %d securities, %d close above their 20-day mean, a group of %d",
          int(direct.size()), above, int(codes.size()));
    const QString wrong = mismatch(direct, codes);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    if (above > kResultCap) {
        QCOMPARE(codes.size(), kResultCap);
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_.first().contains("截取保留前500只"), qPrintable(messages_.first()));
    } else {
        QVERIFY(messages_.isEmpty());
    }
    checkCloudView(view, codes);
}

// The cloud view from its menu address; with no stored group it opens the screening window.
void TestCloudScreeningE2E::openCloudView(QQuickWindow* window, QObject*& view) {
    QMetaObject::invokeMethod(window, "onChangedTabView", Q_ARG(QVariant, QStringLiteral("云选股")),
                              Q_ARG(QVariant, QStringLiteral("app://qml/qml/VoverIvevoView.qml")),
                              Q_ARG(QVariant, false));
    QObject* tabs = findInWindow(window, "tabArea");
    QTRY_VERIFY_WITH_TIMEOUT((view = findNamed(tabs, "voverIvevoView")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(screeningChild<QComboBox>("screenBlock"), 10000);
    QCOMPARE(findNamed(view, "screeningLibraryMessage")->property("text").toString(), QString());
}

// The whole market, day bars, the ready-made condition, run with the window's own buttons.
void TestCloudScreeningE2E::runPresetScreen() {
    auto* block = screeningChild<QComboBox>("screenBlock");
    QTRY_VERIFY_WITH_TIMEOUT(block->count() > 10, 15000);
    block->setCurrentIndex(block->findData(double(kWholeMarket)));
    QVERIFY(block->currentIndex() >= 0);
    auto* cycle = screeningChild<QComboBox>("screenCycle");
    cycle->setCurrentIndex(cycle->findData(int(vqp::PeriodDay)));
    QVERIFY(cycle->currentIndex() >= 0);
    screeningChild<QTabWidget>("conditionTabs")->setCurrentIndex(2);
    auto* presets = screeningChild<QComboBox>("presetCondition");
    presets->setCurrentIndex(presets->findText(kPreset));
    QVERIFY(presets->currentIndex() >= 0);
    QTest::mouseClick(screeningChild<QPushButton>("addPresetCondition"), Qt::LeftButton);

    // The result's message boxes are modal: answer them the way a user would, from inside
    // their own event loops.
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [this] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->objectName() == QLatin1String("screeningMessageBox") &&
                box->isVisible()) {
                messages_ << box->text();
                box->accept();
            }
        }
    });
    answer.start(100);
    QTest::mouseClick(screeningChild<QPushButton>("runScreen"), Qt::LeftButton);
    // Cold histories of the whole market take a while on a loaded machine.
    QTRY_VERIFY_WITH_TIMEOUT(QVoverIvevoService().getGroups().size() == 1, 120000);
}

// The view selects the new group and lists its first securities in the stored order.
void TestCloudScreeningE2E::checkCloudView(QObject* view, const QJsonArray& group) {
    QCOMPARE(view->property("groupIndex").toInt(), 0);
    QObject* button = findNamed(view, "cloudGroupButton_0");
    QVERIFY(button);
    QObject* table = findNamed(view, "cloudTable");
    QVERIFY(table);
    auto* model = table->property("table_model").value<QObject*>();
    QVERIFY(model);
    QTRY_VERIFY_WITH_TIMEOUT(table->property("rowCount").toInt() > 0, 15000);
    const int rows = table->property("rowCount").toInt();
    QVERIFY(rows <= group.size());
    for (int row = 0; row < rows; ++row) {
        QJsonObject info;
        QMetaObject::invokeMethod(model, "getCodeInfo", Q_RETURN_ARG(QJsonObject, info),
                                  Q_ARG(int, row));
        QCOMPARE(info.value("code").toString(), group.at(row).toObject().value("code").toString());
    }
}

void TestCloudScreeningE2E::cleanupTestCase() {
    server_.stop();
}

int main(int argc, char* argv[]) {
    return runInTerminalProcess<TestCloudScreeningE2E>(argc, argv, true);
}

#include "tst_cloud_screening_e2e.moc"
