#include "statussection.h"

#include "formcolumns.h"
#include "icons.h"
#include "logview.h"
#include "pandocviewmodel.h"
#include "statuscolors.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kProgressSteps = 1000;
} // namespace

StatusSection::StatusSection(PandocViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("statusSection"));

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setAccessibleName(QStringLiteral("Status"));

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setFixedWidth(200);
    m_progress->setRange(0, kProgressSteps);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(QStringLiteral("Fortschritt"));

    m_cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setIcon(themedIcon(QStringLiteral("process-stop"), QStyle::SP_BrowserStop));

    auto *statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status);
    statusRow->addStretch();
    statusRow->addWidget(m_progress);
    statusRow->addWidget(m_cancel);

    auto *logBox = new QGroupBox(QStringLiteral("Log"), this);
    logBox->setObjectName(QStringLiteral("logBox"));
    m_log = new LogView(m_viewModel, logBox);
    auto *logLayout = new QVBoxLayout(logBox);
    logLayout->addWidget(m_log);

    // No shortcut here: the menu's "Log löschen" owns Ctrl+L.
    auto *clear = new QPushButton(QStringLiteral("Log löschen"), this);
    clear->setObjectName(QStringLiteral("clearLogButton"));
    clear->setIcon(themedIcon(QStringLiteral("edit-clear-all"), QStyle::SP_DialogResetButton));
    auto *wrap = new QCheckBox(QStringLiteral("Lange Zeilen umbrechen"), this);
    wrap->setObjectName(QStringLiteral("wrapLogCheck"));
    auto *logButtons = new QHBoxLayout;
    logButtons->addWidget(clear);
    logButtons->addWidget(wrap);
    logButtons->addStretch();

    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(FormColumns::kInnerSpacing);
    stack->addLayout(statusRow);
    stack->addWidget(logBox, 1);
    stack->addLayout(logButtons);

    using VM = PandocViewModel;
    connect(clear, &QPushButton::clicked, m_viewModel, &VM::clearLog);
    connect(wrap, &QCheckBox::toggled, m_log, &LogView::setWrapLines);
    connect(m_cancel, &QPushButton::clicked, m_viewModel, &VM::cancelConversion);
    connect(m_viewModel, &VM::statusMessageChanged, this, &StatusSection::refreshStatus);
    connect(m_viewModel, &VM::statusColorChanged, this, &StatusSection::refreshStatus);
    connect(m_viewModel, &VM::isConvertingChanged, this, &StatusSection::refreshProgress);
    connect(m_viewModel, &VM::progressChanged, this, &StatusSection::refreshProgress);
    refreshStatus();
    refreshProgress();
}

void StatusSection::refreshStatus()
{
    m_status->setText(m_viewModel->statusMessage());
    QPalette pal = m_status->palette();
    pal.setColor(QPalette::WindowText, statusColorFor(m_viewModel->statusColor(), palette()));
    m_status->setPalette(pal);
}

void StatusSection::refreshProgress()
{
    const bool converting = m_viewModel->isConverting();
    m_progress->setVisible(converting);
    m_cancel->setVisible(converting);
    m_progress->setValue(qRound(m_viewModel->progress() * kProgressSteps));
}

void StatusSection::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshStatus();
}
