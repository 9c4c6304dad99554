// Two real Velunor processes on one store folder: the same executable plays each window when
// VELUNOR_WINDOW_STORE is set, reading commands line by line and answering with its log.
#include "fakes.h"
#include "pandocviewmodel.h"
#include "recordjson.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

constexpr char kStoreVariable[] = "VELUNOR_WINDOW_STORE";

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

template <typename T> std::optional<T> named(const QList<T> &records, const QString &name)
{
    for (const T &r : records) {
        if (r.name == name)
            return r;
    }
    return std::nullopt;
}

// One command: the words of a tab-separated line.
void runCommand(PandocViewModel &vm, FakeDialogs &dialogs, const QStringList &words)
{
    const QString &verb = words.at(0);
    if (verb == u"favourite") {
        vm.toggleFavorite(named(vm.templates(), words.at(1)));
    } else if (verb == u"describe") {
        if (const auto t = named(vm.templates(), words.at(1)))
            vm.updateDescription(t->id, words.at(2));
        vm.flushPendingSaves();
    } else if (verb == u"import") {
        vm.importTemplate(QUrl::fromLocalFile(words.at(1)));
    } else if (verb == u"delete") {
        dialogs.answers = {true};
        if (const auto t = named(vm.templates(), words.at(1)))
            vm.deleteTemplate(*t);
    } else if (verb == u"imports" || verb == u"styles") {
        // A batch of own files, run without waiting for the other window.
        const QString folder = words.at(1);
        const QString tag = words.at(2);
        for (int i = 0; i < words.at(3).toInt(); ++i) {
            const QString n = QString::number(i);
            if (verb == u"imports") {
                // One name for all: each import races the other window for the next free one.
                const QString file = folder + u'/' + tag + QStringLiteral("/r.css");
                writeFile(file, (tag + u'-' + n).toUtf8());
                vm.importTemplate(QUrl::fromLocalFile(file));
                continue;
            }
            const QString file = folder + u'/' + tag + u'-' + n + QStringLiteral(".csl");
            writeFile(file, (tag + u'-' + n).toUtf8());
            vm.importCslStyle(file);
            const auto previous = named(vm.cslStyles(), tag + u'-' + QString::number(i - 1));
            if (i % 2 == 1 && previous) {
                dialogs.answers = {true};
                vm.deleteCslStyle(previous->id);
            }
        }
    }
}

int runWindow()
{
    FakeDialogs dialogs;
    ViewModelEnvironment env;
    const QString root = qEnvironmentVariable(kStoreVariable);
    env.store = StoreLocation(root);
    env.converter = ConverterSearch({root + QStringLiteral("/bin/pandoc")}, std::nullopt);
    env.dialogs = &dialogs;
    env.pdfSetupFolder = root + QStringLiteral("/cache");
    PandocViewModel vm(env);
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        const qsizetype before = vm.logMessages().size();
        runCommand(vm, dialogs, QString::fromUtf8(line).trimmed().split(u'\t'));
        for (const QString &logLine : vm.logMessages().mid(before))
            std::printf("log\t%s\n", qPrintable(logLine));
        QStringList names;
        for (const Template &t : vm.templates())
            names << t.name;
        std::printf("templates\t%s\nend\n", qPrintable(names.join(u',')));
        std::fflush(stdout);
    }
    return 0;
}

// A window process and its answers.
class Window final
{
public:
    explicit Window(const QString &storeRoot)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kStoreVariable), storeRoot);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationFilePath(), {});
    }
    ~Window()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }

    void send(const QStringList &words)
    {
        // Written now, not when this window's answer is awaited: the windows run at once.
        m_process.write(words.join(u'\t').toUtf8() + '\n');
        m_process.waitForBytesWritten(30000);
    }

    // The answer to the command sent last: its log lines, and the template names it lists.
    struct Answer
    {
        QStringList log;
        QStringList templates;
    };
    Answer answer()
    {
        Answer answer;
        for (;;) {
            while (!m_process.canReadLine()) {
                if (!m_process.waitForReadyRead(30000))
                    qFatal("window does not answer");
            }
            const QString line = QString::fromUtf8(m_process.readLine()).chopped(1);
            if (line == u"end")
                return answer;
            if (line.startsWith(QStringLiteral("log\t")))
                answer.log << line.mid(4);
            else if (line.startsWith(QStringLiteral("templates\t")))
                answer.templates = line.mid(10).split(u',', Qt::SkipEmptyParts);
        }
    }
    Answer run(const QStringList &words)
    {
        send(words);
        return answer();
    }

private:
    QProcess m_process;
};

// Two windows on one store, both up before either starts; each then runs `command` with its
// own tag ("a", "b") at the same time. Returns both logs.
QString runInBoth(const QString &storeRoot, const QString &command, const QString &inputs,
                  int rounds)
{
    Window a(storeRoot);
    Window b(storeRoot);
    a.run({QStringLiteral("ready")});
    b.run({QStringLiteral("ready")});
    a.send({command, inputs, QStringLiteral("a"), QString::number(rounds)});
    b.send({command, inputs, QStringLiteral("b"), QString::number(rounds)});
    return (a.answer().log + b.answer().log).join(u'\n');
}

template <typename T> QList<T> stored(const QString &path)
{
    QFile file(path);
    QList<T> records;
    QString error;
    if (!file.open(QIODevice::ReadOnly) || !decodeRecords(file.readAll(), &records, &error))
        qWarning("%s unreadable: %s", qPrintable(path), qPrintable(error));
    return records;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TstTwoWindows final : public QObject
{
    Q_OBJECT

private slots:
    void stylesOfBothWindowsSurvive();
    void importsOfOneNameGetFilesOfTheirOwn();
    void deletionWinsOverAStaleEdit();
};

void TstTwoWindows::stylesOfBothWindowsSurvive()
{
    TestWorld world;
    constexpr int kRounds = 20;
    const QString log = runInBoth(world.storeRoot(), QStringLiteral("styles"),
                                  world.path(QStringLiteral("in")), kRounds);
    QVERIFY2(!log.contains(u'❌'), qPrintable(log));

    // Each window deleted its even styles and kept the odd ones.
    QSet<QString> expected;
    for (int i = 1; i < kRounds; i += 2)
        expected << QStringLiteral("a-%1").arg(i) << QStringLiteral("b-%1").arg(i);
    const QString folder = world.storeRoot() + QStringLiteral("/Velunor");
    QSet<QString> names;
    QStringList files;
    for (const CslStyle &s : stored<CslStyle>(folder + QStringLiteral("/csl-styles.json"))) {
        names << s.name;
        files << QFileInfo(s.filePath).fileName();
        QCOMPARE(contentOf(s.filePath), s.name.toUtf8());
    }
    QCOMPARE(names, expected);
    files.sort();
    QCOMPARE(filesIn(folder + QStringLiteral("/CSL")), files);
}

void TstTwoWindows::importsOfOneNameGetFilesOfTheirOwn()
{
    TestWorld world;
    constexpr int kRounds = 20;
    const QString log = runInBoth(world.storeRoot(), QStringLiteral("imports"),
                                  world.path(QStringLiteral("in")), kRounds);
    QVERIFY2(!log.contains(u'❌'), qPrintable(log));

    QSet<QByteArray> expected;
    for (int i = 0; i < kRounds; ++i)
        expected << QByteArray("a-") + QByteArray::number(i)
                 << QByteArray("b-") + QByteArray::number(i);
    const QString folder = world.storeRoot() + QStringLiteral("/Velunor");
    const QList<Template> index = stored<Template>(folder + QStringLiteral("/templates.json"));
    QSet<QByteArray> contents;
    QSet<QString> paths;
    for (const Template &t : index) {
        contents << contentOf(t.filePath);
        paths << t.filePath;
    }
    QCOMPARE(index.size(), 2 * kRounds);
    QCOMPARE(paths.size(), index.size());
    QCOMPARE(contents, expected);
}

void TstTwoWindows::deletionWinsOverAStaleEdit()
{
    TestWorld world;
    {
        auto setup = world.makeViewModel();
        setup->importTemplate(
            QUrl::fromLocalFile(world.writeFile(QStringLiteral("in/x.css"), "x")));
    }
    const QString folder = world.storeRoot() + QStringLiteral("/Velunor");
    Window a(world.storeRoot());
    Window b(world.storeRoot());
    for (int i = 0; i < 12; ++i) {
        const QString name = QStringLiteral("v") + QString::number(i);
        a.run({QStringLiteral("import"),
               world.writeFile(QStringLiteral("in/") + name + QStringLiteral(".css"), "v")});
        // B saves something else and so learns of the new record.
        QVERIFY(b.run({QStringLiteral("favourite"), QStringLiteral("x")}).templates.contains(name));
        a.run({QStringLiteral("delete"), name});
        const auto stale = i % 2 == 0
                               ? b.run({QStringLiteral("favourite"), name})
                               : b.run({QStringLiteral("describe"), name, QStringLiteral("neu")});
        QVERIFY2(!stale.templates.contains(name), qPrintable(stale.templates.join(u',')));
        QVERIFY2(stale.log.join(u'\n').contains(QStringLiteral("⚠ ")) &&
                     stale.log.join(u'\n').contains(name),
                 qPrintable(stale.log.join(u'\n')));
        const QList<Template> index = stored<Template>(folder + QStringLiteral("/templates.json"));
        QCOMPARE(index.size(), 1);
        QCOMPARE(index.first().name, QStringLiteral("x"));
    }
    QCOMPARE(filesIn(folder + QStringLiteral("/Templates/css")), QStringList{"x.css"});
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kStoreVariable))
        return runWindow();
    TstTwoWindows test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_twowindows.moc"
