#pragma once

#include "cslstyles.h"
#include "records.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <functional>

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
        KindNameRole,
        // True when the record's file lies outside the library folder for its kind.
        OutsideRole
    };

    // The kind pickers' value for citation styles, which are no TemplateType.
    static constexpr int kCslStyleKind = -2;

    explicit TemplateListModel(QObject *parent = nullptr);

    // Rows that keep their ids and order are updated in place, so a description edit does
    // not reset the list; anything else resets it. Styles follow the templates.
    void setRecords(const QList<Template> &records, const QList<CslStyle> &styles = {});
    // Updates the row with this record's id, if it is listed.
    void replaceRecord(const Template &record);
    const QList<Template> &records() const { return m_records; }
    const QList<CslStyle> &styles() const { return m_styles; }
    int rowOf(const QUuid &id) const;
    // Decides whether a record's file lies in the library; asked only for rows shown.
    void setLibraryCheck(std::function<bool(const Template &)> inLibrary);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    bool isOutside(const Template &record) const;
    static QVariant styleData(const CslStyle &style, int role);

    QList<Template> m_records;
    QList<CslStyle> m_styles;
    std::function<bool(const Template &)> m_inLibrary;
    // Looking at the disk for every row of a large library on every change would be slow.
    mutable QHash<QUuid, bool> m_outside;
};
