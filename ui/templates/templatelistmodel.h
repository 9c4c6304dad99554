#pragma once

#include "records.h"

#include <QAbstractListModel>
#include <QList>

// The rows of the library list, in the order the view model's filter and sort give.
class TemplateListModel final : public QAbstractListModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplateListModel)

public:
    enum Role
    {
        IdRole = Qt::UserRole + 1,
        FavoriteRole,
        KindNameRole
    };

    explicit TemplateListModel(QObject *parent = nullptr);

    // Rows that keep their ids and order are updated in place, so a description edit does
    // not reset the list; anything else resets it.
    void setRecords(const QList<Template> &records);
    // Updates the row with this record's id, if it is listed.
    void replaceRecord(const Template &record);
    const QList<Template> &records() const { return m_records; }
    int rowOf(const QUuid &id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<Template> m_records;
};
