// Both tabs at the window's minimum size: every visible label, button and check box gets at
// least its size-hint width, nothing is cut off by its parent, siblings do not overlap, every
// control has an accessible name, Tab moves in reading order, and "KONVERTIEREN", "Bearbeiten"
// and "Exportieren" are in view without scrolling. Checked with the normal font,
// a 1.5× larger font and at QT_SCALE_FACTOR=2; each setting runs in a child process, since the
// scale factor is read once at start.
#include "appsetup.h"
#include "contentview.h"
#include "conversion/conversionview.h"
#include "conversion/moreoptionssection.h"
#include "fakes.h"
#include "mainwindow.h"
#include "offscreenscreen.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

const char kChildVariable[] = "VELUNOR_LAYOUT_CHILD";
const char kFontVariable[] = "VELUNOR_LAYOUT_FONT_SCALE";

QString describe(const QWidget *w)
{
    QString text;
    if (const auto *label = qobject_cast<const QLabel *>(w))
        text = label->text();
    else if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        text = button->text();
    return QString::fromLatin1(w->metaObject()->className()) + u' ' +
           (w->objectName().isEmpty() ? QStringLiteral("\"") + text + u'"' : w->objectName());
}

// Parts of composite controls (a combo box's inside, scroll bars, tab bar arrows) are the
// controls' own business.
bool isInternal(const QWidget *w, const QWidget *page)
{
    for (const QWidget *p = w->parentWidget(); p && p != page; p = p->parentWidget()) {
        if (qobject_cast<const QComboBox *>(p) || qobject_cast<const QLineEdit *>(p) ||
            qobject_cast<const QAbstractSpinBox *>(p) || qobject_cast<const QTabBar *>(p) ||
            qobject_cast<const QScrollBar *>(p))
            return true;
    }
    return false;
}

bool scrollsVertically(const QWidget *viewport)
{
    const auto *area = qobject_cast<const QAbstractScrollArea *>(viewport->parentWidget());
    return area && area->viewport() == viewport &&
           area->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
}

class Walker
{
public:
    explicit Walker(QString where) : m_where(std::move(where)) {}

    void walk(QWidget *page)
    {
        const QList<QWidget *> all = page->findChildren<QWidget *>();
        for (QWidget *w : all) {
            if (!w->isVisible() || w->isWindow() || isInternal(w, page))
                continue;
            if (qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w))
                checkSize(w);
            checkInsideParents(w, page);
            checkAccessibleName(w);
            checkSiblings(w);
        }
    }

    // Tab goes the way one reads: never back up, never back left within a row; a jump up is
    // fine only into a column further right (the library's detail pane).
    void checkTabOrder(QWidget *page)
    {
        QList<QWidget *> chain;
        for (QWidget *w = page->nextInFocusChain(); w != page && chain.size() < 1000;
             w = w->nextInFocusChain()) {
            if (page->isAncestorOf(w) && w->isVisible() && w->isEnabled() &&
                (w->focusPolicy() & Qt::TabFocus) && !isInternal(w, page) &&
                !qobject_cast<QScrollArea *>(w))
                chain << w;
        }
        // Between a scrolling page and a control outside it (a bar above or below), the
        // page counts as one box where it stands.
        const auto place = [page](const QWidget *w, const QWidget *other) {
            const QWidget *box = w;
            for (const QWidget *p = w->parentWidget(); p && p != page; p = p->parentWidget()) {
                if (qobject_cast<const QScrollArea *>(p) && !p->isAncestorOf(other))
                    box = p;
            }
            return QRect(box->mapTo(page, QPoint()), box->size());
        };
        for (qsizetype i = 1; i < chain.size(); ++i) {
            const QRect a = place(chain[i - 1], chain[i]);
            const QRect b = place(chain[i], chain[i - 1]);
            const bool sameRow = b.top() <= a.bottom() && a.top() <= b.bottom();
            const bool backUp = !sameRow && b.bottom() < a.top() && b.left() < a.right();
            const bool backLeft = sameRow && b.right() < a.left();
            if (backUp || backLeft)
                report(chain[i], QStringLiteral("reached by Tab after ") + describe(chain[i - 1]));
        }
    }

    QStringList problems;

private:
    void report(const QWidget *w, const QString &what)
    {
        problems << m_where + QStringLiteral(": ") + describe(w) + QStringLiteral(": ") + what;
    }

    void checkSize(QWidget *w)
    {
        const auto *label = qobject_cast<QLabel *>(w);
        if (label && label->wordWrap()) {
            // Wrapping labels may be narrow, but then they need the height of their lines.
            if (w->height() < label->heightForWidth(w->width()))
                report(w, QStringLiteral("height %1 < %2 needed at width %3")
                              .arg(w->height())
                              .arg(label->heightForWidth(w->width()))
                              .arg(w->width()));
            return;
        }
        if (w->width() < w->sizeHint().width())
            report(w, QStringLiteral("width %1 < size hint %2")
                          .arg(w->width())
                          .arg(w->sizeHint().width()));
        if (w->height() < w->minimumSizeHint().height())
            report(w, QStringLiteral("height %1 < minimum %2")
                          .arg(w->height())
                          .arg(w->minimumSizeHint().height()));
    }

    // Every ancestor up to the tab page shows the widget whole; a scroll area may hide it
    // above or below, not at the sides.
    void checkInsideParents(QWidget *w, QWidget *page)
    {
        QRect rect = w->rect();
        bool vertical = true;
        for (QWidget *child = w; child != page; child = child->parentWidget()) {
            QWidget *parent = child->parentWidget();
            rect.translate(child->pos());
            const QRect bounds = parent->rect();
            vertical = vertical && !scrollsVertically(parent);
            if (rect.left() < bounds.left() || rect.right() > bounds.right())
                report(w, QStringLiteral("cut at the side by ") + describe(parent));
            else if (vertical && (rect.top() < bounds.top() || rect.bottom() > bounds.bottom()))
                report(w, QStringLiteral("cut at top or bottom by ") + describe(parent));
            if (rect.left() < bounds.left() || rect.right() > bounds.right() ||
                (vertical && !bounds.contains(rect)))
                return; // one report per widget
        }
    }

    void checkAccessibleName(QWidget *w)
    {
        if (w->focusPolicy() == Qt::NoFocus || !w->isEnabled())
            return;
        const bool control = qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w) ||
                             qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractSpinBox *>(w) ||
                             qobject_cast<QAbstractScrollArea *>(w);
        // A scroll area that only holds other controls is no control itself.
        if (!control || qobject_cast<QScrollArea *>(w))
            return;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        if (!iface || iface->text(QAccessible::Name).trimmed().isEmpty())
            report(w, QStringLiteral("no accessible name"));
    }

    void checkSiblings(QWidget *w)
    {
        QWidget *parent = w->parentWidget();
        if (!parent || qobject_cast<QAbstractScrollArea *>(parent))
            return;
        for (QObject *object : parent->children()) {
            auto *other = qobject_cast<QWidget *>(object);
            // Each pair once.
            if (!other || other <= w || !other->isVisible() || other->isWindow())
                continue;
            if (w->geometry().intersects(other->geometry()))
                report(w, QStringLiteral("overlaps ") + describe(other));
        }
    }

    QString m_where;
};

// The child's side: builds a window with a filled library and a three-file batch, shrinks it
// to its minimum size and prints one line per problem.
int runChild(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    const double fontScale = qEnvironmentVariable(kFontVariable).toDouble();
    if (fontScale > 0) {
        QFont font = QApplication::font();
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * fontScale);
        else
            font.setPixelSize(qRound(font.pixelSize() * fontScale));
        QApplication::setFont(font);
    }
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());

    TestWorld world;
    world.installFakePandoc();
    MainWindow window(world.environment());
    PandocViewModel *vm = window.viewModel();
    const QString names[] = {QStringLiteral("Firmenbericht mit Kopfzeile"),
                             QStringLiteral("Hausstil"), QStringLiteral("Artikel"),
                             QStringLiteral("Briefpapier")};
    for (TemplateType type : templateTypeAllCases) {
        const QString file = world.writeFile(
            QStringLiteral("lib/") + names[int(type)] + u'.' + rawValue(type), "body { }\n");
        vm->addTemplate(names[int(type)], type, file, QStringLiteral("Eine Beschreibung."));
    }
    vm->toggleFavorite(vm->templates().first());
    vm->addCslStyle(QStringLiteral("Deutsche Gesellschaft für Psychologie"),
                    world.writeFile(QStringLiteral("lib/dgps.csl"), "<style/>\n"));
    QList<QUrl> inputs;
    for (int i = 1; i <= 3; ++i)
        inputs << QUrl::fromLocalFile(
            world.writeFile(QStringLiteral("Dokumente/Kapitel %1.md").arg(i), "# Kapitel\n"));
    vm->handleInputFileSelection({inputs, std::nullopt});
    vm->setOutputFormat(QStringLiteral("html"));

    window.show();
    window.resize(window.minimumSizeHint());
    if (!QTest::qWaitForWindowExposed(&window))
        return 2;
    QStringList problems;
    if (window.width() < 800 || window.height() < 600)
        problems << QStringLiteral("window smaller than 800×600");
    auto check = [&](int tab, const QString &where) {
        window.contentView()->setCurrentIndex(tab);
        QTest::qWait(50); // queued layout requests and the label column
        Walker walker(where);
        walker.walk(window.contentView()->widget(tab));
        walker.checkTabOrder(window.contentView()->widget(tab));
        problems << walker.problems;
    };
    // The controls a small window must show as it opens, without scrolling.
    auto inView = [&](const char *name, const QString &where) {
        const QWidget *page = window.contentView()->currentWidget();
        const auto *w = page->findChild<QWidget *>(QLatin1String(name));
        const QRect rect(w->mapTo(page, QPoint()), w->size());
        bool shown = w->isVisible() && page->rect().contains(rect);
        for (const QWidget *p = w->parentWidget(); p && p != page; p = p->parentWidget()) {
            if (const auto *area = qobject_cast<const QAbstractScrollArea *>(p))
                shown = shown && area->verticalScrollBar()->value() == 0 &&
                        QRect(area->viewport()->mapTo(page, QPoint()), area->viewport()->size())
                            .contains(rect);
        }
        if (!shown)
            problems << where + QStringLiteral(": ") + QLatin1String(name) +
                            QStringLiteral(" not in view without scrolling");
    };
    check(0, QStringLiteral("Konvertierung"));
    inView("convertButton", QStringLiteral("Konvertierung"));
    vm->setIsConverting(true); // progress bar and cancel button appear
    check(0, QStringLiteral("Konvertierung (läuft)"));
    vm->setIsConverting(false);
    // Panels made on first need join the Tab order where they stand.
    vm->setMergeInputs(true);
    check(0, QStringLiteral("Konvertierung (zusammengefügt)"));
    vm->setMergeInputs(false);
    RunResults results;
    for (const QUrl &input : std::as_const(inputs))
        results << RunResult{input.toLocalFile(), input.toLocalFile() + QStringLiteral(".html"),
                             RunResult::Outcome::Failed, 0.4, QStringLiteral("Fehler")};
    vm->setLastRunResults(results);
    emit vm->runResultsReady();
    // The panel's first showing builds it and widens the form; a sanitizer build needs
    // longer than the usual wait to settle.
    QTest::qWait(500);
    check(0, QStringLiteral("Konvertierung (Ergebnisse)"));
    // Every page of the folded area, opened, with the controls of two output families.
    MoreOptionsSection *more = window.contentView()->conversionView()->moreOptions();
    for (const QString &format : {QStringLiteral("html"), QStringLiteral("beamer")}) {
        vm->setOutputFormat(format);
        for (int page = 0; page < 4; ++page) {
            more->restoreState(page);
            // The first opening builds the pages; a slow (sanitizer) build needs longer than
            // the usual wait for the window to settle.
            if (page == 0)
                QTest::qWait(500);
            check(0, QStringLiteral("Konvertierung (%1, weitere Einstellungen %2)")
                         .arg(format)
                         .arg(page));
        }
    }
    more->restoreState(-1);
    window.contentView()->templatesView();
    auto *list = window.findChild<QAbstractItemView *>(QStringLiteral("templateList"));
    list->setCurrentIndex(list->model()->index(0, 0));
    check(1, QStringLiteral("Templates"));
    for (const char *name : {"editButton", "exportButton"})
        inView(name, QStringLiteral("Templates"));
    list->setCurrentIndex(list->model()->index(list->model()->rowCount() - 1, 0));
    check(1, QStringLiteral("Templates (CSL-Stil)"));
    for (const QString &line : std::as_const(problems))
        std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
    return problems.isEmpty() ? 0 : 1;
}

} // namespace

class TestLayout final : public QObject
{
    Q_OBJECT

private slots:
    void minimumWindowShowsEverything_data()
    {
        QTest::addColumn<QString>("fontScale");
        QTest::addColumn<QString>("scaleFactor");
        QTest::newRow("normal") << QString() << QString();
        QTest::newRow("font 1.5x") << QStringLiteral("1.5") << QString();
        QTest::newRow("QT_SCALE_FACTOR=2") << QString() << QStringLiteral("2");
    }

    void minimumWindowShowsEverything()
    {
        QFETCH(QString, fontScale);
        QFETCH(QString, scaleFactor);
        // A 1366×768 screen in logical pixels.
        const int factor = scaleFactor.isEmpty() ? 1 : scaleFactor.toInt();
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"),
                   offscreenWithScreen(dir.path(), 1366 * factor, 768 * factor));
        if (!fontScale.isEmpty())
            env.insert(QString::fromLatin1(kFontVariable), fontScale);
        if (!scaleFactor.isEmpty())
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), scaleFactor);
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(120000));
        const QStringList report =
            QString::fromUtf8(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString &line : report)
            qWarning("%s", qPrintable(line));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(report.size(), 0);
        QCOMPARE(child.exitCode(), 0);
    }
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_layout.moc"
