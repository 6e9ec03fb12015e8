// QBaseService's formula operations over the process-wide registry.
#include "bridge/data_folder.h"
#include "formula/formula_service.h"
#include "service/qbase_service.h"

#include <QFile>
#include <QJsonArray>
#include <QtTest>

using formula::FormulaService;

namespace {

QStringList names(const QVariant& v) {
    QStringList out;
    for (const QJsonValue& x : v.toJsonArray()) {
        out << x.toObject().value("name").toString();
    }
    return out;
}

QList<double> values(const QVariant& v) {
    QList<double> out;
    for (const QJsonValue& x : v.toJsonArray()) {
        out << x.toObject().value("value").toDouble();
    }
    return out;
}

QJsonObject args(const QList<double>& v) {
    QJsonArray a;
    for (double x : v) {
        a.append(QJsonObject{{"value", x}, {"min", 0}, {"max", 1}});
    }
    return QJsonObject{{"args", a}};
}

}  // namespace

class TestBaseServiceFormula : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        formula::registerBuiltinFormulas(FormulaService::instance());
        QFile::remove(QBaseService::ownGroupsFilePath());
    }
    void init() {
        for (const auto& f : FormulaService::instance().formulas()) {
            f->params = f->defaultParams;
        }
    }

    void listing_data() {
        QTest::addColumn<int>("flag");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::newRow("main") << 0 << 15 << "MA";
        QTest::newRow("sub") << 1 << 27 << "分时成交";
        QTest::newRow("all") << 7 << 42 << "分时成交";
    }
    void listing() {
        QFETCH(int, flag);
        QFETCH(int, count);
        QFETCH(QString, first);
        QBaseService s;
        QStringList n = names(s.getFormulaNames(flag, true));
        QCOMPARE(n.size(), count);
        QCOMPARE(n.first(), first);
        QVERIFY(!n.contains("KLINE") && !n.contains("MLINE"));
        QCOMPARE(names(s.getFormulaNames(flag, false)), n);
    }

    void parameters() {
        QBaseService s;
        QJsonArray vol = s.getFormula("VOL").toJsonArray();
        QCOMPARE(vol.size(), 2);
        QCOMPARE(vol[0].toObject(),
                 (QJsonObject{{"name", "M1"}, {"value", 5}, {"min", 2}, {"max", 500}}));
        QVERIFY(s.getFormula("龙禅").toJsonArray().isEmpty());
        QVERIFY(s.getFormula("龙禅").isValid());
        QVERIFY(!s.getFormula("nothing").isValid());
        QVERIFY(!s.getFormulaDefault("nothing").isValid());
    }

    void setting_data() {
        QTest::addColumn<QList<double>>("given");
        QTest::addColumn<QList<double>>("stored");
        QTest::newRow("rounding") << QList<double>{12.0, 0.123456, 3.14159}
                                  << QList<double>{12, double(0.1235f), double(3.142f)};
        QTest::newRow("fewer args") << QList<double>{7} << QList<double>{7, 9, 26};
        QTest::newRow("more args") << QList<double>{1, 2, 3, 4, 5} << QList<double>{1, 2, 3};
        QTest::newRow("beyond float range") << QList<double>{1e39, 2.0} << QList<double>{12, 2, 26};
        QTest::newRow("large") << QList<double>{123456, 99999, 2}
                               << QList<double>{123500, 100000, 2};
    }
    void setting() {
        QFETCH(QList<double>, given);
        QFETCH(QList<double>, stored);
        QBaseService s;
        QString path = bridge::dataFolder() + "/index.param";
        QFile::remove(path);
        s.setFormulaParam("MACD", args(given));
        QCOMPARE(values(s.getFormula("MACD")), stored);
        QCOMPARE(values(s.getFormulaDefault("MACD")), (QList<double>{12, 9, 26}));
        // Saved for the next start, in registry order, completed.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines[0], QByteArray("1"));
        QCOMPARE(lines[1], QByteArray("MLINE\t"));
        FormulaService fresh;
        formula::registerBuiltinFormulas(fresh);
        QVERIFY(fresh.loadParams(path));
        QCOMPARE(double(fresh.find("MACD")->params[0].value), stored[0]);
    }

    void unknownFormulaWritesNothing() {
        QBaseService s;
        QString path = bridge::dataFolder() + "/index.param";
        QFile::remove(path);
        s.setFormulaParam("nothing", args({1}));
        QVERIFY(!QFile::exists(path));
    }

    void groups() {
        QBaseService s;
        QFile::remove(QBaseService::ownGroupsFilePath());
        QStringList builtin = names(s.getFormulaGroupNames());
        QCOMPARE(builtin.size(), 12);
        QCOMPARE(builtin.first(), QString("BBI"));
        QCOMPARE(s.getFormulaGroup("逍遥指").toJsonArray(),
                 (QJsonArray{"逍遥指", "逍遥指副图", "VOL"}));
        s.addLocalFormulaGroup(QJsonObject{{"name", "mine"}, {"formulas", QJsonArray{"MA", 3}}});
        s.addLocalFormulaGroup(QJsonObject{{"name", "mine"}, {"formulas", QJsonArray{"KDJ"}}});
        s.addLocalFormulaGroup(QJsonObject{{"name", "BBI"}, {"formulas", QJsonArray{"RSI"}}});
        QStringList all = names(s.getFormulaGroupNames());
        QCOMPARE(all.size(), 15);
        QCOMPARE(all.mid(12), (QStringList{"mine", "mine", "BBI"}));
        QCOMPARE(s.getFormulaGroup("mine").toJsonArray(), (QJsonArray{"MA", "3", "KDJ"}));
        QCOMPARE(s.getFormulaGroup("BBI").toJsonArray(), QJsonArray{"BBI"});
        QVERIFY(s.getFormulaGroup("none").toJsonArray().isEmpty());
        QFile::remove(QBaseService::ownGroupsFilePath());
    }
};

QTEST_GUILESS_MAIN(TestBaseServiceFormula)
#include "tst_base_service_formula.moc"
