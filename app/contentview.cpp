#include "contentview.h"

#include "afterfirstframe.h"
#include "conversion/conversionview.h"
#include "icons.h"
#include "templates/templatesview.h"

#include <QSignalBlocker>

namespace {
constexpr int kTemplatesTab = 1;
} // namespace

ContentView::ContentView(ViewModelEnvironment environment, FilePanels *panels, QWidget *parent)
    : QTabWidget(parent), m_viewModel(new PandocViewModel(std::move(environment), this)),
      m_panels(panels)
{
    setObjectName(QStringLiteral("contentView"));
    m_conversionView = new ConversionView(m_viewModel, panels);
    addTab(m_conversionView, themedIcon(QStringLiteral("view-refresh"), QStyle::SP_BrowserReload),
           QStringLiteral("Konvertierung"));
    // The library stays hidden at the start; building it would hold up the first frame.
    addTab(new QWidget, themedIcon(QStringLiteral("text-x-generic"), QStyle::SP_FileIcon),
           QStringLiteral("Templates"));
    connect(this, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == kTemplatesTab)
            templatesView();
    });
}

TemplatesView *ContentView::templatesView()
{
    if (m_templatesView)
        return m_templatesView;
    m_templatesView = new TemplatesView(m_viewModel, m_panels);
    m_templatesView->setSplitterState(m_splitterState);
    QWidget *placeholder = widget(kTemplatesTab);
    const bool current = currentIndex() == kTemplatesTab;
    const QIcon icon = tabIcon(kTemplatesTab);
    const QString text = tabText(kTemplatesTab);
    {
        // The swap passes through other indexes; it is no switch of the user's.
        const QSignalBlocker blocker(this);
        removeTab(kTemplatesTab);
        insertTab(kTemplatesTab, m_templatesView, icon, text);
        if (current)
            setCurrentIndex(kTemplatesTab);
    }
    delete placeholder;
    return m_templatesView;
}

QByteArray ContentView::templatesSplitterState() const
{
    return m_templatesView ? m_templatesView->splitterState() : m_splitterState;
}

void ContentView::setTemplatesSplitterState(const QByteArray &state)
{
    m_splitterState = state;
    if (m_templatesView)
        m_templatesView->setSplitterState(state);
}

QSize ContentView::minimumSizeHint() const
{
    // At least 800 × 600, and more where the tabs need it (large fonts): a fixed minimum
    // would let the window squeeze them.
    return QTabWidget::minimumSizeHint().expandedTo(QSize(800, 600));
}

ContentView::~ContentView()
{
    // The tabs observe the view model; they go before it does.
    while (count() > 0)
        delete widget(0);
}

void ContentView::showEvent(QShowEvent *event)
{
    QTabWidget::showEvent(event);
    // The converter check belongs to the window's first appearance, not to tab switches. Its
    // processes would compete with the first frame for the processor.
    if (!m_checked) {
        m_checked = true;
        runAfterFirstFrame(this, [vm = m_viewModel] { vm->checkPandocInstallation(); });
    }
}
