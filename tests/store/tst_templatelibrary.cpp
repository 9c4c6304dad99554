#include "templatelibrary.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class TstTemplateLibrary final : public QObject
{
    Q_OBJECT

private:
    QString write(const QString &relative, const QByteArray &content)
    {
        const QString path = m_dir->filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write test file");
        return path;
    }
    static QByteArray contentOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    // A fresh folder per test function.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void kindAndNameFromFileName_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("kind"); // -1: not accepted
        QTest::addColumn<QString>("name");

        const int html = int(TemplateType::Html);
        QTest::newRow("upper-case extension") << "/x/Report.HTML"
                                              << "html" << html << "Report";
        QTest::newRow("only the last extension goes") << "/x/report.final.html"
                                                      << "html" << html << "report.final";
        QTest::newRow("tex") << "/x/a.tex"
                             << "tex" << int(TemplateType::Latex) << "a";
        QTest::newRow("docx") << "/x/ref.DocX"
                              << "docx" << int(TemplateType::DocxReference) << "ref";
        QTest::newRow("css") << "/x/style.css"
                             << "css" << int(TemplateType::Css) << "style";
        QTest::newRow("htm is not html") << "/x/style.htm"
                                         << "htm" << -1 << "style";
        QTest::newRow("latex is not tex") << "/x/a.latex"
                                          << "latex" << -1 << "a";
        QTest::newRow("dotx") << "/x/a.dotx"
                              << "dotx" << -1 << "a";
        QTest::newRow("pdf") << "/x/a.pdf"
                             << "pdf" << -1 << "a";
        QTest::newRow("no extension") << "/x/Makefile"
                                      << "" << -1 << "Makefile";
        QTest::newRow("hidden file has no extension") << "/x/.html"
                                                      << "" << -1 << ".html";
        QTest::newRow("spaces kept") << "/x/ mein Brief .tex"
                                     << "tex" << int(TemplateType::Latex) << " mein Brief ";
        QTest::newRow("trailing dot") << "/x/a."
                                      << "" << -1 << "a";
    }

    void kindAndNameFromFileName()
    {
        QFETCH(QString, file);
        QFETCH(QString, extension);
        QFETCH(int, kind);
        QFETCH(QString, name);
        QCOMPARE(lowerCaseExtension(file), extension);
        const std::optional<TemplateType> type = templateTypeForFile(file);
        QCOMPARE(type ? int(*type) : -1, kind);
        QCOMPARE(templateNameForFile(file), name);
    }

    void numberedNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("expected");
        QTest::newRow("before the extension") << "a.tex" << 2 << "a (2).tex";
        QTest::newRow("only the last one") << "report.final.html" << 3 << "report.final (3).html";
        QTest::newRow("no extension") << "Makefile" << 2 << "Makefile (2)";
        QTest::newRow("hidden file") << ".css" << 2 << ".css (2)";
    }

    void numberedNames()
    {
        QFETCH(QString, file);
        QFETCH(int, n);
        QFETCH(QString, expected);
        QCOMPARE(numberedFileName(file, n), expected);
    }

    void sameFileThroughDotsAndLinks()
    {
        const QString real = write(QStringLiteral("k/a.tex"), "x");
        QVERIFY(isSameFile(real, m_dir->filePath(QStringLiteral("k/../k/./a.tex"))));
        const QString link = m_dir->filePath(QStringLiteral("link.tex"));
        QVERIFY(QFile::link(real, link));
        QVERIFY(isSameFile(link, real));
        QVERIFY(!isSameFile(real, m_dir->filePath(QStringLiteral("k/b.tex"))));
        // A missing file is still "the same" as its own path: a record pointing there owns it.
        QVERIFY(isAnyOf(m_dir->filePath(QStringLiteral("gone.tex")),
                        {m_dir->filePath(QStringLiteral("gone.tex"))}));
    }

    void storeCreatesFolderAndCopies()
    {
        const QString source = write(QStringLiteral("in/Report.HTML"), "<html/>");
        const QString kind = m_dir->filePath(QStringLiteral("store/Templates/html"));
        const StoredFile stored = storeTemplateFile(source, kind, {});
        QVERIFY2(stored.ok, qPrintable(stored.error));
        QCOMPARE(stored.path, kind + QStringLiteral("/Report.HTML"));
        QCOMPARE(contentOf(stored.path), QByteArray("<html/>"));
        QCOMPARE(contentOf(source), QByteArray("<html/>"));
    }

    void storeNeverReplacesAReferencedFile()
    {
        const QString kind = m_dir->filePath(QStringLiteral("kind"));
        const QString first =
            storeTemplateFile(write(QStringLiteral("one/a.tex"), "1"), kind, {}).path;
        // "a (2).tex" lies there already but no record points at it: it may be replaced.
        write(QStringLiteral("kind/a (2).tex"), "stale");
        const StoredFile second =
            storeTemplateFile(write(QStringLiteral("two/a.tex"), "2"), kind, {first});
        QVERIFY(second.ok);
        QCOMPARE(QFileInfo(second.path).fileName(), QStringLiteral("a (2).tex"));
        QCOMPARE(contentOf(first), QByteArray("1"));
        QCOMPARE(contentOf(second.path), QByteArray("2"));

        const StoredFile third = storeTemplateFile(write(QStringLiteral("three/a.tex"), "3"), kind,
                                                   {first, second.path});
        QCOMPARE(QFileInfo(third.path).fileName(), QStringLiteral("a (3).tex"));
    }

    void storeReplacesAnUnreferencedFile()
    {
        write(QStringLiteral("kind/a.css"), "left over");
        const StoredFile stored = storeTemplateFile(write(QStringLiteral("in/a.css"), "new"),
                                                    m_dir->filePath(QStringLiteral("kind")), {});
        QVERIFY(stored.ok);
        QCOMPARE(QFileInfo(stored.path).fileName(), QStringLiteral("a.css"));
        QCOMPARE(contentOf(stored.path), QByteArray("new"));
    }

    void storeKeepsASourceThatIsTheDestination()
    {
        const QString inside = write(QStringLiteral("kind/a.tex"), "mine");
        // Even when another record points at it: both then share the one file.
        const StoredFile stored =
            storeTemplateFile(inside, m_dir->filePath(QStringLiteral("kind")), {inside});
        QVERIFY(stored.ok);
        QVERIFY(isSameFile(stored.path, inside));
        QCOMPARE(contentOf(inside), QByteArray("mine"));
        QCOMPARE(QDir(m_dir->filePath(QStringLiteral("kind"))).entryList(QDir::Files).size(), 1);
    }

    void storeFailures_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("missing source") << QStringLiteral("nowhere/a.tex");
        QTest::newRow("folder as source") << QStringLiteral("folder.tex");
    }

    void storeFailures()
    {
        QFETCH(QString, source);
        QDir().mkpath(m_dir->filePath(QStringLiteral("folder.tex")));
        const StoredFile stored =
            storeTemplateFile(m_dir->filePath(source), m_dir->filePath(QStringLiteral("kind")), {});
        QVERIFY(!stored.ok);
        QVERIFY(!stored.error.isEmpty());
        QVERIFY(QDir(m_dir->filePath(QStringLiteral("kind"))).isEmpty());
    }

    void copyReplacesWholeAndFailsCleanly()
    {
        const QString source = write(QStringLiteral("s.html"), "short");
        const QString target = write(QStringLiteral("out/t.html"), "a much longer old content");
        QString error;
        QVERIFY(copyFileReplacing(source, target, &error));
        QCOMPARE(contentOf(target), QByteArray("short"));

        QVERIFY(!copyFileReplacing(m_dir->filePath(QStringLiteral("missing")), target, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(contentOf(target), QByteArray("short"));
        QVERIFY(
            !copyFileReplacing(source, m_dir->filePath(QStringLiteral("no/such/dir/x")), &error));
    }

    void preview_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        using S = TextPreview::State;
        QTest::newRow("whole") << QByteArray("ä\nb") << qint64(100) << int(S::Ok)
                               << QStringLiteral("ä\nb");
        QTest::newRow("empty") << QByteArray() << qint64(100) << int(S::Ok) << QString();
        QTest::newRow("cut") << QByteArray("abcdef") << qint64(3) << int(S::Truncated)
                             << QStringLiteral("abc");
        // "ä" is two bytes; the limit falls between them.
        QTest::newRow("cut inside a character")
            << QByteArray("aä") << qint64(2) << int(S::Truncated) << QStringLiteral("a");
        QTest::newRow("invalid UTF-8")
            << QByteArray("a\xff b") << qint64(100) << int(S::Unreadable) << QString();
        QTest::newRow("incomplete character at the end")
            << QByteArray("a\xc3") << qint64(100) << int(S::Unreadable) << QString();
    }

    void preview()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, limit);
        QFETCH(int, state);
        QFETCH(QString, text);
        const TextPreview p = readTextPreview(write(QStringLiteral("p.txt"), content), limit);
        QCOMPARE(int(p.state), state);
        QCOMPARE(p.text, text);
    }

    void previewOfMissingFileOrFolder()
    {
        QCOMPARE(readTextPreview(m_dir->filePath(QStringLiteral("none")), 10).state,
                 TextPreview::State::Unreadable);
        QCOMPARE(readTextPreview(m_dir->path(), 10).state, TextPreview::State::Unreadable);
    }
};

QTEST_GUILESS_MAIN(TstTemplateLibrary)
#include "tst_templatelibrary.moc"
