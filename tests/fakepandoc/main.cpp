// A stand-in converter for tests, steered by environment variables:
//   FAKE_PANDOC_ARGS_FILE  append the arguments there, one per line, then a line "--"
//   FAKE_PANDOC_STDERR     text written to standard error
//   FAKE_PANDOC_STDERR_BYTES / FAKE_PANDOC_STDOUT_BYTES  write that many bytes
//   FAKE_PANDOC_STDOUT_ENDLESS  keep writing to standard output until killed
//   FAKE_PANDOC_SLEEP_MS   sleep before exiting
//   FAKE_PANDOC_SLEEP_MATCH  only sleep when an argument contains this
//   FAKE_PANDOC_GRANDCHILD start a child that sleeps a minute; its pid goes to this file
//   FAKE_PANDOC_TMPDIR_FILE  write $TMPDIR there and leave a scratch file inside $TMPDIR
//   FAKE_PANDOC_TRICKLE_MS keep writing short lines to standard error for that long
//   FAKE_PANDOC_EXIT       exit code (default 0)
//   FAKE_PANDOC_FAIL_MATCH only exit with FAKE_PANDOC_EXIT when an argument contains this
//   FAKE_PANDOC_CRASH      abort() instead of exiting
//   FAKE_PANDOC_VERSION    text printed for --version (default "pandoc 9.9.9\n...")
//   FAKE_PANDOC_WRITE_OUTPUT  write this text to the file after -o (default "fake output\n")
//   FAKE_PANDOC_NO_OUTPUT  write nothing there, and still exit 0 unless told otherwise
//   FAKE_PANDOC_CHILDREN   start two children that sleep a minute, one in a session of its
//                          own; "<own pid> <child> <child>" goes to this file
//   FAKE_PANDOC_IGNORE_TERM  ignore SIGTERM
//   FAKE_PANDOC_INPUT_FORMATS / FAKE_PANDOC_OUTPUT_FORMATS  printed for --list-input-formats /
//                          --list-output-formats (blank-separated; such a call is not recorded)
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

static QByteArray env(const char *name)
{
    return qgetenv(name);
}

static void writeBytes(FILE *stream, qint64 count)
{
    QByteArray chunk(64 * 1024, 'x');
    while (count > 0) {
        const qint64 n = std::min<qint64>(count, chunk.size());
        fwrite(chunk.constData(), 1, size_t(n), stream);
        count -= n;
    }
    fflush(stream);
}

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strncmp(argv[1], "--list-", 7) == 0) {
        const bool input = std::strcmp(argv[1], "--list-input-formats") == 0;
        const QByteArray names =
            env(input ? "FAKE_PANDOC_INPUT_FORMATS" : "FAKE_PANDOC_OUTPUT_FORMATS");
        for (const QByteArray &name : names.split(' ')) {
            if (!name.isEmpty())
                std::printf("%s\n", name.constData());
        }
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        const QByteArray version = qEnvironmentVariableIsSet("FAKE_PANDOC_VERSION")
                                       ? env("FAKE_PANDOC_VERSION")
                                       : QByteArray("pandoc 9.9.9\nFeatures: none\n");
        fwrite(version.constData(), 1, size_t(version.size()), stdout);
        fflush(stdout);
    }
    const QByteArray argsFile = env("FAKE_PANDOC_ARGS_FILE");
    if (!argsFile.isEmpty()) {
        QFile file(QString::fromLocal8Bit(argsFile));
        if (file.open(QIODevice::Append)) {
            for (int i = 1; i < argc; ++i) {
                file.write(argv[i]);
                file.write("\n");
            }
            file.write("--\n");
        }
    }
    const QByteArray outputText = qEnvironmentVariableIsSet("FAKE_PANDOC_WRITE_OUTPUT")
                                      ? env("FAKE_PANDOC_WRITE_OUTPUT")
                                      : QByteArray("fake output\n");
    if (!qEnvironmentVariableIsSet("FAKE_PANDOC_NO_OUTPUT")) {
        for (int i = 1; i + 1 < argc; ++i) {
            if (std::strcmp(argv[i], "-o") == 0) {
                QFile out(QString::fromLocal8Bit(argv[i + 1]));
                if (out.open(QIODevice::WriteOnly))
                    out.write(outputText);
            }
        }
    }
    const QByteArray err = env("FAKE_PANDOC_STDERR");
    if (!err.isEmpty()) {
        fwrite(err.constData(), 1, size_t(err.size()), stderr);
        fflush(stderr);
    }
    if (qEnvironmentVariableIsSet("FAKE_PANDOC_STDOUT_BYTES"))
        writeBytes(stdout, env("FAKE_PANDOC_STDOUT_BYTES").toLongLong());
    if (qEnvironmentVariableIsSet("FAKE_PANDOC_STDOUT_ENDLESS")) {
        for (;;)
            writeBytes(stdout, 64 * 1024);
    }
    if (qEnvironmentVariableIsSet("FAKE_PANDOC_STDERR_BYTES"))
        writeBytes(stderr, env("FAKE_PANDOC_STDERR_BYTES").toLongLong());
    if (qEnvironmentVariableIsSet("FAKE_PANDOC_TRICKLE_MS")) {
        QElapsedTimer clock;
        clock.start();
        const qint64 until = env("FAKE_PANDOC_TRICKLE_MS").toLongLong();
        while (clock.elapsed() < until) {
            fputs("[WARNING] still working on it\n", stderr);
            fflush(stderr);
            QThread::usleep(200);
        }
    }
    const QByteArray tmpFile = env("FAKE_PANDOC_TMPDIR_FILE");
    if (!tmpFile.isEmpty()) {
        const QByteArray tmp = env("TMPDIR");
        QFile record(QString::fromLocal8Bit(tmpFile));
        if (record.open(QIODevice::WriteOnly))
            record.write(tmp);
        QDir().mkpath(QString::fromLocal8Bit(tmp) + QStringLiteral("/tex2pdf.1"));
        QFile scratch(QString::fromLocal8Bit(tmp) + QStringLiteral("/tex2pdf.1/input.tex"));
        if (scratch.open(QIODevice::WriteOnly))
            scratch.write("scratch");
    }
    const QByteArray grandchild = env("FAKE_PANDOC_GRANDCHILD");
    if (!grandchild.isEmpty()) {
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sleep", "sleep", "60", static_cast<char *>(nullptr));
            _exit(127);
        }
        QFile record(QString::fromLocal8Bit(grandchild));
        if (record.open(QIODevice::WriteOnly))
            record.write(QByteArray::number(pid));
    }
    if (qEnvironmentVariableIsSet("FAKE_PANDOC_IGNORE_TERM"))
        signal(SIGTERM, SIG_IGN);
    const QByteArray children = env("FAKE_PANDOC_CHILDREN");
    if (!children.isEmpty()) {
        QByteArray pids = QByteArray::number(qint64(getpid()));
        for (bool ownSession : {false, true}) {
            const pid_t pid = fork();
            if (pid == 0) {
                if (ownSession)
                    setsid();
                signal(SIGTERM, SIG_IGN);
                execl("/bin/sleep", "sleep", "60", static_cast<char *>(nullptr));
                _exit(127);
            }
            pids += ' ' + QByteArray::number(qint64(pid));
        }
        QFile record(QString::fromLocal8Bit(children));
        if (record.open(QIODevice::WriteOnly))
            record.write(pids);
    }
    const QByteArray sleepMatch = env("FAKE_PANDOC_SLEEP_MATCH");
    bool sleepHit = sleepMatch.isEmpty();
    for (int i = 1; i < argc && !sleepHit; ++i)
        sleepHit = QByteArray(argv[i]).contains(sleepMatch);
    if (qEnvironmentVariableIsSet("FAKE_PANDOC_SLEEP_MS") && sleepHit)
        QThread::msleep(env("FAKE_PANDOC_SLEEP_MS").toULong());
    if (qEnvironmentVariableIsSet("FAKE_PANDOC_CRASH"))
        std::abort();
    const QByteArray match = env("FAKE_PANDOC_FAIL_MATCH");
    if (!match.isEmpty()) {
        bool hit = false;
        for (int i = 1; i < argc; ++i)
            hit = hit || QByteArray(argv[i]).contains(match);
        if (!hit)
            return 0;
    }
    return env("FAKE_PANDOC_EXIT").toInt();
}
