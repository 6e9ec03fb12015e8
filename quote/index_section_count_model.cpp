#include "quote/index_section_count_model.h"

#include <QVariantMap>

#include <algorithm>

namespace {

bool isTotal(const QString& section) {
    return section == QLatin1String("up_counts") || section == QLatin1String("down_counts");
}

}  // namespace

IndexSectionCountModel::IndexSectionCountModel(QObject* parent) : QAbstractListModel(parent) {
    const QString name = QStringLiteral("沪深");
    rows_ = {
        {name, QStringLiteral("涨停"), 51, 1},    {name, QStringLiteral(">8%"), 11, 1},
        {name, QStringLiteral("6-8%"), 31, 1},    {name, QStringLiteral("4-6%"), 54, 1},
        {name, QStringLiteral("2-4%"), 219, 1},   {name, QStringLiteral("0-2%"), 1580, 1},
        {name, QStringLiteral("0-2%"), 1490, -1}, {name, QStringLiteral("2-4%"), 215, -1},
        {name, QStringLiteral("4-6%"), 28, -1},   {name, QStringLiteral("6-8%"), 8, -1},
        {name, QStringLiteral(">8%"), 7, -1},     {name, QStringLiteral("跌停"), 15, -1},
    };
}

int IndexSectionCountModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_.size();
}

QVariant IndexSectionCountModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rows_.size())
        return QVariant();
    const Section& s = rows_.at(index.row());
    switch (role) {
        case NameRole:
            return s.name;
        case SectionRole:
            return s.section;
        case CountRole:
            return s.count;
        case TypeRole:
            return s.type;
        case RatioRole:
            return getCurRatio(uint(index.row()));
        default:
            return QVariant();
    }
}

QHash<int, QByteArray> IndexSectionCountModel::roleNames() const {
    return {{NameRole, "name"},
            {SectionRole, "section"},
            {CountRole, "count"},
            {TypeRole, "type"},
            {RatioRole, "ratio"}};
}

int IndexSectionCountModel::getMaxCount() const {
    int largest = 0;
    for (const Section& s : rows_)
        largest = std::max(largest, s.count);
    return largest;
}

float IndexSectionCountModel::getCurRatio(uint index) const {
    const int largest = getMaxCount();
    if (index >= uint(rows_.size()) || largest <= 0)
        return 0.0f;
    return float(rows_.at(int(index)).count) / float(largest);
}

void IndexSectionCountModel::setSections(const QVariantList& items) {
    QVector<Section> next;
    next.reserve(items.size());
    for (const QVariant& item : items) {
        if (!item.canConvert<QVariantMap>() || item.userType() == QMetaType::QString)
            continue;
        const QVariantMap map = item.toMap();
        const QString section = map.value(QStringLiteral("section")).toString();
        if (isTotal(section))
            continue;
        // A negative count is no count; a type is only its sign.
        const int count = std::max(0, map.value(QStringLiteral("count")).toInt());
        const int type = map.value(QStringLiteral("type")).toInt();
        next.append({map.value(QStringLiteral("name")).toString(), section, count,
                     type > 0 ? 1 : (type < 0 ? -1 : 0)});
    }
    if (next.size() != rows_.size()) {
        beginResetModel();
        rows_ = next;
        endResetModel();
        emit countChanged();
        return;
    }
    rows_ = next;
    // Every ratio depends on the largest count, so each row may have changed.
    if (!rows_.isEmpty())
        emit dataChanged(index(0), index(rows_.size() - 1));
}
