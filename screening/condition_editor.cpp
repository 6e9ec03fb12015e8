#include "screening/condition_editor.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QVBoxLayout>

namespace screening {

namespace {

struct Preset {
    const char* label;
    const char* formula;  // built-in code, or nullptr for own text
    const char* text;     // own text, or the output of the built-in
    const char* op;
    double value;
};

// Ready-made conditions users ask for most.
const Preset kPresets[] = {
    {"5日均线上穿10日均线", nullptr, "CROSS(MA(C,5),MA(C,10))", "", 0},
    {"收盘价站上20日均线", nullptr, "C>MA(C,20)", "", 0},
    {"RSI1 低于 20", "RSI", "RSI1", "<", 20},
    {"KDJ 金叉", nullptr,
     "RSV:=(C-LLV(L,9))/(HHV(H,9)-LLV(L,9))*100;\nK:=SMA(RSV,3,1);\nD:=SMA(K,3,1);\nCROSS(K,D)", "",
     0},
    {"MACD 金叉", nullptr, "DIF:=EMA(C,12)-EMA(C,26);\nDEA:=EMA(DIF,9);\nCROSS(DIF,DEA)", "", 0},
    {"放量上涨", nullptr, "V>2*MA(V,5) AND C>O", "", 0},
    {"创60日新高", nullptr, "H>=HHV(H,60)", "", 0},
    {"大爆炸买入信号", "DBZ", "XG", "", 0},
};

const char* const kOps[][2] = {{"", "成立"}, {">", ">"},   {"<", "<"},
                               {">=", ">="}, {"<=", "<="}, {"=", "="}};

}  // namespace

ConditionEditor::ConditionEditor(QWidget* parent) : QWidget(parent) {
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("conditionTabs"));

    // Built-in formula.
    auto* builtin = new QWidget;
    auto* form = new QFormLayout(builtin);
    formula_ = new QComboBox;
    formula_->setObjectName(QStringLiteral("builtinFormula"));
    params_ = new QLineEdit;
    params_->setObjectName(QStringLiteral("builtinParams"));
    params_->setPlaceholderText(QStringLiteral("无参数"));
    output_ = new QComboBox;
    output_->setObjectName(QStringLiteral("builtinOutput"));
    output_->setEditable(true);  // any variable of the formula may be read
    auto* addBuiltinButton = new QPushButton(QStringLiteral("添加条件"));
    addBuiltinButton->setObjectName(QStringLiteral("addBuiltinCondition"));
    form->addRow(QStringLiteral("公式"), formula_);
    form->addRow(QStringLiteral("参数"), params_);
    form->addRow(QStringLiteral("输出"), output_);
    form->addRow(QString(), addBuiltinButton);
    tabs_->addTab(builtin, QStringLiteral("内置公式"));

    // Own formula text.
    auto* own = new QWidget;
    auto* ownLayout = new QVBoxLayout(own);
    text_ = new QPlainTextEdit;
    text_->setObjectName(QStringLiteral("ownFormula"));
    text_->setPlaceholderText(QStringLiteral("例：CROSS(MA(C,5),MA(C,10))\n最后一条输出即条件"));
    auto* addOwnButton = new QPushButton(QStringLiteral("添加条件"));
    addOwnButton->setObjectName(QStringLiteral("addOwnCondition"));
    ownLayout->addWidget(text_);
    ownLayout->addWidget(addOwnButton, 0, Qt::AlignRight);
    tabs_->addTab(own, QStringLiteral("自编公式"));

    // Ready-made conditions.
    auto* ready = new QWidget;
    auto* readyLayout = new QHBoxLayout(ready);
    presets_ = new QComboBox;
    presets_->setObjectName(QStringLiteral("presetCondition"));
    for (const Preset& p : kPresets) {
        presets_->addItem(QString::fromUtf8(p.label));
    }
    auto* addPresetButton = new QPushButton(QStringLiteral("添加条件"));
    addPresetButton->setObjectName(QStringLiteral("addPresetCondition"));
    readyLayout->addWidget(presets_, 1);
    readyLayout->addWidget(addPresetButton);
    readyLayout->setAlignment(Qt::AlignTop);
    tabs_->addTab(ready, QStringLiteral("常用条件"));

    // The comparison applies to built-in and own formulas alike.
    op_ = new QComboBox;
    op_->setObjectName(QStringLiteral("conditionOp"));
    for (const auto& op : kOps) {
        op_->addItem(QString::fromUtf8(op[1]), QString::fromUtf8(op[0]));
    }
    value_ = new QDoubleSpinBox;
    value_->setObjectName(QStringLiteral("conditionValue"));
    value_->setRange(-1e9, 1e9);
    value_->setDecimals(3);
    value_->setEnabled(false);
    connect(op_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int i) { value_->setEnabled(i > 0); });
    auto* compareRow = new QWidget;
    auto* compare = new QHBoxLayout(compareRow);
    compare->setContentsMargins(0, 0, 0, 0);
    compare->addWidget(new QLabel(QStringLiteral("输出值")));
    compare->addWidget(op_);
    compare->addWidget(value_, 1);
    // Ready-made conditions bring their own comparison.
    connect(tabs_, &QTabWidget::currentChanged, compareRow,
            [compareRow](int tab) { compareRow->setVisible(tab != 2); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_);
    layout->addWidget(compareRow);

    connect(formula_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ConditionEditor::showFormula);
    connect(addBuiltinButton, &QPushButton::clicked, this, &ConditionEditor::addBuiltin);
    connect(addOwnButton, &QPushButton::clicked, this, &ConditionEditor::addOwn);
    connect(addPresetButton, &QPushButton::clicked, this,
            [this] { addPreset(presets_->currentIndex()); });
}

void ConditionEditor::setFormulas(const QJsonArray& formulas) {
    formulas_ = formulas;
    formula_->clear();
    for (const QJsonValue& v : formulas) {
        const QJsonObject f = v.toObject();
        const QString code = f.value(QStringLiteral("code")).toString();
        const QString name = f.value(QStringLiteral("name")).toString();
        formula_->addItem(name == code ? name : QStringLiteral("%1 %2").arg(code, name), code);
    }
    // Start on a common daily indicator rather than on whatever happens to be listed first.
    const int macd = formula_->findData(QStringLiteral("MACD"));
    formula_->setCurrentIndex(macd >= 0 ? macd : 0);
}

void ConditionEditor::showFormula(int index) {
    const QJsonObject f = formulas_.at(index).toObject();
    QStringList params;
    for (const QJsonValue& p : f.value(QStringLiteral("params")).toArray()) {
        params << QStringLiteral("%1=%2")
                      .arg(p.toObject().value(QStringLiteral("name")).toString())
                      .arg(p.toObject().value(QStringLiteral("value")).toDouble());
    }
    params_->setText(params.join(QStringLiteral(", ")));
    output_->clear();
    output_->addItem(QStringLiteral("最后输出信号"), QString());
    for (const QJsonValue& o : f.value(QStringLiteral("outputs")).toArray()) {
        output_->addItem(o.toString(), o.toString());
    }
    output_->setCurrentIndex(output_->count() > 1 ? 1 : 0);
}

bool ConditionEditor::comparison(QJsonObject* condition, QString* text) const {
    const QString op = op_->currentData().toString();
    condition->insert(QStringLiteral("op"), op);
    if (!op.isEmpty()) {
        condition->insert(QStringLiteral("value"), value_->value());
        *text += QStringLiteral(" %1 %2").arg(op).arg(value_->value());
    }
    return true;
}

void ConditionEditor::addBuiltin() {
    if (formula_->currentIndex() < 0) {
        return;
    }
    QJsonObject c{{QStringLiteral("formula"), formula_->currentData().toString()}};
    QJsonObject params;
    for (const QString& part : params_->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList kv = part.split(QLatin1Char('='));
        bool ok = false;
        const double v = kv.value(1).trimmed().toDouble(&ok);
        if (kv.size() == 2 && ok) {
            params.insert(kv[0].trimmed(), v);
        }
    }
    c.insert(QStringLiteral("params"), params);
    // The typed text wins over the list: a variable of the formula may be named.
    QString output = output_->currentText();
    if (output == output_->itemText(0)) {
        output.clear();
    }
    c.insert(QStringLiteral("output"), output);
    QString text = formula_->currentText();
    if (!params.isEmpty()) {
        text += QStringLiteral("(") + params_->text() + QStringLiteral(")");
    }
    text += QStringLiteral(" · ") + (output.isEmpty() ? output_->itemText(0) : output);
    comparison(&c, &text);
    emit conditionReady(c, text);
}

void ConditionEditor::addOwn() {
    const QString body = text_->toPlainText().trimmed();
    if (body.isEmpty()) {
        return;
    }
    QJsonObject c{{QStringLiteral("text"), body}};
    QString text =
        QStringLiteral("自编：") + QString(body).replace(QLatin1Char('\n'), QLatin1Char(' '));
    comparison(&c, &text);
    emit conditionReady(c, text);
}

void ConditionEditor::addPreset(int index) {
    if (index < 0 || index >= int(std::size(kPresets))) {
        return;
    }
    const Preset& p = kPresets[index];
    QJsonObject c;
    if (p.formula) {
        c.insert(QStringLiteral("formula"), QString::fromUtf8(p.formula));
        c.insert(QStringLiteral("output"), QString::fromUtf8(p.text));
    } else {
        c.insert(QStringLiteral("text"), QString::fromUtf8(p.text));
    }
    c.insert(QStringLiteral("op"), QString::fromUtf8(p.op));
    if (*p.op) {
        c.insert(QStringLiteral("value"), p.value);
    }
    emit conditionReady(c, QString::fromUtf8(p.label));
}

void ConditionEditor::pointAt(const QString& text, int line, int column) {
    tabs_->setCurrentIndex(1);
    text_->setPlainText(text);
    const QTextBlock block = text_->document()->findBlockByLineNumber(qMax(0, line - 1));
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                        qBound(0, column - 1, block.length() - 1));
    text_->setTextCursor(cursor);
    text_->setFocus();
}

}  // namespace screening
