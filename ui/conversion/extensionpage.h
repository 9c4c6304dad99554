#pragma once

#include <QWidget>

class PandocViewModel;
class QLabel;
class QListWidget;

// The extensions of the chosen input and output format as the converter lists them, each
// checked as it is by default; only the changed ones become part of the format.
class ExtensionPage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExtensionPage)

public:
    explicit ExtensionPage(PandocViewModel *viewModel, QWidget *parent = nullptr);

    // "+smart-auto_identifiers" as its changes, in order: name -> on.
    static QList<std::pair<QString, bool>> parseChanges(const QString &changes);
    // The changes of `checked` against the defaults of `listed` ("+a", "-b").
    static QString changesOf(const QStringList &listed, const QStringList &checked);

private:
    struct Side
    {
        QLabel *title = nullptr;
        QListWidget *list = nullptr;
        QLabel *unknown = nullptr;
        QString format;
    };
    Side makeSide(const QString &name);
    void refresh();
    void fill(Side &side, const QString &format, const QString &changes, bool input);
    void edited();

    PandocViewModel *m_viewModel;
    Side m_input;
    Side m_output;
    bool m_filling = false;
};
