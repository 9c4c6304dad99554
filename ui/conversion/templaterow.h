#pragma once

#include "records.h"

#include <QList>
#include <QWidget>
#include <optional>

class QComboBox;

// One template picker: "(Kein Template)" and the templates of one kind.
class TemplateRow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplateRow)

public:
    TemplateRow(const QString &label, const QString &pickerName, QWidget *parent = nullptr);

    void setTemplates(const QList<Template> &templates);
    void setSelection(const std::optional<Template> &selection);
    QComboBox *picker() const { return m_picker; }

signals:
    // The user picked an entry; absent for "(Kein Template)".
    void selectionChosen(const std::optional<Template> &selection);

private:
    void showSelection();

    QComboBox *m_picker = nullptr;
    QList<Template> m_templates;
    std::optional<Template> m_selection;
};
