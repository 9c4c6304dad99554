#include "messagedialog.h"

#include "dialogfit.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {
// Below this a message box looks cramped; above it lines get hard to follow.
constexpr int kMinTextWidth = 320;
constexpr int kMaxTextWidth = 560;

// A word wider than a line (a file name without blanks) cannot wrap and would be cut off at
// the edge; it is shortened in the middle instead, so its start and end stay readable.
QString elideLongWords(const QString &text, const QFontMetrics &metrics, int width)
{
    QStringList lines = text.split(u'\n');
    for (QString &line : lines) {
        QStringList words = line.split(u' ');
        for (QString &word : words) {
            if (metrics.horizontalAdvance(word) > width)
                word = metrics.elidedText(word, Qt::ElideMiddle, width);
        }
        line = words.join(u' ');
    }
    return lines.join(u'\n');
}
} // namespace

MessageDialog::MessageDialog(Icon icon, const QString &title, const QString &message,
                             QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("messageDialog"));
    setWindowTitle(title);
    setModal(true);

    auto *iconLabel = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    const QIcon image = style()->standardIcon(
        icon == Icon::Warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation,
        nullptr, this);
    iconLabel->setPixmap(image.pixmap(QSize(side, side), devicePixelRatio()));
    iconLabel->setAlignment(Qt::AlignTop);

    auto *headline = new QLabel(this);
    headline->setObjectName(QStringLiteral("messageTitle"));
    headline->setTextFormat(Qt::PlainText);
    headline->setWordWrap(true);
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);
    headline->setText(elideLongWords(title, QFontMetrics(bold), kMaxTextWidth));

    const QString shown = elideLongWords(message, fontMetrics(), kMaxTextWidth);
    m_message = new QLabel(shown);
    // What was shortened, whole.
    if (shown != message || headline->text() != title)
        m_message->setToolTip(Qt::convertFromPlainText(title + u'\n' + message));
    m_message->setObjectName(QStringLiteral("messageText"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("messageScroll"));
    m_scroll->setWidget(m_message);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_message->setAutoFillBackground(false);
    m_message->setHidden(message.isEmpty());

    m_buttons = new QDialogButtonBox(this);
    connect(m_buttons, &QDialogButtonBox::clicked, this, [this](QAbstractButton *button) {
        m_clicked = button;
        const QDialogButtonBox::ButtonRole role = m_buttons->buttonRole(button);
        done(role == QDialogButtonBox::AcceptRole || role == QDialogButtonBox::YesRole ||
                     role == QDialogButtonBox::DestructiveRole
                 ? Accepted
                 : Rejected);
    });

    auto *text = new QVBoxLayout;
    text->addWidget(headline);
    text->addWidget(m_scroll, 1);
    auto *body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(iconLabel, 0, Qt::AlignTop);
    body->addLayout(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(14);
    layout->addLayout(body, 1);
    layout->addWidget(m_buttons);
}

QPushButton *MessageDialog::addButton(const QString &text, QDialogButtonBox::ButtonRole role,
                                      const QString &objectName)
{
    QPushButton *button = m_buttons->addButton(text, role);
    button->setObjectName(objectName);
    return button;
}

void MessageDialog::setDefaultButton(QPushButton *button)
{
    button->setDefault(true);
    button->setFocus();
}

void MessageDialog::fitToScreen()
{
    const QSize limit = DialogFit::maximumSize(parentWidget());
    // Lines as long as they are, within reason; the title bar may ask for more.
    int textWidth = std::clamp(m_message->sizeHint().width(), kMinTextWidth, kMaxTextWidth);
    const int chrome = sizeHint().width() - m_scroll->sizeHint().width();
    textWidth = std::max(textWidth, DialogFit::titleWidth(windowTitle()) - chrome);
    textWidth = std::min(textWidth, limit.width() - chrome);
    const int textHeight = m_message->isHidden() ? 0 : m_message->heightForWidth(textWidth);
    const int others = sizeHint().height() - m_scroll->sizeHint().height();
    const int room = limit.height() - others;
    if (textHeight > room) {
        // Too long for the screen: the message scrolls, the buttons stay in view.
        m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        const int bar = m_scroll->verticalScrollBar()->sizeHint().width();
        m_scroll->setMinimumSize(std::min(textWidth + bar, limit.width() - chrome),
                                 std::max(0, room));
    } else {
        m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scroll->setMinimumSize(textWidth, textHeight);
    }
    DialogFit::fitAndCentre(this, parentWidget());
}

int MessageDialog::exec()
{
    fitToScreen();
    return QDialog::exec();
}
