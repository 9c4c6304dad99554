#include "templatelistmodel.h"

#include <QTextDocument>

TemplateListModel::TemplateListModel(QObject *parent) : QAbstractListModel(parent) {}

void TemplateListModel::setRecords(const QList<Template> &records, const QList<CslStyle> &styles)
{
    m_outside.clear();
    bool sameRows = records.size() == m_records.size() && styles.size() == m_styles.size();
    for (qsizetype i = 0; sameRows && i < records.size(); ++i)
        sameRows = records[i].id == m_records[i].id;
    for (qsizetype i = 0; sameRows && i < styles.size(); ++i)
        sameRows = styles[i] == m_styles[i];
    if (!sameRows) {
        beginResetModel();
        m_records = records;
        m_styles = styles;
        endResetModel();
        return;
    }
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (records[i] == m_records[i])
            continue;
        m_records[i] = records[i];
        emit dataChanged(index(int(i)), index(int(i)));
    }
}

void TemplateListModel::replaceRecord(const Template &record)
{
    const int row = rowOf(record.id);
    if (row < 0 || m_records[row] == record)
        return;
    m_records[row] = record;
    emit dataChanged(index(row), index(row));
}

int TemplateListModel::rowOf(const QUuid &id) const
{
    for (qsizetype i = 0; i < m_records.size(); ++i) {
        if (m_records[i].id == id)
            return int(i);
    }
    for (qsizetype i = 0; i < m_styles.size(); ++i) {
        if (m_styles[i].id == id)
            return int(m_records.size() + i);
    }
    return -1;
}

int TemplateListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records.size() + m_styles.size());
}

QVariant TemplateListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (index.row() >= m_records.size())
        return styleData(m_styles[index.row() - m_records.size()], role);
    const Template &t = m_records[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return t.name;
    case IdRole:
        return t.id;
    case FavoriteRole:
        return t.isFavorite;
    case KindNameRole:
        return displayName(t.type);
    case OutsideRole:
        return isOutside(t);
    case Qt::ToolTipRole:
        if (!isOutside(t))
            return {};
        // Tool tips take markup; a path is text.
        return Qt::convertFromPlainText(
            QStringLiteral("Die Datei liegt außerhalb der Template-Bibliothek und bleibt beim "
                           "Löschen erhalten:\n") +
            t.filePath);
    default:
        return {};
    }
}

void TemplateListModel::setLibraryCheck(std::function<bool(const Template &)> inLibrary)
{
    m_inLibrary = std::move(inLibrary);
    m_outside.clear();
}

bool TemplateListModel::isOutside(const Template &record) const
{
    if (!m_inLibrary)
        return false;
    auto it = m_outside.constFind(record.id);
    if (it == m_outside.constEnd())
        it = m_outside.insert(record.id, !m_inLibrary(record));
    return *it;
}

QVariant TemplateListModel::styleData(const CslStyle &style, int role)
{
    switch (role) {
    case Qt::DisplayRole:
        return style.name;
    case IdRole:
        return style.id;
    case FavoriteRole:
    case OutsideRole:
        return false;
    case KindNameRole:
        return kCslStyleKindName;
    default:
        return {};
    }
}
