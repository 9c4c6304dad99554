#include "appsetup.h"

#include "platform.h"

#include <QApplication>
#include <QFontDatabase>
#include <QImageReader>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <system_error>
#include <thread>

Q_LOGGING_CATEGORY(lcSetup, "velunor.app.setup")

bool loadQtTranslations(QApplication &app)
{
    // The interface is German whatever the session's language is.
    auto *translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_de"), folder)) {
        qCWarning(lcSetup) << "no German Qt translation in" << folder;
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    return true;
}

namespace {

// Well after any first frame.
constexpr int kWarmUpOverMs = 3000;
// What building the form allocates besides the window's backing image.
constexpr qsizetype kFormMemory = 1536 * 1024;
constexpr qsizetype kLeastMemory = 4 * 1024 * 1024;
constexpr qsizetype kMostMemory = 16 * 1024 * 1024;

// Fresh memory the first frame will take: the form's own, and a backing image at most the
// size of the screen.
qsizetype firstFrameMemory()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return kLeastMemory;
    const QSize area = screen->availableSize();
    const qreal scale = screen->devicePixelRatio();
    const auto image = qsizetype(area.width() * scale) * qsizetype(area.height() * scale) * 4;
    return std::clamp(image + kFormMemory, kLeastMemory, kMostMemory);
}

// Work every start needs before its first frame that does not have to happen on the window's
// thread: touching the memory the frame will take, the font list (fontconfig reads its whole
// configuration) and the image plugins' list (the style's icons are read through it). Qt
// guards the last two for use from other threads; the window's thread waits for them only
// if it gets there first.
class WarmUp final : public QObject
{
public:
    explicit WarmUp(QObject *parent) : QObject(parent)
    {
        const qsizetype bytes = firstFrameMemory();
        // Two threads: the window's thread needs the lists within milliseconds, the memory
        // only when the frame is painted.
        // Without threads to spare (a process limit), the window's thread does it all itself.
        void *block = Platform::setHeapAside(bytes);
        try {
            m_memory = std::thread([block, bytes] { Platform::warmAndReleaseHeap(block, bytes); });
        } catch (const std::system_error &) {
            Platform::warmAndReleaseHeap(block, 0);
        }
        try {
            m_lists = std::thread([] {
                QFontDatabase::families();
                QImageReader::supportedImageFormats();
            });
        } catch (const std::system_error &) {
        }
        QTimer::singleShot(kWarmUpOverMs, this, [] { Platform::restoreHeapRules(); });
        // A start that hands its files to the running window ends within milliseconds; the
        // font list needs the application object until it is done. Post routines run while
        // that is still whole, before children like this one are deleted.
        s_running = this;
        qAddPostRoutine(&WarmUp::finishRunning);
    }
    ~WarmUp() override { finish(); }

private:
    static void finishRunning()
    {
        if (s_running)
            s_running->finish();
    }
    void finish()
    {
        if (m_memory.joinable())
            m_memory.join();
        if (m_lists.joinable())
            m_lists.join();
        if (s_running == this)
            s_running = nullptr;
    }

    static inline WarmUp *s_running = nullptr;
    std::thread m_memory;
    std::thread m_lists;
};

} // namespace

void setUpApplication(QApplication &app)
{
    new WarmUp(&app);
    // QSettings needs both names: ~/.config/Velunor/Velunor.conf.
    QApplication::setOrganizationName(QStringLiteral("Velunor"));
    QApplication::setApplicationName(QStringLiteral("Velunor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velunor"));
    QApplication::setApplicationVersion(QStringLiteral(VELUNOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.velunor.Velunor"));
    // Dates and numbers follow the German texts around them; a German regional variant
    // (Austria, Switzerland) of the session is kept.
    if (QLocale::system().language() != QLocale::German)
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    loadQtTranslations(app);
}
