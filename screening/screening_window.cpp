#include "screening/screening_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>
#include <vector>

#include "screening/condition_editor.h"

namespace screening {

namespace {

constexpr int kConditionRole = Qt::UserRole + 1;

const char* const kStyle = R"(
QWidget { background: #16181d; color: #d6d9e0; font-size: 13px; }
QComboBox, QLineEdit, QPlainTextEdit, QDoubleSpinBox, QListWidget {
    background: #0e1014; border: 1px solid #343944; padding: 3px; selection-background-color: #27406b; }
QTabWidget::pane { border: 1px solid #343944; }
QTabBar::tab { background: #1d2027; padding: 5px 14px; border: 1px solid #343944; }
QTabBar::tab:selected { background: #27406b; color: #ffffff; }
QPushButton { background: #232731; border: 1px solid #3d4350; padding: 5px 16px; }
QPushButton:hover { border-color: #5b83c7; }
QPushButton:disabled { color: #5d6270; }
QPushButton#runScreen { background: #b3261e; border-color: #d8453c; color: #ffffff; }
QProgressBar { border: 1px solid #343944; background: #0e1014; height: 14px; text-align: center; }
QProgressBar::chunk { background: #3e6fbf; }
QLabel#screeningError { color: #ff5b5b; }
)";

}  // namespace

ScreeningWindow::ScreeningWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("screeningWindow"));
    setWindowTitle(QStringLiteral("云选股"));
    setStyleSheet(QString::fromUtf8(kStyle));
    resize(640, 600);

    cycle_ = new QComboBox;
    cycle_->setObjectName(QStringLiteral("screenCycle"));
    block_ = new QComboBox;
    block_->setObjectName(QStringLiteral("screenBlock"));
    block_->setMaxVisibleItems(20);
    logic_ = new QComboBox;
    logic_->setObjectName(QStringLiteral("screenLogic"));
    logic_->addItem(QStringLiteral("全部条件满足 (AND)"), QStringLiteral("and"));
    logic_->addItem(QStringLiteral("任一条件满足 (OR)"), QStringLiteral("or"));
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("周期")), 0, 0);
    top->addWidget(cycle_, 0, 1);
    top->addWidget(new QLabel(QStringLiteral("范围")), 0, 2);
    top->addWidget(block_, 0, 3);
    top->addWidget(new QLabel(QStringLiteral("组合")), 0, 4);
    top->addWidget(logic_, 0, 5);
    top->setColumnStretch(3, 1);

    editor_ = new ConditionEditor;
    conditions_ = new QListWidget;
    conditions_->setObjectName(QStringLiteral("screenConditions"));
    auto* remove = new QPushButton(QStringLiteral("删除条件"));
    remove->setObjectName(QStringLiteral("removeCondition"));
    auto* clear = new QPushButton(QStringLiteral("清空"));
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(new QLabel(QStringLiteral("选股条件")));
    listButtons->addStretch(1);
    listButtons->addWidget(remove);
    listButtons->addWidget(clear);

    error_ = new QLabel;
    error_->setObjectName(QStringLiteral("screeningError"));
    error_->setWordWrap(true);
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_ = new QLabel(QStringLiteral("正在读取选股范围…"));
    status_->setObjectName(QStringLiteral("screeningStatus"));
    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("screeningProgress"));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    check_ = new QPushButton(QStringLiteral("检查条件"));
    check_->setObjectName(QStringLiteral("checkConditions"));
    run_ = new QPushButton(QStringLiteral("开始选股"));
    run_->setObjectName(QStringLiteral("runScreen"));
    cancel_ = new QPushButton(QStringLiteral("取消"));
    cancel_->setObjectName(QStringLiteral("cancelScreen"));
    cancel_->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("关闭"));
    close->setObjectName(QStringLiteral("closeScreening"));
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    auto* actions = new QHBoxLayout;
    actions->addWidget(status_, 1);
    actions->addWidget(check_);
    actions->addWidget(cancel_);
    actions->addWidget(run_);
    actions->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(editor_, 3);
    layout->addLayout(listButtons);
    layout->addWidget(conditions_, 2);
    layout->addWidget(error_);
    layout->addWidget(progress_);
    layout->addLayout(actions);

    connect(editor_, &ConditionEditor::conditionReady, this, &ScreeningWindow::addCondition);
    connect(remove, &QPushButton::clicked, this, [this] { delete conditions_->currentItem(); });
    connect(clear, &QPushButton::clicked, conditions_, &QListWidget::clear);
    connect(check_, &QPushButton::clicked, this, [this] {
        error_->clear();
        client_.check(request());
    });
    connect(run_, &QPushButton::clicked, this, &ScreeningWindow::startScreen);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(cancel_, &QPushButton::clicked, &client_, &ScreeningClient::cancel);

    connect(&client_, &ScreeningClient::choicesReady, this, [this](const QJsonObject& c) {
        cycle_->clear();
        for (const QJsonValue& v : c.value(QStringLiteral("cycles")).toArray()) {
            cycle_->addItem(v[QStringLiteral("name")].toString(), v[QStringLiteral("id")].toInt());
        }
        block_->clear();
        for (const QJsonValue& v : c.value(QStringLiteral("blocks")).toArray()) {
            block_->addItem(QStringLiteral("%1（%2只）")
                                .arg(v[QStringLiteral("name")].toString())
                                .arg(v[QStringLiteral("count")].toInt()),
                            v[QStringLiteral("id")].toDouble());
        }
        editor_->setFormulas(c.value(QStringLiteral("formulas")).toArray());
        status_->setText(QStringLiteral("添加条件后开始选股"));
    });
    connect(&client_, &ScreeningClient::checked, this,
            [this] { status_->setText(QStringLiteral("条件检查通过")); });
    connect(&client_, &ScreeningClient::progress, this, [this](int done, int total) {
        progress_->setRange(0, qMax(1, total));
        progress_->setValue(done);
        status_->setText(QStringLiteral("正在选股：%1 / %2").arg(done).arg(total));
    });
    connect(&client_, &ScreeningClient::finished, this, &ScreeningWindow::report);
    connect(&client_, &ScreeningClient::cancelled, this, [this] {
        setBusy(false);
        status_->setText(QStringLiteral("选股已取消"));
    });
    connect(&client_, &ScreeningClient::failed, this, &ScreeningWindow::showProblem);
}

ScreeningWindow::~ScreeningWindow() {
    client_.cancel();
}

void ScreeningWindow::connectTo(const QString& host, const QString& user,
                                ScreeningCallback callback) {
    callback_ = callback;
    if (host != host_ || cycle_->count() == 0) {
        host_ = host;
        client_.setBase(host);
        client_.fetchChoices();
    }
    Q_UNUSED(user);
}

void ScreeningWindow::closeEvent(QCloseEvent* event) {
    client_.cancel();  // nobody is left to receive the result
    event->accept();
}

void ScreeningWindow::addCondition(const QJsonObject& condition, const QString& description) {
    auto* item = new QListWidgetItem(
        QStringLiteral("条件%1：%2").arg(conditions_->count() + 1).arg(description), conditions_);
    item->setData(kConditionRole, condition);
    conditions_->setCurrentItem(item);
    error_->clear();
}

QJsonObject ScreeningWindow::request() const {
    QJsonArray conditions;
    for (int i = 0; i < conditions_->count(); ++i) {
        conditions.append(conditions_->item(i)->data(kConditionRole).toJsonObject());
    }
    return QJsonObject{{QStringLiteral("conditions"), conditions},
                       {QStringLiteral("logic"), logic_->currentData().toString()},
                       {QStringLiteral("cycle"), cycle_->currentData().toInt()},
                       {QStringLiteral("block"), block_->currentData().toDouble()},
                       {QStringLiteral("bars"), 500}};
}

void ScreeningWindow::startScreen() {
    error_->clear();
    if (conditions_->count() == 0) {
        error_->setText(QStringLiteral("请先添加选股条件"));
        return;
    }
    setBusy(true);
    progress_->setRange(0, 0);  // busy until the first progress arrives
    status_->setText(QStringLiteral("正在提交选股…"));
    client_.start(request());
}

void ScreeningWindow::setBusy(bool busy) {
    run_->setEnabled(!busy);
    check_->setEnabled(!busy);
    cancel_->setEnabled(busy);
    if (!busy) {
        progress_->setRange(0, 1);
    }
}

void ScreeningWindow::report(const QJsonArray& items) {
    setBusy(false);
    progress_->setValue(1);
    status_->setText(items.isEmpty() ? QStringLiteral("没有符合条件的股票")
                                     : QStringLiteral("选出 %1 只股票").arg(items.size()));
    if (!callback_) {
        return;
    }
    std::vector<ScreeningResultItem> out(static_cast<size_t>(items.size()));
    for (int i = 0; i < items.size(); ++i) {
        const QJsonObject e = items.at(i).toObject();
        const QByteArray code = e.value(QStringLiteral("code")).toString().toUtf8();
        ScreeningResultItem& r = out[size_t(i)];
        std::memset(&r, 0, sizeof r);
        std::memcpy(r.code, code.constData(), size_t(qMin(code.size(), 6)));
        r.market = e.value(QStringLiteral("market")).toInt();
    }
    const ScreeningMessage msg{SCREENING_RESULT, int32_t(out.size()), out.data()};
    callback_(&msg);
}

void ScreeningWindow::showProblem(const RequestProblem& problem) {
    setBusy(false);
    status_->setText(QStringLiteral("选股未完成"));
    QString where;
    if (problem.condition >= 0) {
        where = QStringLiteral("条件%1").arg(problem.condition + 1);
        if (problem.line > 0) {
            where += QStringLiteral(" 第%1行第%2列").arg(problem.line).arg(problem.column);
        }
        where += QStringLiteral("：");
        if (QListWidgetItem* item = conditions_->item(problem.condition)) {
            conditions_->setCurrentItem(item);
            const QJsonObject c = item->data(kConditionRole).toJsonObject();
            if (problem.line > 0 && c.contains(QStringLiteral("text"))) {
                editor_->pointAt(c.value(QStringLiteral("text")).toString(), problem.line,
                                 problem.column);
            }
        }
    }
    error_->setText(where + problem.message);
}

}  // namespace screening
