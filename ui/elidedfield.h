#pragma once

#include <QLineEdit>
#include <optional>

// A field for a long path: shown in the normal text colour, shortened in the middle to the
// room it gets (folder start and file name stay readable), the whole text as tooltip and on
// copy. Read-only unless typing is allowed; then focus shows the whole path to edit, and
// Enter or leaving the field hands over what was typed.
class ElidedField final : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ElidedField)

public:
    explicit ElidedField(QWidget *parent = nullptr);

    // `editText` is what editing starts from; by default the full text.
    void setFullText(const QString &text, const std::optional<QString> &editText = {});
    QString fullText() const { return m_fullText; }

    void setTypingAllowed(bool allowed);

signals:
    // The user changed the text and confirmed it (Enter or leaving the field).
    void textTyped(const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool editing() const { return !isReadOnly() && hasFocus(); }
    void updateShownText();
    void finishEditing();

    QString m_fullText;
    QString m_editText;
};
