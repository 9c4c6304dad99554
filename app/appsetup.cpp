#include "appsetup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

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

void setUpApplication(QApplication &app)
{
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
