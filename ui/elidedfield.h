#pragma once

#include <QLineEdit>

// A read-only field for a long path: shown in the normal text colour, shortened in the
// middle to the room it gets (folder start and file name stay readable), the whole text as
// tooltip and on copy.
class ElidedField final : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ElidedField)

public:
    explicit ElidedField(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    QString fullText() const { return m_fullText; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateShownText();

    QString m_fullText;
};
