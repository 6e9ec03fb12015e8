// Every built-in formula over 10k bars against the values the VM gave before its evaluation was
// reworked for speed: missing bars exactly, values at chosen bars (block edges, gap edges, the
// ends) within float rounding of the series' scale, and the sum of each series.
//
// The recording was taken with VQ_RECORD_BUILTINS=<file> set, which writes the file instead of
// comparing. Only re-record on purpose, when a formula's meaning changes.
#include "formula/formula_service.h"
#include "tests/libformula/test_bars.h"

#include <QtTest>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

using testbars::ChartVm;
using testbars::Series;

namespace {

const int kBars = 10000;
const int kSamples[] = {0,    1,    19,   20,   21,   25,   26,   59,   60,   1023, 1024,
                        2047, 2048, 2499, 2505, 4095, 4096, 5005, 7777, 9000, 9998, 9999};

// The bars: a bounded walk, missing for its first 20 bars and for 5 bars every 2500.
const Series& bars() {
    static Series s = [] {
        Series r;
        r.bars = testbars::meanRevertingWalk(kBars, 15);
        testbars::punchGaps(r.bars, 20, 2500, 5);
        return r;
    }();
    return s;
}

struct Fingerprint {
    int missing = 0;
    double sum = 0;    // of the valid values
    double scale = 0;  // largest magnitude of a valid value
    std::vector<float> samples;
};

Fingerprint fingerprint(const float* p) {
    Fingerprint f;
    for (int i = 0; i < kBars; ++i) {
        if (p[i] == FMLInvalidValue) {
            ++f.missing;
        } else if (std::isfinite(p[i])) {
            f.sum += p[i];
            f.scale = std::max(f.scale, double(std::fabs(p[i])));
        }
    }
    for (int i : kSamples) {
        f.samples.push_back(p[i]);
    }
    return f;
}

// The series of every drawing operation of a run, keyed "code/op/array".
std::map<std::string, Fingerprint> outputs(const std::string& code, int ctx) {
    std::map<std::string, Fingerprint> r;
    for (int j = 0; j < fml_ctx_op_count(ctx, -1); ++j) {
        int kind = 0, op = 0;
        fml_ctx_op_seq_get(ctx, j, &kind, &op);
        std::vector<const float*> arrays;
        switch (kind) {
            case FML_DRAW_LINE: {
                fml_op_line l;
                fml_ctx_op_line(ctx, &l, op);
                arrays = {l.values};
                break;
            }
            case FML_DRAW_STICK: {
                fml_op_stick s;
                fml_ctx_op_stick(ctx, &s, op);
                arrays = {s.condition, s.price1, s.price2};
                break;
            }
            case FML_DRAW_NUMBER: {
                fml_op_number s;
                fml_ctx_op_number(ctx, &s, op);
                arrays = {s.price, s.number};
                break;
            }
            case FML_DRAW_STRING: {
                fml_op_string s;
                fml_ctx_op_string(ctx, &s, op);
                arrays = {s.price};
                break;
            }
            case FML_DRAW_BAND: {
                fml_op_band s;
                fml_ctx_op_band(ctx, &s, op);
                arrays = {s.series1, s.series2};
                break;
            }
            case FML_DRAW_ICON: {
                fml_op_icon s;
                fml_ctx_op_icon(ctx, &s, op);
                arrays = {s.price};
                break;
            }
            case FML_DRAW_RECT: {
                fml_op_rect s;
                fml_ctx_op_rect(ctx, &s, op);
                arrays = {s.condition, s.bars, s.price1, s.price2};
                break;
            }
            case FML_DRAW_K_LINE: {
                fml_op_k_line s;
                fml_ctx_op_k_line(ctx, &s, op);
                arrays = {s.high, s.open, s.low, s.close};
                break;
            }
            default:
                break;
        }
        for (size_t a = 0; a < arrays.size(); ++a) {
            if (arrays[a]) {
                r[code + "/" + std::to_string(j) + "/" + std::to_string(a)] =
                    fingerprint(arrays[a]);
            }
        }
    }
    return r;
}

std::map<std::string, Fingerprint> runAll() {
    formula::FormulaService service;
    formula::registerBuiltinFormulas(service);
    std::map<std::string, Fingerprint> all;
    for (const auto& f : service.formulas()) {
        ChartVm vm;
        auto inst = f->create(vm.vm);
        Series s = bars();
        if (vm.run(inst->ctx, s) != 1) {
            all[f->code.toStdString() + "/failed"] = Fingerprint();
            continue;
        }
        auto r = outputs(f->code.toStdString(), inst->ctx);
        all.insert(r.begin(), r.end());
    }
    return all;
}

std::map<std::string, Fingerprint> load(const char* path) {
    std::map<std::string, Fingerprint> r;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        Fingerprint f;
        words >> key >> f.missing >> f.sum >> f.scale;
        std::string v;
        while (words >> v) {
            f.samples.push_back(v == "-" ? FMLInvalidValue : std::strtof(v.c_str(), nullptr));
        }
        r[key] = f;
    }
    return r;
}

void save(const char* path, const std::map<std::string, Fingerprint>& all) {
    std::ofstream out(path);
    char buf[64];
    for (const auto& kv : all) {
        std::snprintf(buf, sizeof buf, " %d %.17g %.9g", kv.second.missing, kv.second.sum,
                      kv.second.scale);
        out << kv.first << buf;
        for (float v : kv.second.samples) {
            if (v == FMLInvalidValue) {
                out << " -";
            } else {
                std::snprintf(buf, sizeof buf, " %.9g", double(v));
                out << buf;
            }
        }
        out << "\n";
    }
}

bool close(float got, float want, double scale) {
    if (got == FMLInvalidValue || want == FMLInvalidValue) {
        return got == want;
    }
    if (std::isnan(want) || std::isinf(want)) {
        return std::isnan(want) ? std::isnan(got) : got == want;
    }
    return std::fabs(double(got) - want) <= 1e-6 * std::max(1.0, scale);
}

}  // namespace

class TestRecorded : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (const char* path = std::getenv("VQ_RECORD_BUILTINS")) {
            save(path, runAll());
            QSKIP("recorded");
        }
        recorded_ = load(FML_RECORDED_VALUES);
        QVERIFY2(recorded_.size() > 100, "the recorded values are missing");
        current_ = runAll();
    }

    void sameOutputs() {
        for (const auto& kv : recorded_) {
            QVERIFY2(current_.count(kv.first), kv.first.c_str());
        }
        QCOMPARE(current_.size(), recorded_.size());
    }

    void sameValues_data() {
        QTest::addColumn<QString>("key");
        for (const auto& kv : load(FML_RECORDED_VALUES)) {
            QTest::newRow(kv.first.c_str()) << QString::fromStdString(kv.first);
        }
    }
    void sameValues() {
        QFETCH(QString, key);
        const Fingerprint& want = recorded_.at(key.toStdString());
        auto it = current_.find(key.toStdString());
        QVERIFY(it != current_.end());
        const Fingerprint& got = it->second;
        QCOMPARE(got.missing, want.missing);
        QCOMPARE(got.samples.size(), want.samples.size());
        for (size_t i = 0; i < want.samples.size(); ++i) {
            QVERIFY2(close(got.samples[i], want.samples[i], want.scale),
                     qPrintable(QString("bar %1: %2, recorded %3")
                                    .arg(kSamples[i])
                                    .arg(double(got.samples[i]), 0, 'g', 9)
                                    .arg(double(want.samples[i]), 0, 'g', 9)));
        }
        // Each value may move by rounding only, so the sum moves by no more than all of them.
        double bound = 1e-6 * std::max(1.0, want.scale) * (kBars - want.missing) + 1e-9;
        QVERIFY2(
            std::fabs(got.sum - want.sum) <= bound || std::isnan(want.sum),
            qPrintable(
                QString("sum %1, recorded %2").arg(got.sum, 0, 'g', 17).arg(want.sum, 0, 'g', 17)));
    }

private:
    std::map<std::string, Fingerprint> recorded_, current_;
};

QTEST_GUILESS_MAIN(TestRecorded)
#include "tst_recorded.moc"
