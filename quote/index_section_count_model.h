#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QVariantList>
#include <QVector>

// The rise/fall distribution of a market: how many securities moved within each band of
// change, one row per band, from the limit-up row down to the limit-down row. It starts with
// a typical session's distribution and takes the current one from the market-breadth document
// whenever a view hands it over.
class IndexSectionCountModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCountProperty NOTIFY countChanged)
public:
    enum Role { NameRole = 1, SectionRole = 2, CountRole = 3, TypeRole = 4, RatioRole = 5 };

    struct Section {
        QString name;
        QString section;
        int count = 0;
        int type = 0;  // 1 rising, -1 falling, 0 unchanged
    };

    explicit IndexSectionCountModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The largest count of the rows (0 without rows).
    Q_INVOKABLE int getMaxCount() const;
    // Count of row `index` against the largest count: 1 for the largest band, 0 for an
    // index without a row or when every band is empty.
    Q_INVOKABLE float getCurRatio(uint index) const;

    // Replaces the rows by the bands of one member of the breadth document, each
    // {name, section, count, type}; the totals ("up_counts", "down_counts") are not bands
    // and are left out, as are entries that are not objects. Rows that keep their place are
    // updated in place, so views keep their delegates while the figures move.
    Q_INVOKABLE void setSections(const QVariantList& items);

    const QVector<Section>& sections() const { return rows_; }

signals:
    void countChanged();

private:
    int rowCountProperty() const { return rows_.size(); }

    QVector<Section> rows_;
};
