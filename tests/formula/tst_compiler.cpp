// The formula compiler: token order, attributes and palette, and diagnostics with positions.
#include "formula/compiler.h"

#include <QtTest>

#include <cstring>

using namespace formula;

namespace {

// Tokens as compact words: "I:C" identifier, "N:3" number, "S:x" text, "F:MA" call,
// "=:NAME" statement name, "D:kind:name:colour:width:style" attribute, ";" end.
QStringList words(const Program& p) {
    QStringList out;
    for (const ProgramToken& t : p.tokens) {
        switch (t.code) {
            case FML_TOKEN_IDENT:
                out << "I:" + QString::fromStdString(t.a);
                break;
            case FML_TOKEN_NUMBER: {
                float f;
                std::memcpy(&f, &t.bits, 4);
                out << "N:" + QString::number(double(f));
                break;
            }
            case FML_TOKEN_STRING:
                out << "S:" + QString::fromStdString(t.a);
                break;
            case FML_TOKEN_CALL:
                out << "F:" + QString::fromStdString(t.a);
                break;
            case FML_TOKEN_NAME:
                out << "=:" + QString::fromStdString(t.a);
                break;
            case FML_TOKEN_ATTRIBUTE:
                out << QString("D:%1:%2:%3:%4:%5")
                           .arg(t.bits)
                           .arg(QString::fromStdString(t.b))
                           .arg(t.style.color, 0, 16)
                           .arg(double(t.style.width))
                           .arg(t.style.style);
                break;
            case FML_TOKEN_END:
                out << ";";
                break;
        }
    }
    return out;
}

}  // namespace

class TestCompiler : public QObject {
    Q_OBJECT

private slots:
    void tokens_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("curve") << "MA1:MA(C,M1);"
                               << "I:C I:M1 F:MA =:MA1 D:0:MA1:ffffffff:1:0 ;";
        QTest::newRow("variable") << "X:=C+1"
                                  << "I:C N:1 F:+ =:X ;";
        QTest::newRow("precedence") << "R:=A+B*C>D AND E OR F;"
                                    << "I:A I:B I:C F:* F:+ I:D F:> I:E F:AND I:F F:OR =:R ;";
        QTest::newRow("left grouping") << "R:=A-B-C/D/E;"
                                       << "I:A I:B F:- I:C I:D F:/ I:E F:/ F:- =:R ;";
        QTest::newRow("and over or") << "R:=A OR B AND C;"
                                     << "I:A I:B I:C F:AND F:OR =:R ;";
        QTest::newRow("negative number") << "R:=-3;"
                                         << "N:-3 =:R ;";
        QTest::newRow("negate") << "R:=-(A-B);"
                                << "I:A I:B F:- F:negate =:R ;";
        QTest::newRow("minus number") << "R:=A-3;"
                                      << "I:A N:3 F:- =:R ;";
        QTest::newRow("lower case kept") << "R:=ref(C,1) and x;"
                                         << "I:C N:1 F:ref I:x F:and =:R ;";
        QTest::newRow("comparisons") << "R:=A<>B;S:=A!=B;T:=A<=B;"
                                     << "I:A I:B F:<> =:R ; I:A I:B F:!= =:S ; I:A I:B F:<= =:T ;";
        QTest::newRow("exponent") << "R:=1e+08;"
                                  << "N:1e+08 =:R ;";
        QTest::newRow("text") << "R:=STRCAT('YS：','元');"
                              << "S:YS： S:元 F:STRCAT =:R ;";
        QTest::newRow("drawing") << "STICK(C>O,H,L,1,0), COLOR(0x000000FF);"
                                 << "I:C I:O F:> I:H I:L N:1 N:0 =: D:2::ff:1:0 ;";
        QTest::newRow("named drawing") << "EXT:LINE(A,O,B,O,0), STYLE(1);"
                                       << "I:A I:O I:B I:O N:0 =:EXT D:1:EXT:ffffffff:1:1 ;";
        QTest::newRow("unnamed curve")
            << "0, COLOR(0x00FF0000), STYLE(1); DIF:C;"
            << "N:0 =: D:0::ff0000:1:1 ; I:C =:DIF D:0:DIF:ffffffff:1:0 ;";
        QTest::newRow("icon colour 0") << "ICON(A,L,1);"
                                       << "I:A I:L N:1 =: D:7::0:1:0 ;";
        QTest::newRow("icon palette")
            << "X:C; ICON(A,L,1), PALETTE;"
            << "I:C =:X D:0:X:ffffffff:1:0 ; I:A I:L N:1 =: D:7::2480d9ff:1:0 ;";
        QTest::newRow("old attribute words") << "X:C, COLOR00FF00, LINETHICK3;"
                                             << "I:C =:X D:0:X:ff00:3:0 ;";
        QTest::newRow("qrgb colour") << "X:C, COLOR(0xFFFF3D3D);"
                                     << "I:C =:X D:0:X:ffff3d3d:1:0 ;";
        QTest::newRow("chinese names") << "大笔H:H, LINETHICK(3);"
                                       << "I:H =:大笔H D:0:大笔H:ffffffff:3:0 ;";
        QTest::newRow("comments") << "{a} X:=C; // rest\nY:=O;"
                                  << "I:C =:X ; I:O =:Y ;";
        QTest::newRow("dynainfo") << "X:=DYNAINFO(3);"
                                  << "N:3 F:DYNAINFO =:X ;";
        QTest::newRow("not call") << "X:=NOT(A=1);"
                                  << "I:A N:1 F:= F:NOT =:X ;";
    }
    void tokens() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        Compiler c;
        Program p;
        CompileError e;
        QVERIFY2(c.compile(text.toStdString(), &p, &e), e.text().c_str());
        QCOMPARE(words(p).join(' '), expected);
    }

    // Palette colours: the seven entries in order, then from the first again.
    void paletteWraps() {
        std::string text;
        for (int i = 0; i < 9; ++i) {
            text += "A" + std::to_string(i) + ":C;";
        }
        Compiler c;
        Program p;
        QVERIFY(c.compile(text, &p, nullptr));
        std::vector<uint32_t> colours;
        for (const ProgramToken& t : p.tokens) {
            if (t.code == FML_TOKEN_ATTRIBUTE) {
                colours.push_back(t.style.color);
            }
        }
        QCOMPARE(colours.size(), size_t(9));
        QCOMPARE(colours[0], 0xFFFFFFFFu);
        QCOMPARE(colours[1], 0x2480D9FFu);  // (217,128,36)
        QCOMPARE(colours[6], 0xE6D8ADFFu);  // (173,216,230)
        QCOMPARE(colours[7], colours[0]);
        QCOMPARE(colours[8], colours[1]);
    }

    void errors_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown function")
            << "X:=C;\nY:=FOO(C);" << 2 << 4 << "unknown function FOO";
        QTest::newRow("arity") << "X:=MA(C);" << 1 << 4 << "MA takes 2 arguments, 1 given";
        QTest::newRow("draw arity") << "STICK(C,O);" << 1 << 1 << "STICK takes 5 arguments";
        QTest::newRow("missing paren") << "X:=MA(C,5;" << 1 << 10 << "expected ',' or ')'";
        QTest::newRow("open text") << "X:='abc;" << 1 << 4 << "text literal is not closed";
        QTest::newRow("draw inside") << "X:=1+ICON(A,B,1);" << 1 << 6 << "must stand alone";
        QTest::newRow("unknown attribute")
            << "X:C, THICK;" << 1 << 6 << "unknown drawing attribute";
        QTest::newRow("variable attribute") << "X:=C, STYLE(1);" << 1 << 1 << "takes no drawing";
        QTest::newRow("bad character") << "X:=C#1;" << 1 << 5 << "unexpected character";
        QTest::newRow("chinese column") << "大笔H:FOO(1);" << 1 << 5 << "unknown function";
        QTest::newRow("ends early") << "X:=C+" << 1 << 6 << "ends inside an expression";
        QTest::newRow("no separator") << "X:=C Y:=O;" << 1 << 6 << "expected ';'";
        QTest::newRow("open comment") << "{ never closed" << 1 << 1 << "comment is not closed";
    }
    void errors() {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(QString, message);
        Compiler c;
        Program p;
        CompileError e;
        QVERIFY(!c.compile(text.toStdString(), &p, &e));
        QVERIFY2(QString::fromStdString(e.message).contains(message), e.message.c_str());
        QCOMPARE(e.line, line);
        QCOMPARE(e.column, column);
    }

    void deepNestingIsRefused() {
        std::string text = "X:=" + std::string(5000, '(') + "1" + std::string(5000, ')') + ";";
        Compiler c;
        CompileError e;
        QVERIFY(!c.compile(text, nullptr, &e));
        QVERIFY(QString::fromStdString(e.message).contains("nested too deeply"));
        std::string minus = "X:=" + std::string(5000, '-') + "A;";
        QVERIFY(!c.compile(minus, nullptr, &e));
    }

    // A compiled program runs in the VM and gives what the text says.
    void compiledProgramRuns() {
        Compiler c;
        Program p;
        QVERIFY(c.compile("A:=2; B:A*3+1, COLOR(0xFF);", &p, nullptr));
        int vm = fml_vm_create();
        int ctx = fml_ctx_create(vm);
        QVERIFY(p.push(ctx));
        fml_ctx_data_length(ctx, 2);
        QCOMPARE(fml_vm_run(vm, ctx), 1);
        QCOMPARE(fml_argument_data_number(fml_get_argument(ctx, "B"))[1], 7.0f);
        fml_op_line r{};
        QVERIFY(fml_ctx_op_line(ctx, &r, 0));
        QCOMPARE(r.color, 0xFFu);
        fml_ctx_release(ctx);
        fml_vm_release(vm);
    }
};

QTEST_APPLESS_MAIN(TestCompiler)
#include "tst_compiler.moc"
