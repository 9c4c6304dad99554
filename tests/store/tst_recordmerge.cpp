// The three-way merge of a store list: a deletion wins, field-wise merges, new saves stay.
#include "recordmerge.h"

#include <QTest>

namespace {

Template tmpl(const QString &name, bool favourite = false)
{
    Template t;
    t.id = QUuid::fromString(QStringLiteral("00000000-0000-4000-8000-00000000000") +
                             QString::number(name.size()));
    t.name = name;
    t.isFavorite = favourite;
    return t;
}

} // namespace

class TstRecordMerge final : public QObject
{
    Q_OBJECT

private slots:
    void deletionWins();
    void presetSavedAgainAfterDeletionStays();
    void styleChangedOnBothSidesMergesByField();
};

void TstRecordMerge::deletionWins()
{
    const QList<Template> base{tmpl(QStringLiteral("a")), tmpl(QStringLiteral("bb"))};
    const QList<Template> edited{tmpl(QStringLiteral("a"), true), tmpl(QStringLiteral("bb"))};
    const QList<Template> deleted{tmpl(QStringLiteral("bb"))};

    MergeOutcome outcome;
    // Our edit meets their deletion: the record stays gone and the edit is named.
    QCOMPARE(mergeRecords(base, edited, deleted, &outcome), deleted);
    QCOMPARE(outcome.droppedEdits, QStringList{QStringLiteral("a")});
    // Our deletion meets their edit: the same.
    QCOMPARE(mergeRecords(base, deleted, edited, &outcome), deleted);
    QVERIFY(outcome.droppedEdits.isEmpty());
    QCOMPARE(outcome.conflicts, 1);
}

void TstRecordMerge::presetSavedAgainAfterDeletionStays()
{
    Preset old;
    old.id = QUuid::createUuid();
    old.name = QStringLiteral("Standard");
    Preset saved = old;
    saved.id = QUuid::createUuid();
    saved.additionalOptions = QStringLiteral("--toc");
    MergeOutcome outcome;
    QCOMPARE(mergeRecords({old}, {saved}, {}, &outcome), QList<Preset>{saved});
    QVERIFY(outcome.droppedEdits.isEmpty());
}

void TstRecordMerge::styleChangedOnBothSidesMergesByField()
{
    const CslStyle base{QUuid::createUuid(), QStringLiteral("alt"), QStringLiteral("/s/a.csl"),
                        QDateTime::fromSecsSinceEpoch(0)};
    CslStyle ours = base;
    ours.name = QStringLiteral("neu");
    CslStyle theirs = base;
    theirs.filePath = QStringLiteral("/s/b.csl");
    CslStyle both = ours;
    both.filePath = theirs.filePath;
    MergeOutcome outcome;
    QCOMPARE(mergeRecords({base}, {ours}, {theirs}, &outcome), QList<CslStyle>{both});
    QCOMPARE(outcome.conflicts, 0);
}

QTEST_GUILESS_MAIN(TstRecordMerge)
#include "tst_recordmerge.moc"
