#include "icons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>

namespace {

// The style's icons, decoded once per style: several buttons share one (the clear buttons,
// the two delete buttons), and each decoding reads every size of its images. Owned by the
// style, so a new style gets icons of its own.
class StyleIconCache final : public QObject
{
public:
    static QIcon icon(QStyle::StandardPixmap which)
    {
        QStyle *style = QApplication::style();
        auto *cache = style->findChild<StyleIconCache *>(QString(), Qt::FindDirectChildrenOnly);
        if (!cache)
            cache = new StyleIconCache(style);
        auto found = cache->m_icons.constFind(which);
        if (found == cache->m_icons.cend())
            found = cache->m_icons.insert(which, style->standardIcon(which));
        return *found;
    }

private:
    explicit StyleIconCache(QStyle *style) : QObject(style) {}

    QHash<QStyle::StandardPixmap, QIcon> m_icons;
};

// The style's icon, asked for only once it is drawn: the style decodes every size of its
// images up front, which cost the window's start a good part of its time, even for buttons
// that stay hidden. Where the style's single small pixmap is exactly what is asked for (a
// 16-pixel button at scale 1), that one is used and nothing else is decoded.
class StyleIconEngine final : public QIconEngine
{
public:
    explicit StyleIconEngine(QStyle::StandardPixmap which) : m_which(which) {}

    // Sizes reach the engine in device pixels (QIcon has multiplied them by the scale).
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        iconFor(rect.size() * scale).paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return iconFor(size).pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal) override
    {
        return pixmap(size, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return iconFor(size).actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return fullIcon().availableSizes(mode, state);
    }
    QIconEngine *clone() const override { return new StyleIconEngine(*this); }
    QString key() const override { return QStringLiteral("VelunorStyleIcon"); }

private:
    const QIcon &iconFor(const QSize &deviceSize)
    {
        if (m_icon.isNull()) {
            if (!m_triedSmall) {
                m_triedSmall = true;
                const QPixmap small =
                    QApplication::style()->standardPixmap(m_which, nullptr, nullptr);
                if (!small.isNull() && small.devicePixelRatio() == 1.0)
                    m_small = QIcon(small);
            }
            if (!m_small.isNull() && m_small.availableSizes().value(0) == deviceSize)
                return m_small;
        }
        return fullIcon();
    }
    const QIcon &fullIcon()
    {
        if (m_icon.isNull())
            m_icon = StyleIconCache::icon(m_which);
        return m_icon;
    }

    QStyle::StandardPixmap m_which;
    bool m_triedSmall = false;
    QIcon m_small;
    QIcon m_icon;
};

} // namespace

QIcon themedIcon(const QString &themeName, QStyle::StandardPixmap fallback)
{
    // As QIcon::fromTheme(name, fallback) decides, without building the fallback beforehand.
    QIcon icon = QIcon::fromTheme(themeName);
    if (!icon.isNull() && !icon.availableSizes().isEmpty())
        return icon;
    return QIcon(new StyleIconEngine(fallback));
}
