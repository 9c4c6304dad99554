// The system calls behind platform.h keep the promises the rest of Velunor builds on: links
// are never written through, replacing is one step, error codes are errno values.
#include "platform.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdlib>
#include <csignal>
#include <thread>
#include <unistd.h>

using Platform::FileStatus;
using Platform::Links;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TstPlatform final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        writeFile(path("file"), "12345");
        QVERIFY(QFile::setPermissions(path("file"), QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ReadGroup));
        QVERIFY(QFile::link(path("file"), path("link")));
        QVERIFY(QFile::link(path("missing"), path("dangling")));
    }

    void fileStatus_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Links>("links");
        QTest::addColumn<int>("kind"); // -1: no status
        QTest::addColumn<qint64>("size");
        const int file = int(FileStatus::Kind::File);
        const int other = int(FileStatus::Kind::Other);
        QTest::newRow("file") << "file" << Links::DontFollow << file << qint64(5);
        QTest::newRow("folder") << "." << Links::Follow << int(FileStatus::Kind::Folder)
                                << qint64(-1);
        QTest::newRow("link followed") << "link" << Links::Follow << file << qint64(5);
        QTest::newRow("link itself") << "link" << Links::DontFollow << other << qint64(-1);
        QTest::newRow("dangling followed") << "dangling" << Links::Follow << -1 << qint64(-1);
        QTest::newRow("dangling itself") << "dangling" << Links::DontFollow << other << qint64(-1);
        QTest::newRow("missing") << "missing" << Links::DontFollow << -1 << qint64(-1);
    }

    void fileStatus()
    {
        QFETCH(QString, name);
        QFETCH(Links, links);
        QFETCH(int, kind);
        QFETCH(qint64, size);
        const auto status = Platform::fileStatus(m_dir.filePath(name), links);
        QCOMPARE(status.has_value(), kind >= 0);
        if (!status)
            return;
        QCOMPARE(int(status->kind), kind);
        QCOMPARE(status->owner, Platform::currentUserId());
        if (size >= 0)
            QCOMPARE(status->size, size);
        if (kind == int(FileStatus::Kind::File))
            QCOMPARE(status->mode, 0640u);
    }

    void createNewFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("error");
        QTest::newRow("fresh name") << "fresh" << 0;
        QTest::newRow("taken by a file") << "file" << EEXIST;
        // A link at the name is not followed, not even to where nothing is yet.
        QTest::newRow("taken by a dangling link") << "dangling" << EEXIST;
        QTest::newRow("folder missing") << "nowhere/fresh" << ENOENT;
    }

    void createNewFile()
    {
        QFETCH(QString, name);
        QFETCH(int, error);
        const QString target = m_dir.filePath(name);
        QCOMPARE(Platform::createNewFile(target, 0600u), error);
        QVERIFY(!QFile::exists(path("missing")));
        QCOMPARE(contentOf(path("file")), QByteArray("12345"));
        if (error == 0) {
            QCOMPARE(Platform::fileStatus(target)->mode, 0600u);
            QVERIFY(Platform::removeName(target));
        }
    }

    void replaceFileSwapsInOneStep()
    {
        writeFile(path("new"), "neu");
        writeFile(path("old"), "alt");
        const quint64 inode = Platform::fileStatus(path("new"))->inode;
        QCOMPARE(Platform::replaceFile(path("new"), path("old")), 0);
        QCOMPARE(Platform::fileStatus(path("old"))->inode, inode);
        QCOMPARE(contentOf(path("old")), QByteArray("neu"));
        QCOMPARE(Platform::replaceFile(path("new"), path("old")), ENOENT);
        QCOMPARE(contentOf(path("old")), QByteArray("neu"));
    }

    void removeNameTakesTheLinkOnly()
    {
        QVERIFY(QFile::link(path("file"), path("second")));
        QVERIFY(Platform::removeName(path("second")));
        QVERIFY(!Platform::fileStatus(path("second"), Links::DontFollow));
        QCOMPARE(contentOf(path("file")), QByteArray("12345"));
        QVERIFY(!Platform::removeName(path("second")));
    }

    void syncFile_data()
    {
        QTest::addColumn<bool>("pipe");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("error");
        QTest::newRow("file") << false << false << 0;
        // Nothing there to reach a disk: counts as done.
        QTest::newRow("pipe") << true << false << 0;
        QTest::newRow("closed handle") << false << true << EBADF;
    }

    void syncFile()
    {
        QFETCH(bool, pipe);
        QFETCH(bool, closed);
        QFETCH(int, error);
        int fds[2] = {-1, -1};
        if (pipe)
            QCOMPARE(::pipe(fds), 0);
        QFile file(path("synced"));
        if (!pipe)
            QVERIFY(file.open(QIODevice::WriteOnly));
        const int handle = pipe ? fds[1] : file.handle();
        if (closed)
            file.close();
        QCOMPARE(Platform::syncFile(handle), error);
        for (int fd : fds)
            ::close(fd);
    }

    void ownerOnlyFolders()
    {
        const QString made = path("private");
        QVERIFY(Platform::makeOwnerOnlyFolder(made));
        QCOMPARE(Platform::fileStatus(made)->mode, 0700u);
        // What is there already is the caller's to judge.
        QVERIFY(Platform::makeOwnerOnlyFolder(path("file")));
        QVERIFY(!Platform::makeOwnerOnlyFolder(path("nowhere/private")));

        const QString first = Platform::makeUniqueOwnerOnlyFolder(path("unique"));
        const QString second = Platform::makeUniqueOwnerOnlyFolder(path("unique"));
        QVERIFY(first.startsWith(path("unique-")));
        QVERIFY(!second.isEmpty() && second != first);
        QCOMPARE(Platform::fileStatus(second, Links::DontFollow)->mode, 0700u);
        QVERIFY(Platform::makeUniqueOwnerOnlyFolder(path("nowhere/unique")).isEmpty());
    }

    void childIsSeenAndStopped_data()
    {
        QTest::addColumn<Platform::Stop>("how");
        QTest::addColumn<int>("signal");
        QTest::newRow("terminate") << Platform::Stop::Terminate << int(SIGTERM);
        QTest::newRow("kill") << Platform::Stop::Kill << int(SIGKILL);
    }

    void childIsSeenAndStopped()
    {
        QFETCH(Platform::Stop, how);
        QFETCH(int, signal);
        QProcess child;
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("VELUNOR_PLATFORM_TEST"), QStringLiteral("kind"));
        child.setProcessEnvironment(environment);
        child.start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")});
        QVERIFY(child.waitForStarted());
        const qint64 pid = child.processId();
        const qint64 self = Platform::currentProcessId();

        QVERIFY(Platform::childProcesses(self).contains(pid));
        const auto state = Platform::processState(pid);
        QVERIFY(state && !state->zombie);
        QCOMPARE(state->parent, self);
        // The child's own environment shows only once its exec has replaced the forked copy.
        QTRY_VERIFY(Platform::processEnvironment(pid).contains("VELUNOR_PLATFORM_TEST=kind"));

        Platform::stopProcess(pid, how);
        QVERIFY(child.waitForFinished(5000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.exitCode(), signal);
        QVERIFY(!Platform::processState(pid));
    }

    void warmedHeapServesTheNextLargeBlock()
    {
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__)
        QSKIP("the heap is steered through glibc's allocator only");
#else
        // The first frame's backing image must land in the memory touched beforehand, not in
        // pages of its own from mmap.
        constexpr qsizetype kBytes = 8 * 1024 * 1024;
        void *block = Platform::setHeapAside(kBytes);
        QVERIFY(block);
        const auto start = reinterpret_cast<quintptr>(block);
        std::thread([block] { Platform::warmAndReleaseHeap(block, kBytes); }).join();
        void *image = std::malloc(kBytes / 2);
        const auto at = reinterpret_cast<quintptr>(image);
        std::free(image);
        Platform::restoreHeapRules();
        QVERIFY(at >= start && at + kBytes / 2 <= start + kBytes);
#endif
    }
};

QTEST_GUILESS_MAIN(TstPlatform)
#include "tst_platform.moc"
