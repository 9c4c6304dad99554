#include "contentview.h"

#include "afterfirstframe.h"
#include "conversion/conversionview.h"
#include "icons.h"
#include "templates/templatesview.h"

ContentView::ContentView(ViewModelEnvironment environment, FilePanels *panels, QWidget *parent)
    : QTabWidget(parent), m_viewModel(new PandocViewModel(std::move(environment), this))
{
    setObjectName(QStringLiteral("contentView"));
    m_conversionView = new ConversionView(m_viewModel, panels);
    addTab(m_conversionView, themedIcon(QStringLiteral("view-refresh"), QStyle::SP_BrowserReload),
           QStringLiteral("Konvertierung"));
    addTab(new TemplatesView(m_viewModel, panels),
           themedIcon(QStringLiteral("text-x-generic"), QStyle::SP_FileIcon),
           QStringLiteral("Templates"));
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
