#pragma once

#include <QDialog>
#include <QDialogButtonBox>

class QAbstractButton;
class QLabel;
class QPushButton;
class QScrollArea;

// A message box that fits: the title is never cut, a long message (a list of 400 files)
// scrolls inside a dialog no taller than the screen, and the dialog opens centred over its
// window. Title and message are plain text.
class MessageDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MessageDialog)

public:
    enum class Icon
    {
        Information,
        Warning
    };

    MessageDialog(Icon icon, const QString &title, const QString &message, QWidget *parent);

    QPushButton *addButton(const QString &text, QDialogButtonBox::ButtonRole role,
                           const QString &objectName = QString());
    void setDefaultButton(QPushButton *button);
    // The button that closed the dialog; null after Escape.
    QAbstractButton *clickedButton() const { return m_clicked; }

    // Sizes the dialog to its text and the screen, then runs it.
    int exec() override;
    // The same sizing, for callers that show it without blocking.
    void fitToScreen();

private:
    QLabel *m_message = nullptr;
    QScrollArea *m_scroll = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QAbstractButton *m_clicked = nullptr;
};
