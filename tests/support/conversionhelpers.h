#pragma once

#include "pandocviewmodel.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringList>

// Helpers shared by the conversion tests.

// Steers the fake converter for one test; cleared again afterwards.
class FakeEnv final
{
public:
    ~FakeEnv()
    {
        for (const QByteArray &name : m_names)
            qunsetenv(name.constData());
    }
    FakeEnv &set(const char *name, const QByteArray &value)
    {
        qputenv(name, value);
        m_names.append(name);
        return *this;
    }

private:
    QList<QByteArray> m_names;
};

// The output a recorded "-o" argument stands for: the converter is handed a hidden name
// beside it (".name.velunor-<pid>-<n>", ".pdf" kept for a PDF).
inline QString realOutput(const QString &written)
{
    static const QRegularExpression hidden(
        QStringLiteral("^(.*/)\\.(.+)\\.velunor-\\d+-\\d+(?:\\.pdf)?$"));
    const QRegularExpressionMatch match = hidden.match(written);
    return match.hasMatch() ? match.captured(1) + match.captured(2) : written;
}

// The argument lists the fake converter recorded, one per run, with the real output name
// after "-o", as the log shows it.
inline QList<QStringList> recordedRuns(const QString &argsFile)
{
    QFile file(argsFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QStringList> runs{{}};
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line == "--")
            runs.append(QStringList());
        else if (!line.isEmpty() || !runs.last().isEmpty())
            runs.last().append(QString::fromUtf8(line));
    }
    runs.removeLast();
    for (QStringList &run : runs) {
        const qsizetype output = run.indexOf(QStringLiteral("-o")) + 1;
        if (output > 0 && output < run.size())
            run[output] = realOutput(run.at(output));
    }
    return runs;
}

inline bool runToEnd(PandocViewModel &vm, int timeoutMs = 20000)
{
    QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
    vm.convert();
    return done.count() > 0 || done.wait(timeoutMs);
}

// Everything in a folder, hidden files included, by name.
inline QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The named member of a zip (docx, odt, epub), read with unzip.
inline QByteArray zipMember(const QString &zip, const QString &member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, member});
    unzip.waitForFinished(20000);
    return unzip.readAllStandardOutput();
}

inline QByteArray docxBody(const QString &docx)
{
    return zipMember(docx, QStringLiteral("word/document.xml"));
}
