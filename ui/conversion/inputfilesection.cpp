#include "inputfilesection.h"

#include "elidedfield.h"
#include "elidedlabel.h"
#include "formcolumns.h"
#include "icons.h"
#include "mergeorderpanel.h"
#include "pandocviewmodel.h"
#include "statuscolors.h"
#include "typedpath.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

bool carriesLocalFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.cbegin(), urls.cend(),
                       [](const QUrl &url) { return url.isLocalFile(); });
}

} // namespace

InputFileSection::InputFileSection(PandocViewModel *viewModel, QWidget *parent)
    : QGroupBox(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("inputFileSection"));
    setAcceptDrops(true);

    m_label = FormColumns::makeLabel(QString(), this, QStringLiteral("Eingabedateien:"));
    m_label->setObjectName(QStringLiteral("inputLabel"));

    m_field = new ElidedField(this);
    m_field->setObjectName(QStringLiteral("inputField"));
    m_field->setAccessibleName(QStringLiteral("Eingabedatei"));
    // Drops belong to the box, not to the text field.
    m_field->setAcceptDrops(false);
    // A path can be typed or pasted, as into a file manager's location bar.
    m_field->setTypingAllowed(true);
    m_field->setPlaceholderText(QStringLiteral("Datei hierher ziehen oder Pfad eingeben"));
    m_problem = makeProblemLabel(QStringLiteral("inputPathProblem"), this);

    auto *browse = new QPushButton(QStringLiteral("Durchsuchen..."), this);
    browse->setObjectName(QStringLiteral("browseInputButton"));

    m_listButton = new QToolButton(this);
    m_listButton->setObjectName(QStringLiteral("batchListButton"));
    m_listButton->setIcon(
        themedIcon(QStringLiteral("view-list-details"), QStyle::SP_FileDialogDetailedView));
    m_listButton->setToolTip(QStringLiteral("Dateiliste anzeigen"));
    m_listButton->setAccessibleName(QStringLiteral("Dateiliste anzeigen"));

    auto *clear = new QToolButton(this);
    clear->setObjectName(QStringLiteral("clearInputButton"));
    clear->setIcon(themedIcon(QStringLiteral("edit-clear"), QStyle::SP_DialogResetButton));
    clear->setToolTip(QStringLiteral("Löschen"));
    clear->setAccessibleName(QStringLiteral("Eingabedateien entfernen"));

    auto *row = new QHBoxLayout;
    row->addWidget(m_label);
    row->addWidget(m_field, 1);
    row->addWidget(browse);
    row->addWidget(m_listButton);
    row->addWidget(clear);
    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(FormColumns::kInnerSpacing);
    stack->addLayout(row);
    stack->addWidget(m_problem);
    stack->addWidget(new MergeOrderPanel(m_viewModel, this));

    connect(browse, &QPushButton::clicked, this, &InputFileSection::browseRequested);
    connect(m_listButton, &QToolButton::clicked, m_viewModel, &PandocViewModel::showBatchFileList);
    connect(clear, &QToolButton::clicked, this, [this] {
        m_viewModel->setInputFiles({});
        m_viewModel->setOutputFile(QString());
    });
    connect(m_field, &ElidedField::textTyped, this, &InputFileSection::takeTypedPath);
    connect(m_viewModel, &PandocViewModel::inputFilesChanged, this, &InputFileSection::refresh);
    refresh();
}

void InputFileSection::takeTypedPath(const QString &typed)
{
    if (typed.trimmed().isEmpty()) {
        // An emptied field is what the clear button does.
        m_viewModel->setInputFiles({});
        m_viewModel->setOutputFile(QString());
        return;
    }
    const TypedPath checked = checkTypedFile(typed);
    showProblem(m_problem, checked.problem);
    if (checked.problem.isEmpty())
        m_viewModel->handleDrop({QUrl::fromLocalFile(checked.path)});
}

void InputFileSection::refresh()
{
    const bool batch = m_viewModel->inputFiles().size() >= 2;
    m_label->setText(batch ? QStringLiteral("Eingabedateien:") : QStringLiteral("Eingabedatei:"));
    // A batch is not edited as text: typing starts from an empty field.
    m_field->setFullText(m_viewModel->inputFileDisplay(),
                         batch ? QString() : m_viewModel->inputFileDisplay());
    showProblem(m_problem, QString());
    m_listButton->setVisible(batch);
}

void InputFileSection::dragEnterEvent(QDragEnterEvent *event)
{
    if (carriesLocalFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void InputFileSection::dragMoveEvent(QDragMoveEvent *event)
{
    if (carriesLocalFile(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void InputFileSection::dropEvent(QDropEvent *event)
{
    if (!carriesLocalFile(event->mimeData())) {
        event->ignore();
        return;
    }
    if (m_viewModel->handleDrop(event->mimeData()->urls()))
        event->acceptProposedAction();
    else
        event->ignore();
}
