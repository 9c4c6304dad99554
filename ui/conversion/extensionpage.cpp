#include "extensionpage.h"

#include "converteranswers.h"
#include "converterservice.h"
#include "formatname.h"
#include "pandocviewmodel.h"
#include "settingsmodel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>

ExtensionPage::ExtensionPage(PandocViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("extensionPage"));
    auto *stack = new QVBoxLayout(this);
    auto *note = new QLabel(QStringLiteral("Angehakt ist, was gilt; geänderte Einträge werden "
                                           "Teil des Formats (etwa markdown+smart)."),
                            this);
    note->setWordWrap(true);
    stack->addWidget(note);
    auto *sides = new QHBoxLayout;
    m_input = makeSide(QStringLiteral("inputExtensionList"));
    m_output = makeSide(QStringLiteral("outputExtensionList"));
    for (const Side *side : {&m_input, &m_output}) {
        auto *column = new QVBoxLayout;
        column->addWidget(side->title);
        column->addWidget(side->list);
        column->addWidget(side->unknown);
        sides->addLayout(column, 1);
    }
    stack->addLayout(sides);
    connect(&m_viewModel->converterService().answers(), &ConverterAnswers::answered, this,
            &ExtensionPage::refresh);
    connect(m_viewModel, &PandocViewModel::inputFormatChanged, this, &ExtensionPage::refresh);
    connect(m_viewModel, &PandocViewModel::outputFormatChanged, this, &ExtensionPage::refresh);
    connect(m_viewModel, &PandocViewModel::optionValuesChanged, this, &ExtensionPage::refresh);
    refresh();
}

ExtensionPage::Side ExtensionPage::makeSide(const QString &name)
{
    Side side;
    side.title = new QLabel(this);
    side.title->setWordWrap(true);
    side.list = new QListWidget(this);
    side.list->setObjectName(name);
    side.list->setMinimumHeight(side.list->fontMetrics().lineSpacing() * 8);
    side.list->setAccessibleName(name == u"inputExtensionList"
                                     ? QStringLiteral("Erweiterungen des Eingabeformats")
                                     : QStringLiteral("Erweiterungen des Ausgabeformats"));
    side.unknown = new QLabel(this);
    side.unknown->setWordWrap(true);
    side.unknown->setTextFormat(Qt::PlainText);
    connect(side.list, &QListWidget::itemChanged, this, &ExtensionPage::edited);
    return side;
}

QList<std::pair<QString, bool>> ExtensionPage::parseChanges(const QString &changes)
{
    static const QRegularExpression one(QStringLiteral("([+-])([a-z0-9_]+)"));
    QList<std::pair<QString, bool>> parsed;
    for (auto it = one.globalMatch(changes); it.hasNext();) {
        const auto m = it.next();
        parsed.removeIf([&m](const auto &p) { return p.first == m.captured(2); });
        parsed.append({m.captured(2), m.captured(1) == u"+"});
    }
    return parsed;
}

QString ExtensionPage::changesOf(const QStringList &listed, const QStringList &checked)
{
    QString changes;
    for (const QString &entry : listed) {
        const QString name = entry.mid(1);
        const bool byDefault = entry.startsWith(u'+');
        if (checked.contains(name) != byDefault)
            changes += (byDefault ? u'-' : u'+') + name;
    }
    return changes;
}

void ExtensionPage::refresh()
{
    if (m_filling)
        return;
    const ConversionSettings &s = m_viewModel->editedSettings().value();
    fill(m_input, converterFormatName(s.inputFormat), s.inputExtensions, true);
    fill(m_output, converterFormatName(s.outputFormat), s.outputExtensions, false);
}

void ExtensionPage::fill(Side &side, const QString &format, const QString &changes, bool input)
{
    const QString which = input ? QStringLiteral("Eingabe") : QStringLiteral("Ausgabe");
    if (format == u"auto") {
        side.title->setText(which + QStringLiteral(": „auto“ – Erweiterungen lassen sich erst mit "
                                                   "einem gewählten Format ändern."));
        side.list->clear();
        side.unknown->clear();
        side.format = format;
        return;
    }
    const QStringList listed = m_viewModel->converterService().answers().extensions(format);
    side.title->setText(
        which + QStringLiteral(": ") + format +
        (listed.isEmpty() ? QStringLiteral(" (wird bei pandoc erfragt…)") : QString()));
    const auto parsed = parseChanges(changes);
    m_filling = true;
    const QSignalBlocker quiet(side.list);
    // The same list only changes its marks, so the place it is scrolled to stays.
    bool same = side.format == format && side.list->count() == listed.size();
    for (int i = 0; same && i < side.list->count(); ++i)
        same = side.list->item(i)->data(Qt::UserRole).toString() == listed[i];
    if (!same)
        side.list->clear();
    QStringList unknown;
    for (const auto &[name, on] : parsed) {
        if (!listed.contains(u'+' + name) && !listed.contains(u'-' + name))
            unknown << (on ? u'+' : u'-') + name;
    }
    for (qsizetype i = 0; i < listed.size(); ++i) {
        const QString &entry = listed[i];
        const QString name = entry.mid(1);
        bool checked = entry.startsWith(u'+');
        for (const auto &[changed, on] : parsed) {
            if (changed == name)
                checked = on;
        }
        QListWidgetItem *item =
            same ? side.list->item(int(i)) : new QListWidgetItem(name, side.list);
        if (!same) {
            item->setData(Qt::UserRole, entry);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setToolTip(entry.startsWith(u'+') ? QStringLiteral("Standard: an")
                                                    : QStringLiteral("Standard: aus"));
        }
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        // A change from the default stands out.
        QFont font = item->font();
        font.setBold(checked != entry.startsWith(u'+'));
        item->setFont(font);
    }
    side.unknown->setText(unknown.isEmpty() || listed.isEmpty()
                              ? QString()
                              : QStringLiteral("⚠ Diesem pandoc unbekannt: ") + unknown.join(u' '));
    side.unknown->setVisible(!side.unknown->text().isEmpty());
    side.format = format;
    m_filling = false;
}

void ExtensionPage::edited()
{
    if (m_filling)
        return;
    const auto changes = [](const Side &side, const QString &before) -> QString {
        QStringList listed;
        QStringList checked;
        for (int i = 0; i < side.list->count(); ++i) {
            const QListWidgetItem *item = side.list->item(i);
            listed << item->data(Qt::UserRole).toString();
            if (item->checkState() == Qt::Checked)
                checked << item->text();
        }
        // Changes this converter does not list stay, for the one the preset was made with.
        QString kept;
        for (const auto &[name, on] : parseChanges(before)) {
            if (!listed.contains(u'+' + name) && !listed.contains(u'-' + name))
                kept += (on ? u'+' : u'-') + name;
        }
        return changesOf(listed, checked) + kept;
    };
    const ConversionSettings &s = m_viewModel->editedSettings().value();
    // A side the converter has not listed yet keeps what it had.
    const QString input =
        m_input.list->count() ? changes(m_input, s.inputExtensions) : s.inputExtensions;
    const QString output =
        m_output.list->count() ? changes(m_output, s.outputExtensions) : s.outputExtensions;
    m_viewModel->editedSettings().setExtensions(input, output);
}
