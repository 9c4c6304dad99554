#include "templaterow.h"

#include "formcolumns.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace {
constexpr int kFirstTemplateIndex = 2;
} // namespace

TemplateRow::TemplateRow(const QString &label, const QString &pickerName, QWidget *parent)
    : QWidget(parent)
{
    m_picker = FormColumns::makePicker(pickerName, this);
    m_picker->setAccessibleName(QString(label).remove(u':'));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(FormColumns::makeLabel(label, this));
    row->addWidget(m_picker);
    row->addStretch();

    connect(m_picker, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index == 0) {
            emit selectionChosen(std::nullopt);
            return;
        }
        const qsizetype i = index - kFirstTemplateIndex;
        if (i >= 0 && i < m_templates.size())
            emit selectionChosen(m_templates[i]);
    });
    setTemplates({});
}

void TemplateRow::setTemplates(const QList<Template> &templates)
{
    m_templates = templates;
    const QSignalBlocker blocker(m_picker);
    m_picker->clear();
    m_picker->addItem(QStringLiteral("(Kein Template)"));
    if (!m_templates.isEmpty()) {
        m_picker->insertSeparator(m_picker->count());
        for (const Template &t : m_templates)
            m_picker->addItem(t.isFavorite ? QStringLiteral("⭐ ") + t.name : t.name,
                              t.id.toString(QUuid::WithoutBraces));
    }
    showSelection();
}

void TemplateRow::setSelection(const std::optional<Template> &selection)
{
    m_selection = selection;
    showSelection();
}

void TemplateRow::showSelection()
{
    int index = 0;
    if (m_selection) {
        // By id: a conversion stamps the last use on the library entry, and the selection's
        // older copy still means the same template.
        const auto found =
            std::find_if(m_templates.cbegin(), m_templates.cend(),
                         [this](const Template &t) { return t.id == m_selection->id; });
        index = found == m_templates.cend()
                    ? -1
                    : kFirstTemplateIndex + int(found - m_templates.cbegin());
    }
    const QSignalBlocker blocker(m_picker);
    m_picker->setCurrentIndex(index);
}
