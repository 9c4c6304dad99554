#include "moreoptionssection.h"

#include "focusorder.h"

#include "extensionpage.h"
#include "filterpage.h"
#include "metadatapage.h"
#include "optionpage.h"
#include "wheelguard.h"

#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

MoreOptionsSection::MoreOptionsSection(PandocViewModel *viewModel, FilePanels *panels,
                                       QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel), m_panels(panels)
{
    setObjectName(QStringLiteral("moreOptionsSection"));
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    m_toggle = new QToolButton(this);
    m_toggle->setObjectName(QStringLiteral("moreOptionsToggle"));
    m_toggle->setText(QStringLiteral("Weitere Einstellungen"));
    m_toggle->setToolTip(QStringLiteral("Optionen, Metadaten, Filter und Erweiterungen"));
    m_toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toggle->setArrowType(Qt::RightArrow);
    m_toggle->setCheckable(true);
    m_toggle->setAutoRaise(true);
    m_toggle->setAccessibleName(QStringLiteral("Weitere Einstellungen"));
    connect(m_toggle, &QToolButton::toggled, this, &MoreOptionsSection::setOpen);
    setVisible(false);
}

void MoreOptionsSection::setOpen(bool open)
{
    m_toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    if (open && !m_tabs) {
        m_tabs = new QTabWidget(this);
        m_tabs->setObjectName(QStringLiteral("moreOptionsTabs"));
        m_tabs->setDocumentMode(true);
        m_tabs->addTab(new OptionPage(m_viewModel, m_tabs), QStringLiteral("Optionen"));
        m_tabs->addTab(new MetadataPage(m_viewModel, m_tabs), QStringLiteral("Metadaten"));
        m_tabs->addTab(new FilterPage(m_viewModel, m_panels, m_tabs), QStringLiteral("Filter"));
        m_tabs->addTab(new ExtensionPage(m_viewModel, m_tabs), QStringLiteral("Erweiterungen"));
        layout()->addWidget(m_tabs);
        WheelGuard::guardAll(m_tabs);
        emit pagesBuilt();
    }
    setVisible(open);
    if (m_toggle->isChecked() != open)
        m_toggle->setChecked(open);
}

void MoreOptionsSection::chainFocusAfter(QWidget *previous)
{
    // Made last, the pages' controls would otherwise come after everything else.
    ::chainFocusAfter(previous, m_tabs);
}

int MoreOptionsSection::state() const
{
    return m_toggle->isChecked() && m_tabs ? m_tabs->currentIndex() : -1;
}

void MoreOptionsSection::restoreState(int state)
{
    setOpen(state >= 0);
    if (m_tabs && state >= 0 && state < m_tabs->count())
        m_tabs->setCurrentIndex(state);
}
