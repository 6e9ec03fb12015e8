// The part of the screening window where one condition is put together: a built-in formula
// (with its parameters, the output read and a comparison) or formula text of the user's own,
// or one of the common conditions ready made.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QWidget>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace screening {

class ConditionEditor : public QWidget {
    Q_OBJECT
public:
    explicit ConditionEditor(QWidget* parent = nullptr);

    // [{"code", "name", "outputs", "params"}] as the screening service lists them.
    void setFormulas(const QJsonArray& formulas);
    // Puts the caret of the own-formula text at a line and column (from 1) the compiler named.
    void pointAt(const QString& text, int line, int column);

signals:
    // A condition as the screening service reads it, with a line of text for the list.
    void conditionReady(const QJsonObject& condition, const QString& description);

private:
    void showFormula(int index);
    void addBuiltin();
    void addOwn();
    void addPreset(int index);
    bool comparison(QJsonObject* condition, QString* text) const;

    QJsonArray formulas_;
    QTabWidget* tabs_;
    QComboBox* formula_;
    QLineEdit* params_;
    QComboBox* output_;
    QPlainTextEdit* text_;
    QComboBox* op_;
    QDoubleSpinBox* value_;
    QComboBox* presets_;
};

}  // namespace screening
