#include "templatedetailview.h"

#include "elidedfield.h"
#include "filepanels.h"
#include "pandocviewmodel.h"
#include "templatelibrary.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QLabel *valueLabel(const QString &objectName)
{
    auto *label = new QLabel;
    label->setObjectName(objectName);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setTextFormat(Qt::PlainText);
    return label;
}

const QString kOutsideLibrary =
    QStringLiteral("Die Datei liegt außerhalb der Template-Bibliothek.");

bool isTextFile(TemplateType type)
{
    return type != TemplateType::DocxReference;
}

// Qt has short and long dates only. The medium style of most locales is the short one with
// the full year ("07.12.2026" rather than "07.12.26").
QString mediumDateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    format.replace(twoDigitYear, QStringLiteral("yyyy"));
    return format;
}

QString fileStamp(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    return QString::number(info.size()) + u'/' +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

// Laying out one huge paragraph takes seconds (minified CSS is one line), so the preview
// breaks very long lines into rows of this many characters.
constexpr qsizetype kLongLine = 16 * 1024;

QString withLongLinesBroken(const QString &text)
{
    QString result;
    qsizetype lineStart = 0;
    bool broken = false;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\n')
            continue;
        QStringView line = QStringView(text).mid(lineStart, i - lineStart);
        if (line.size() > kLongLine && !broken) {
            result = text.left(lineStart);
            broken = true;
        }
        if (broken) {
            while (line.size() > kLongLine) {
                result += line.left(kLongLine);
                result += u'\n';
                line = line.mid(kLongLine);
            }
            result += line;
            if (i < text.size())
                result += u'\n';
        }
        lineStart = i + 1;
    }
    return broken ? result : text;
}

} // namespace

TemplateDetailView::TemplateDetailView(PandocViewModel *viewModel, FilePanels *panels,
                                       QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel), m_panels(panels)
{
    setObjectName(QStringLiteral("templateDetailView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto *descriptionGroup = new QGroupBox(QStringLiteral("Beschreibung"));
    descriptionGroup->setObjectName(QStringLiteral("descriptionGroup"));
    // The box hugs its fixed-height editor instead of sharing out spare height.
    descriptionGroup->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_description = new QPlainTextEdit;
    m_description->setObjectName(QStringLiteral("descriptionEdit"));
    m_description->setAccessibleName(QStringLiteral("Beschreibung"));
    // Tab moves on to the next control instead of typing a tab character.
    m_description->setTabChangesFocus(true);
    m_description->setFixedHeight(100);
    (new QVBoxLayout(descriptionGroup))->addWidget(m_description);
    layout->addWidget(descriptionGroup);

    auto *detailsGroup = new QGroupBox(QStringLiteral("Details"));
    detailsGroup->setObjectName(QStringLiteral("detailsGroup"));
    auto *form = new QFormLayout(detailsGroup);
    m_type = valueLabel(QStringLiteral("typeValue"));
    // A stored path has no spaces to wrap at; shortened in the middle, it fits any width, and
    // a wrapping label would make the whole form as tall as its preferred size.
    m_path = new ElidedField;
    m_path->setObjectName(QStringLiteral("pathValue"));
    m_path->setAccessibleName(QStringLiteral("Pfad"));
    m_lastUsed = valueLabel(QStringLiteral("lastUsedValue"));
    form->addRow(QStringLiteral("Typ"), m_type);
    form->addRow(QStringLiteral("Pfad"), m_path);
    form->addRow(QStringLiteral("Zuletzt verwendet"), m_lastUsed);
    layout->addWidget(detailsGroup);

    m_contentGroup = new QGroupBox(QStringLiteral("Inhalt"));
    m_contentGroup->setObjectName(QStringLiteral("contentGroup"));
    auto *contentLayout = new QVBoxLayout(m_contentGroup);
    m_content = new QPlainTextEdit;
    m_content->setObjectName(QStringLiteral("contentView"));
    m_content->setAccessibleName(QStringLiteral("Inhalt"));
    m_content->setReadOnly(true);
    m_content->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_content->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // A few lines in a small window, so "Bearbeiten" and "Exportieren" below stay in view; the
    // rest of the height where there is more.
    m_content->setMinimumHeight(6 * m_content->fontMetrics().lineSpacing() +
                                2 * m_content->frameWidth());
    m_content->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_content->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_truncated = new QLabel(QStringLiteral("Gekürzt: Die Vorschau zeigt nur das erste MiB."));
    m_truncated->setObjectName(QStringLiteral("contentTruncatedLabel"));
    m_truncated->setForegroundRole(QPalette::PlaceholderText);
    m_truncated->hide();
    contentLayout->addWidget(m_content);
    contentLayout->addWidget(m_truncated);
    layout->addWidget(m_contentGroup, 1);

    auto *buttons = new QHBoxLayout;
    m_edit = new QPushButton(QStringLiteral("Bearbeiten"));
    m_edit->setObjectName(QStringLiteral("editButton"));
    m_export = new QPushButton(QStringLiteral("Exportieren"));
    m_export->setObjectName(QStringLiteral("exportButton"));
    buttons->addWidget(m_edit);
    buttons->addWidget(m_export);
    buttons->addStretch();
    layout->addLayout(buttons);

    // Filling the editor for a new record blocks this signal, so only typing stores.
    connect(m_description, &QPlainTextEdit::textChanged, this, [this] {
        if (m_record)
            m_viewModel->updateDescription(m_record->id, m_description->toPlainText());
    });
    connect(m_edit, &QPushButton::clicked, this, [this] {
        if (m_record && m_inLibrary && m_viewModel->environment().desktop)
            m_viewModel->environment().desktop->openFile(m_record->filePath);
    });
    connect(m_export, &QPushButton::clicked, this, &TemplateDetailView::exportFile);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &TemplateDetailView::reloadContent);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &TemplateDetailView::onFolderChanged);
}

QString TemplateDetailView::formatLastUsed(const QDateTime &time, const QLocale &locale)
{
    const QDateTime local = time.toLocalTime();
    return locale.toString(local.date(), mediumDateFormat(locale)) + QStringLiteral(", ") +
           locale.toString(local.time(), QLocale::ShortFormat);
}

void TemplateDetailView::setRecord(const Template &record)
{
    const bool otherRecord = !m_record || m_record->id != record.id;
    const bool otherFile =
        !m_record || m_record->filePath != record.filePath || m_record->type != record.type;
    // The previous record's description is stored before another one is shown.
    if (otherRecord)
        m_viewModel->flushPendingSaves();
    m_record = record;
    m_inLibrary = m_viewModel->isTemplateInLibrary(record);
    // A file outside the library is neither opened for editing nor exported.
    for (QPushButton *button : {m_edit, m_export}) {
        button->setEnabled(m_inLibrary);
        button->setToolTip(m_inLibrary ? QString() : kOutsideLibrary);
    }
    if (otherRecord) {
        const QSignalBlocker blocker(m_description);
        m_description->setPlainText(record.description);
        m_description->moveCursor(QTextCursor::End);
    }
    m_type->setText(displayName(record.type));
    m_path->setFullText(record.filePath);
    m_lastUsed->setText(formatLastUsed(record.lastUsed, QLocale()));
    m_contentGroup->setVisible(isTextFile(record.type));
    if (otherRecord || otherFile)
        reloadContent();
}

void TemplateDetailView::reloadContent()
{
    if (!m_record || !isTextFile(m_record->type)) {
        watch(QString());
        m_content->clear();
        m_truncated->hide();
        return;
    }
    if (!m_inLibrary) {
        watch(QString());
        m_content->setPlainText(QStringLiteral("Nicht angezeigt: ") + kOutsideLibrary);
        m_truncated->hide();
        return;
    }
    watch(m_record->filePath);
    m_previewStamp = fileStamp(m_record->filePath);
    const TextPreview preview = readTextPreview(m_record->filePath, kPreviewLimit);
    const int scroll = m_content->verticalScrollBar()->value();
    if (preview.state == TextPreview::State::Unreadable)
        m_content->setPlainText(QStringLiteral("Fehler beim Laden"));
    else
        m_content->setPlainText(withLongLinesBroken(preview.text));
    m_content->verticalScrollBar()->setValue(scroll);
    m_truncated->setVisible(preview.state == TextPreview::State::Truncated);
}

void TemplateDetailView::onFolderChanged()
{
    if (m_record && fileStamp(m_record->filePath) != m_previewStamp)
        reloadContent();
}

void TemplateDetailView::watch(const QString &path)
{
    // Editors often save by replacing the file, which ends a watch on it; the folder watch
    // notices the new file.
    const QStringList wanted =
        path.isEmpty() ? QStringList() : QStringList{path, QFileInfo(path).absolutePath()};
    QStringList stale;
    for (const QString &p : m_watcher.files() + m_watcher.directories()) {
        if (!wanted.contains(p))
            stale.append(p);
    }
    if (!stale.isEmpty())
        m_watcher.removePaths(stale);
    for (const QString &p : wanted) {
        if (QFileInfo::exists(p) && !m_watcher.files().contains(p) &&
            !m_watcher.directories().contains(p))
            m_watcher.addPath(p);
    }
}

void TemplateDetailView::exportFile()
{
    if (!m_record || !m_panels)
        return;
    const Template record = *m_record;
    const std::optional<QString> destination =
        m_panels->chooseSaveFile(this, QStringLiteral("Template exportieren"),
                                 QFileInfo(record.filePath).fileName(), QString());
    if (destination)
        m_viewModel->exportTemplate(record, *destination);
}
