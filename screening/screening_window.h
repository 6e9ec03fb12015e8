// The screening window: conditions on a cycle and within a block, combined with AND or OR,
// screened on our server with progress and cancel; the matching securities go to the
// terminal through its callback.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QWidget>

#include "screening/screening_client.h"
#include "service/screening_message.h"

class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace screening {

class ConditionEditor;

class ScreeningWindow : public QWidget {
    Q_OBJECT
public:
    explicit ScreeningWindow(QWidget* parent = nullptr);
    ~ScreeningWindow() override;

    // host: the screening service address; callback: where results are reported.
    void connectTo(const QString& host, const QString& user, ScreeningCallback callback);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void addCondition(const QJsonObject& condition, const QString& description);
    QJsonObject request() const;
    void startScreen();
    void report(const QJsonArray& items);
    void showProblem(const RequestProblem& problem);
    void setBusy(bool busy);

    ScreeningClient client_;
    ScreeningCallback callback_ = nullptr;
    QString host_;
    QComboBox* cycle_;
    QComboBox* block_;
    QComboBox* logic_;
    ConditionEditor* editor_;
    QListWidget* conditions_;
    QLabel* error_;
    QLabel* status_;
    QProgressBar* progress_;
    QPushButton* check_;
    QPushButton* run_;
    QPushButton* cancel_;
};

}  // namespace screening
