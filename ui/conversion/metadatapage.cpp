#include "metadatapage.h"

#include "formatrules.h"
#include "frontmatter.h"
#include "pandocviewmodel.h"
#include "settingsmodel.h"

#include <QComboBox>
#include <QDate>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QStringList &languages()
{
    static const QStringList tags{"de-DE", "de-AT", "de-CH", "en-US", "en-GB", "fr-FR",
                                  "fr-CH", "it-IT", "es-ES", "nl-NL", "pl-PL", "pt-PT",
                                  "pt-BR", "cs-CZ", "da-DK", "sv-SE", "nb-NO", "fi-FI",
                                  "tr-TR", "ru-RU", "uk-UA", "el-GR", "ja-JP", "zh-CN"};
    return tags;
}

QPlainTextEdit *makeText(const QString &name, QWidget *parent, int lines)
{
    auto *edit = new QPlainTextEdit(parent);
    edit->setObjectName(name);
    edit->setTabChangesFocus(true);
    edit->setFixedHeight(edit->fontMetrics().lineSpacing() * lines + 12);
    return edit;
}

} // namespace

const QStringList &MetadataPage::fieldKeys()
{
    static const QStringList keys{"title", "subtitle", "author", "date", "lang", "abstract"};
    return keys;
}

QStringList MetadataPage::usualVariables(const QString &outputFormat)
{
    switch (FormatRules::templateFamily(outputFormat)) {
    case FormatRules::TemplateFamily::Latex:
        return {"papersize", "fontsize", "geometry", "documentclass", "mainfont", "linestretch"};
    case FormatRules::TemplateFamily::Html:
        return {"maxwidth", "mainfont"};
    default:
        return {};
    }
}

MetadataPage::MetadataPage(PandocViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("metadataPage"));
    auto *stack = new QVBoxLayout(this);
    auto *note = new QLabel(QStringLiteral("Angaben hier haben Vorrang vor denen, die das Dokument "
                                           "in seinem YAML-Block selbst setzt."),
                            this);
    note->setWordWrap(true);
    stack->addWidget(note);
    m_documentHint = new QLabel(this);
    m_documentHint->setObjectName(QStringLiteral("documentMetadataHint"));
    m_documentHint->setWordWrap(true);
    stack->addWidget(m_documentHint);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    const auto line = [this](const QString &name) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(name);
        connect(edit, &QLineEdit::textEdited, this, &MetadataPage::fieldsEdited);
        return edit;
    };
    m_title = line(QStringLiteral("titleField"));
    m_subtitle = line(QStringLiteral("subtitleField"));
    m_authors = makeText(QStringLiteral("authorsField"), this, 3);
    m_authors->setPlaceholderText(QStringLiteral("Eine Person pro Zeile"));
    connect(m_authors, &QPlainTextEdit::textChanged, this, &MetadataPage::fieldsEdited);
    m_date = line(QStringLiteral("dateField"));
    m_date->setAccessibleName(QStringLiteral("Datum"));
    auto *today = new QPushButton(QStringLiteral("heute"), this);
    today->setObjectName(QStringLiteral("todayButton"));
    connect(today, &QPushButton::clicked, this, [this] {
        m_date->setText(QLocale(QLocale::German)
                            .toString(QDate::currentDate(), QStringLiteral("d. MMMM yyyy")));
        fieldsEdited();
    });
    auto *dateRow = new QHBoxLayout;
    dateRow->addWidget(m_date, 1);
    dateRow->addWidget(today);
    m_lang = new QComboBox(this);
    m_lang->setObjectName(QStringLiteral("languagePicker"));
    m_lang->setEditable(true);
    m_lang->addItem(QString());
    m_lang->addItems(languages());
    m_lang->setToolTip(QStringLiteral("lang: die Sprache des Dokuments (BCP 47); sie steuert auch "
                                      "die Silbentrennung im PDF."));
    connect(m_lang, &QComboBox::currentTextChanged, this, &MetadataPage::fieldsEdited);
    m_abstract = makeText(QStringLiteral("abstractField"), this, 3);
    connect(m_abstract, &QPlainTextEdit::textChanged, this, &MetadataPage::fieldsEdited);
    form->addRow(QStringLiteral("Titel:"), m_title);
    form->addRow(QStringLiteral("Untertitel:"), m_subtitle);
    form->addRow(QStringLiteral("Autor(en):"), m_authors);
    form->addRow(QStringLiteral("Datum:"), dateRow);
    form->addRow(QStringLiteral("Sprache:"), m_lang);
    form->addRow(QStringLiteral("Zusammenfassung:"), m_abstract);
    stack->addLayout(form);

    m_metadata = makeTable(QStringLiteral("metadataTable"),
                           QStringLiteral("Weitere Metadaten (-M):"), false);
    stack->addWidget(m_metadata);
    m_variables = makeTable(QStringLiteral("variablesTable"),
                            QStringLiteral("Template-Variablen (-V):"), true);
    stack->addWidget(m_variables);

    connect(m_viewModel, &PandocViewModel::optionValuesChanged, this, &MetadataPage::refresh);
    connect(m_viewModel, &PandocViewModel::inputFilesChanged, this,
            &MetadataPage::refreshDocumentHint);
    const auto offerUsual = [this] {
        m_usual->clear();
        m_usual->addItem(QStringLiteral("Übliche Variable…"));
        m_usual->addItems(usualVariables(m_viewModel->outputFormat()));
        m_usual->setVisible(m_usual->count() > 1);
    };
    connect(m_viewModel, &PandocViewModel::outputFormatChanged, this, offerUsual);
    offerUsual();
    refresh();
    refreshDocumentHint();
}

QTableWidget *MetadataPage::makeTable(const QString &name, const QString &caption, bool variables)
{
    // The row above the table is made first, so Tab reaches it first.
    auto *header = new QHBoxLayout;
    header->addWidget(new QLabel(caption, this));
    header->addStretch();
    if (variables) {
        m_usual = new QComboBox(this);
        m_usual->setObjectName(QStringLiteral("usualVariablePicker"));
        m_usual->setAccessibleName(QStringLiteral("Übliche Variable"));
        header->addWidget(m_usual);
    }
    auto *add = new QPushButton(QStringLiteral("Hinzufügen"), this);
    add->setObjectName(name + QStringLiteral("Add"));
    auto *remove = new QPushButton(QStringLiteral("Entfernen"), this);
    remove->setObjectName(name + QStringLiteral("Remove"));
    header->addWidget(add);
    header->addWidget(remove);
    static_cast<QVBoxLayout *>(layout())->addLayout(header);

    auto *table = new QTableWidget(0, 2, this);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels({QStringLiteral("Schlüssel"), QStringLiteral("Wert")});
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->setMinimumHeight(table->fontMetrics().lineSpacing() * 5);
    table->setAccessibleName(caption);
    const auto addRow = [table](const QString &key) {
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(key));
        table->setItem(row, 1, new QTableWidgetItem);
        table->editItem(table->item(row, key.isEmpty() ? 0 : 1));
    };
    if (variables)
        connect(m_usual, &QComboBox::activated, this, [this, addRow](int index) {
            if (index <= 0)
                return;
            addRow(m_usual->itemText(index));
            m_usual->setCurrentIndex(0);
        });
    connect(add, &QPushButton::clicked, this, [addRow] { addRow(QString()); });
    connect(remove, &QPushButton::clicked, this, [this, table, variables] {
        if (table->currentRow() >= 0)
            table->removeRow(table->currentRow());
        tableEdited(table, variables);
    });
    connect(table, &QTableWidget::itemChanged, this,
            [this, table, variables] { tableEdited(table, variables); });
    return table;
}

void MetadataPage::fieldsEdited()
{
    if (m_refreshing)
        return;
    Pairs pairs;
    const auto put = [&pairs](const QString &key, const QString &value) {
        if (!value.trimmed().isEmpty())
            pairs.append({key, value.trimmed()});
    };
    put(QStringLiteral("title"), m_title->text());
    put(QStringLiteral("subtitle"), m_subtitle->text());
    for (const QString &author : m_authors->toPlainText().split(u'\n'))
        put(QStringLiteral("author"), author);
    put(QStringLiteral("date"), m_date->text());
    put(QStringLiteral("lang"), m_lang->currentText());
    // One line: a value with a line break would be cut at it on the command line.
    put(QStringLiteral("abstract"), m_abstract->toPlainText().simplified());
    for (const auto &pair : tablePairs(m_metadata)) {
        if (!fieldKeys().contains(pair.first))
            pairs.append(pair);
    }
    m_viewModel->editedSettings().setMetadata(pairs);
}

void MetadataPage::tableEdited(QTableWidget *table, bool variables)
{
    if (m_refreshing)
        return;
    if (variables)
        m_viewModel->editedSettings().setVariables(tablePairs(table));
    else
        fieldsEdited();
}

MetadataPage::Pairs MetadataPage::tablePairs(const QTableWidget *table)
{
    Pairs pairs;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem *key = table->item(row, 0);
        const QTableWidgetItem *value = table->item(row, 1);
        const QString name = key ? key->text().trimmed() : QString();
        // A key with a space or a sign of its own would be read as another option.
        if (!name.isEmpty() && !name.contains(QRegularExpression(QStringLiteral("[\\s=:]"))))
            pairs.append({name, value ? value->text() : QString()});
    }
    return pairs;
}

void MetadataPage::fillTable(QTableWidget *table, const Pairs &pairs)
{
    if (tablePairs(table) == pairs)
        return;
    table->setRowCount(0);
    for (const auto &[key, value] : pairs) {
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(key));
        table->setItem(row, 1, new QTableWidgetItem(value));
    }
}

void MetadataPage::refresh()
{
    if (m_refreshing)
        return;
    m_refreshing = true;
    const Pairs &metadata = m_viewModel->editedSettings().value().metadata;
    QStringList authors;
    Pairs others;
    QHash<QString, QString> single;
    for (const auto &[key, value] : metadata) {
        if (key == u"author")
            authors << value;
        else if (fieldKeys().contains(key))
            single.insert(key, value);
        else
            others.append({key, value});
    }
    const auto setLine = [](QLineEdit *edit, const QString &value) {
        if (edit->text() != value)
            edit->setText(value);
    };
    setLine(m_title, single.value(QStringLiteral("title")));
    setLine(m_subtitle, single.value(QStringLiteral("subtitle")));
    setLine(m_date, single.value(QStringLiteral("date")));
    const auto setText = [](QPlainTextEdit *edit, const QString &value) {
        if (edit->toPlainText() != value)
            edit->setPlainText(value);
    };
    // Keeps the line being typed while the list it makes is the same.
    QStringList shownAuthors = m_authors->toPlainText().split(u'\n');
    for (QString &a : shownAuthors)
        a = a.trimmed();
    shownAuthors.removeAll(QString());
    if (shownAuthors != authors)
        setText(m_authors, authors.join(u'\n'));
    if (m_abstract->toPlainText().simplified() != single.value(QStringLiteral("abstract")))
        setText(m_abstract, single.value(QStringLiteral("abstract")));
    if (m_lang->currentText() != single.value(QStringLiteral("lang")))
        m_lang->setCurrentText(single.value(QStringLiteral("lang")));
    fillTable(m_metadata, others);
    fillTable(m_variables, m_viewModel->editedSettings().value().variables);
    m_refreshing = false;
}

void MetadataPage::refreshDocumentHint()
{
    const QList<QUrl> inputs = m_viewModel->inputFiles();
    const QStringList keys =
        inputs.isEmpty() ? QStringList() : frontMatterKeys(inputs.first().toLocalFile());
    m_documentHint->setText(
        keys.isEmpty()
            ? QString()
            : QStringLiteral("Das Dokument setzt selbst: ") + keys.join(u", ") +
                  QStringLiteral(". Was hier eingetragen ist, gilt vor diesen Angaben."));
    m_documentHint->setTextFormat(Qt::PlainText);
    m_documentHint->setVisible(!keys.isEmpty());
}
