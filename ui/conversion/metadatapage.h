#pragma once

#include <QWidget>

class PandocViewModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;

// Title, authors, date, language and abstract, then free metadata and template variables.
class MetadataPage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MetadataPage)

public:
    explicit MetadataPage(PandocViewModel *viewModel, QWidget *parent = nullptr);

    // The metadata keys that have a field of their own.
    static const QStringList &fieldKeys();
    // Template variables people set for an output family.
    static QStringList usualVariables(const QString &outputFormat);

private:
    using Pairs = QList<std::pair<QString, QString>>;
    QTableWidget *makeTable(const QString &name, const QString &caption, bool variables);
    void fieldsEdited();
    void tableEdited(QTableWidget *table, bool variables);
    void refresh();
    void refreshDocumentHint();
    static void fillTable(QTableWidget *table, const Pairs &pairs);
    static Pairs tablePairs(const QTableWidget *table);

    PandocViewModel *m_viewModel;
    QLineEdit *m_title = nullptr;
    QLineEdit *m_subtitle = nullptr;
    QPlainTextEdit *m_authors = nullptr;
    QLineEdit *m_date = nullptr;
    QComboBox *m_lang = nullptr;
    QPlainTextEdit *m_abstract = nullptr;
    QTableWidget *m_metadata = nullptr;
    QTableWidget *m_variables = nullptr;
    QComboBox *m_usual = nullptr;
    QLabel *m_documentHint = nullptr;
    bool m_refreshing = false;
};
