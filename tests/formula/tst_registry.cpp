// Registry, formula instances, titles, static arguments and "index.param".
#include "formula/formula_service.h"
#include "libformula/fml.h"

#include <cstring>

#include <QTemporaryDir>
#include <QtTest>

using namespace formula;

namespace {

int contextsBuilt = 0;
int buildCurve(int vm) {
    ++contextsBuilt;
    return fml_ctx_create(vm);
}

std::shared_ptr<LocalFormula> make(int kind, const QString& code, const QString& name,
                                   std::vector<FormulaParam> params = {}) {
    return std::make_shared<LocalFormula>(kind, code, name, QString(), params, &buildCurve);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& text) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(text);
}

}  // namespace

class TestRegistry : public QObject {
    Q_OBJECT

private slots:
    void titleValues_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("integer") << 12.0f << "12";
        QTest::newRow("half") << 0.5f << "0.5";
        QTest::newRow("four digits") << 0.1235f << "0.1235";
        QTest::newRow("six digits") << 3.14159265f << "3.14159";
        QTest::newRow("large") << 1e8f << "1e+08";
        QTest::newRow("negative") << -2.25f << "-2.25";
    }
    void titleValues() {
        QFETCH(float, value);
        QFETCH(QString, text);
        Formula f(4, "T", nullptr, 0);
        f.params = {{"A", value, 0, 0}};
        f.updateTitle();
        QCOMPARE(f.title, "T(" + text + ")");
    }

    // What a chart does when it adds a formula with a colour: the title grows by the colour
    // value and the context gets the "_color" static argument.
    void colourArgument() {
        int vm = fml_vm_create();
        FormulaService s;
        s.add(make(4, "KDJ", "KDJ", {{"N", 9, 2, 90}, {"M1", 3, 2, 30}, {"M2", 3, 2, 30}}));
        auto inst = s.find("KDJ")->create(vm);
        QCOMPARE(inst->title, QString("KDJ(9,3,3)"));
        QCOMPARE(*fml_argument_data_number(fml_get_static_argument(inst->ctx, "N")), 9.0f);
        uint32_t colour = 0;
        float slot;
        std::memcpy(&slot, &colour, 4);
        inst->params.push_back({"_color", slot, 0, 0});
        inst->updateTitle();
        inst->applyParams();
        QCOMPARE(inst->title, QString("KDJ(9,3,3,0)"));
        float* c = fml_argument_data_number(fml_get_static_argument(inst->ctx, "_color"));
        QCOMPARE(std::memcmp(c, &slot, 4), 0);
        fml_vm_release(vm);
    }

    void instancesCopyCurrentParams() {
        int vm = fml_vm_create();
        FormulaService s;
        s.add(make(1, "MA", "MA", {{"M1", 5, 1, 9999}}));
        auto f = s.find("MA");
        f->params[0].value = 7;
        auto inst = f->create(vm);
        QCOMPARE(inst->title, QString("MA(7)"));
        QCOMPARE(f->defaultParams[0].value, 5.0f);
        QCOMPARE(inst->kind, 1);
        QCOMPARE(inst->name, QString("MA"));
        fml_vm_release(vm);
    }

    void droppingTheLastReferenceReleasesTheContext() {
        int vm = fml_vm_create();
        FormulaService s;
        s.add(make(4, "A", "A"));
        int ctx;
        {
            auto inst = s.find("A")->create(vm);
            ctx = inst->ctx;
            auto copy = inst;
            inst.reset();
            QCOMPARE(QString(fml_ctx_last_error(ctx)), QString());
        }
        QCOMPARE(QString(fml_ctx_last_error(ctx)), QString("no such context"));
        fml_vm_release(vm);
    }

    void findAndList() {
        FormulaService s;
        s.add(make(64, "K", "KLINE"));
        s.add(make(4, "A", "A"));
        s.add(make(68, "B", "B"));
        s.add(make(1, "C", "C"));
        s.add(make(8, "D", "D"));
        s.add(make(4, "A2", "A"));
        QCOMPARE(s.find("A")->code, QString("A"));  // the first of two with that name
        QVERIFY(!s.find("nothing"));
        QVERIFY(!s.find("a"));
        QStringList main, sub;
        for (const auto& f : s.list(3))
            main << f->code;
        for (const auto& f : s.list(60))
            sub << f->code;
        QCOMPARE(main, QStringList({"C"}));
        QCOMPARE(sub, QStringList({"A", "B", "D", "A2"}));
        QVERIFY(!s.findGroup("none"));
    }

    void saveFormat() {
        QTemporaryDir dir;
        FormulaService s;
        s.add(make(4, "VOL", "VOL", {{"M1", 5, 2, 500}, {"M2", 10.5f, 2, 500}}));
        s.add(make(1, "LC", "龙禅"));
        QString path = dir.filePath("index.param");
        QVERIFY(s.saveParams(path));
        QCOMPARE(readAll(path), QByteArray("1\nVOL\t5\t10.5\t\nLC\t\n"));
    }

    void roundTrip() {
        QTemporaryDir dir;
        QString path = dir.filePath("index.param");
        FormulaService a, b;
        registerBuiltinFormulas(a);
        registerBuiltinFormulas(b);
        a.find("MACD")->params[1].value = 7;
        a.find("逍遥指")->params[0].value = 0.1235f;
        a.find("MA2")->params[9].value = 33;
        QVERIFY(a.saveParams(path));
        QVERIFY(b.loadParams(path));
        for (size_t i = 0; i < a.formulas().size(); ++i) {
            const auto& fa = a.formulas()[i];
            const auto& fb = b.formulas()[i];
            for (size_t k = 0; k < fa->params.size(); ++k) {
                QCOMPARE(fb->params[k].value, fa->params[k].value);
            }
        }
        QCOMPARE(b.find("MACD")->defaultParams[1].value, 9.0f);
    }

    void load_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<float>>("values");
        QList<float> defaults{5, 10, 20, 60};
        QTest::newRow("unfinished save") << QByteArray("0\nMA\t1\t2\t3\t4\t\n") << defaults;
        QTest::newRow("finished") << QByteArray("1\nMA\t1\t2\t3\t4\t\n")
                                  << QList<float>{1, 2, 3, 4};
        QTest::newRow("short line") << QByteArray("1\nMA\t7\t\n") << QList<float>{7, 10, 20, 60};
        QTest::newRow("unknown key and blank lines")
            << QByteArray("1\n\nZZZ\t9\t\n   \nMA\t8\t\n") << QList<float>{8, 10, 20, 60};
        QTest::newRow("no marker") << QByteArray("MA\t1\t2\t\n") << defaults;
        QTest::newRow("empty") << QByteArray() << defaults;
        QTest::newRow("bad number stops the line")
            << QByteArray("1\nMA\t3\tx\t4\t\n") << QList<float>{3, 10, 20, 60};
        QTest::newRow("spaces separate too")
            << QByteArray("1\nMA 1 2\n") << QList<float>{1, 2, 20, 60};
    }
    void load() {
        QFETCH(QByteArray, text);
        QFETCH(QList<float>, values);
        QTemporaryDir dir;
        QString path = dir.filePath("index.param");
        writeAll(path, text);
        FormulaService s;
        s.add(make(
            1, "MA", "MA",
            {{"M1", 5, 1, 9999}, {"M2", 10, 1, 9999}, {"M3", 20, 1, 9999}, {"M4", 60, 1, 9999}}));
        s.loadParams(path);
        QList<float> got;
        for (const auto& p : s.find("MA")->params)
            got << p.value;
        QCOMPARE(got, values);
    }

    void missingFileKeepsDefaults() {
        FormulaService s;
        registerBuiltinFormulas(s);
        QVERIFY(!s.loadParams("/nonexistent/dir/index.param"));
        QCOMPARE(s.find("VOL")->params[0].value, 5.0f);
        QVERIFY(!s.saveParams("/nonexistent/dir/index.param"));
    }
};

QTEST_APPLESS_MAIN(TestRegistry)
#include "tst_registry.moc"
