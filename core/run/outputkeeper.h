#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Keeps the user's file at an output path safe: the converter writes to a fresh hidden
// name beside it, and only a finished, non-empty file replaces the output, by one
// rename() that keeps the old file's permission bits. A link at the output is followed,
// so its target is what gets replaced. Nothing touches the output before that moment.
class OutputKeeper final
{
public:
    explicit OutputKeeper(QString output);
    // Removes the temporary file unless it became the output.
    ~OutputKeeper();
    OutputKeeper(const OutputKeeper &) = delete;
    OutputKeeper &operator=(const OutputKeeper &) = delete;

    // Creates the temporary file; false with the reason when that is not possible, in
    // which case nothing was touched.
    bool prepare(QString *error);
    // Where the converter is to write.
    QString writePath() const { return m_temp; }
    // The file that is replaced: the output, or the end of the links it leads through.
    QString target() const { return m_target; }

    // The converter succeeded: replaces the target with what it wrote. Returns the "❌ "
    // line when that did not happen (no or empty output, rename failed); the target is
    // then as it was.
    std::optional<QString> commit();
    // "⚠ " lines worth logging after a commit (a second hard link kept the old content).
    QStringList notes() const { return m_notes; }
    // Failure or cancel: drops what the converter wrote.
    void discard();

    // The hidden name for `path` with this process's id and a running number; a PDF's
    // keeps ".pdf" at the end, which tells pandoc to make one.
    static QString temporaryName(const QString &path, qint64 pid, quint64 number);
    // Removes, in `folder`, temporary files that a Velunor which is no longer running left
    // behind: only regular files of ours whose name matches and whose process is gone.
    // Returns how many went.
    static int removeStale(const QString &folder);

private:
    QString m_output;
    QString m_target;
    QString m_temp;
    QStringList m_notes;
};
