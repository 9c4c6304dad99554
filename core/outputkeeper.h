#pragma once

#include <QString>

// Keeps the file at an output path aside while the converter writes there, so that a
// failed or cancelled run leaves the path exactly as it was and no partial file.
class OutputKeeper final
{
public:
    explicit OutputKeeper(QString output);
    // Puts things back unless the run was committed.
    ~OutputKeeper();
    OutputKeeper(const OutputKeeper &) = delete;
    OutputKeeper &operator=(const OutputKeeper &) = delete;

    // Moves what is at the output path to a hidden name beside it; false with the
    // reason when that is not possible (the path would then be unsafe to write).
    bool keepAside(QString *error);
    // Success: the new file stays and the kept one is dropped.
    void commit();
    // Failure: whatever the converter left is removed and the kept file returns.
    void restore();

private:
    QString m_output;
    QString m_kept;
    bool m_active = false;
};
