#include "fakes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

void FakeDialogs::showAlert(const QString &title, const QString &message)
{
    calls.append({QStringLiteral("alert"), title, message});
    if (whileShown)
        whileShown(calls.last());
}

bool FakeDialogs::showConfirmation(const QString &title, const QString &message)
{
    calls.append({QStringLiteral("confirm"), title, message});
    if (whileShown)
        whileShown(calls.last());
    return answers.isEmpty() ? false : answers.takeFirst();
}

bool FakeDialogs::showWarningQuestion(const QString &title, const QString &message,
                                      const QString &acceptText, const QString &rejectText)
{
    calls.append({QStringLiteral("warning"), title,
                  message + QStringLiteral(" [") + acceptText + u'|' + rejectText + u']'});
    return answers.isEmpty() ? false : answers.takeFirst();
}

Dialogs::ReplaceAnswer FakeDialogs::askReplaceFiles(const QString &title, const QString &message,
                                                    const QStringList &files)
{
    calls.append({QStringLiteral("replace"), title, message + u'\n' + files.join(u'\n')});
    return replaceAnswer;
}

TestWorld::TestWorld()
{
    QDir().mkpath(binDir());
}

QString TestWorld::installFakePandoc() const
{
    const QString target = binDir() + QStringLiteral("/pandoc");
    QFile::remove(target);
    QFile::link(QStringLiteral(FAKE_PANDOC_PATH), target);
    return target;
}

QString TestWorld::installRealPandoc() const
{
    const QString target = binDir() + QStringLiteral("/pandoc");
    QFile::remove(target);
    QFile::link(QStringLiteral("/usr/bin/pandoc"), target);
    return target;
}

QString TestWorld::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString full = m_dir.filePath(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write test file");
    return full;
}

ViewModelEnvironment TestWorld::environment()
{
    ViewModelEnvironment env;
    env.store = StoreLocation(storeRoot());
    env.converter = ConverterSearch({binDir() + QStringLiteral("/pandoc")}, std::nullopt);
    env.dialogs = &dialogs;
    env.desktop = &desktop;
    env.cancelGraceMs = 300;
    env.pdfSetupFolder = path(QStringLiteral("cache"));
    env.upToDateFolder = path(QStringLiteral("cache/unchanged"));
    return env;
}

std::unique_ptr<PandocViewModel> TestWorld::makeViewModel()
{
    return std::make_unique<PandocViewModel>(environment());
}
