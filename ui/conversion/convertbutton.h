#pragma once

#include <QPushButton>

class PandocViewModel;

// Starts the conversion; enabled only with input and while idle.
class ConvertButton final : public QPushButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConvertButton)

public:
    explicit ConvertButton(PandocViewModel *viewModel, QWidget *parent = nullptr);

    bool canConvert() const;

signals:
    // After every change of input or run state, so a menu entry can follow the button.
    void canConvertChanged(bool canConvert);

protected:
    void changeEvent(QEvent *event) override;

private:
    void refresh();
    void applyAccent();

    PandocViewModel *m_viewModel;
};
