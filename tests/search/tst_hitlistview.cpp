// The hit list's view, driven by mouse and keys: rows where their number puts them, and
// batches of hits appended without the view touching every row.
#include "helpers/testenv.h"
#include "search/hitlistmodel.h"
#include "search/hitlistview.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Counts what the view asks of the model per row.
class CountingModel : public HitListModel
{
public:
    mutable long rowRequests = 0;
    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override
    {
        ++rowRequests;
        return HitListModel::index(row, column, parent);
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        ++rowRequests;
        return HitListModel::data(index, role);
    }
};

std::string plan(int i)
{
    return "/archiv/plan-" + std::to_string(i) + ".dwg";
}

} // namespace

class TestHitListView : public QObject
{
    Q_OBJECT

    std::unique_ptr<CountingModel> model;
    std::unique_ptr<HitListView> view;

    // Appends plans first to first + count - 1 as one batch, in batches of at most 100,000;
    // handed over, a batch that fills its buffer becomes a block of the model's own, else the
    // model copies it.
    void append(int first, int count, const std::string &tail = {}, bool handOver = false)
    {
        for (int from = first; from < first + count; from += 100000) {
            std::string bytes;
            std::vector<uint32_t> ends;
            for (int i = from; i < std::min(first + count, from + 100000); ++i)
                ends.push_back(uint32_t((bytes += plan(i) + tail).size()));
            bytes.shrink_to_fit();
            handOver ? model->appendPacked(std::move(bytes), ends) : model->appendPacked(bytes, ends);
        }
        QApplication::processEvents();
    }
    QModelIndex at(int row) const { return model->index(row, 0); }
    bool inSight(int row) const { return view->viewport()->rect().contains(view->visualRect(at(row))); }

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }
    void init()
    {
        model = std::make_unique<CountingModel>();
        view = std::make_unique<HitListView>();
        view->setModel(model.get());
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->resize(400, 200);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }
    void cleanup()
    {
        view.reset();
        model.reset();
    }

    // 200,000 hits in batches while the list is shown: the view may look at the rows it shows,
    // not at every row again and again. Every row can be reached.
    void appendingCostsTheViewNothingPerRow()
    {
        for (int b = 0; b < 50; ++b)
            append(b * 4000, 4000);
        const int rowHeight = view->visualRect(at(0)).height();
        QVERIFY2(model->rowRequests < 50L * (view->viewport()->height() / rowHeight + 2) * 8, std::to_string(model->rowRequests).c_str());
        QCOMPARE(view->verticalScrollBar()->maximum(), 200000 * rowHeight - view->viewport()->height());
        view->setFocus();
        view->setCurrentIndex(at(0));
        QTest::keyClick(view.get(), Qt::Key_End);
        QCOMPARE(view->currentIndex().row(), 199999);
        QVERIFY(inSight(199999));
        QCOMPARE(view->indexAt(view->visualRect(at(199999)).center()).row(), 199999);
    }

    // Clicks at a height in rows from the top, with Shift or Ctrl or at the right edge, and keys,
    // after a row was scrolled to the top: where the current row lands and what is selected.
    void mouseAndKeys_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("top");
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("current"); // -1 none; -2 one page below row 10
        QTest::addColumn<QString>("selected");
        QTest::newRow("shift and ctrl") << 100 << 0 << u"click 3.5 shift 6.5 ctrl 8.5"_s << 8 << u"3 4 5 6 8"_s;
        QTest::newRow("scrolled") << 1000 << 500 << u"click 1.5"_s << 501 << u"501"_s;
        QTest::newRow("far down") << 1000000 << 765432 << u"click 3.9"_s << 765435 << u"765435"_s;
        QTest::newRow("below the last") << 3 << 0 << u"click 5.5"_s << -1 << QString();
        QTest::newRow("rows span the view") << 1000 << 0 << u"edge 0.5"_s << 0 << u"0"_s;
        QTest::newRow("down") << 1000 << 0 << u"click 4.5 key Down"_s << 5 << u"5"_s;
        QTest::newRow("up at the top") << 1000 << 0 << u"click 0.5 key Up"_s << 0 << u"0"_s;
        QTest::newRow("down at the bottom") << 1000 << 0 << u"click 0.5 key End key Down"_s << 999 << u"999"_s;
        QTest::newRow("home") << 1000 << 500 << u"click 0.5 key Home"_s << 0 << u"0"_s;
        QTest::newRow("page down") << 1000 << 0 << u"click 10.5 key PgDown"_s << -2 << QString();
        QTest::newRow("page down at the end") << 1000 << 0 << u"click 0.5 key End key Up key PgDown"_s << 999 << u"999"_s;
    }
    void mouseAndKeys()
    {
        QFETCH(int, rows);
        QFETCH(int, top);
        QFETCH(QString, input);
        QFETCH(int, current);
        QFETCH(QString, selected);
        append(0, rows);
        view->setFocus();
        view->scrollTo(at(top), QAbstractItemView::PositionAtTop);
        const int rowHeight = view->visualRect(at(top)).height();
        QCOMPARE(view->visualRect(at(top)).top(), 0);
        const QStringList words = input.split(u' ');
        for (int i = 0; i + 1 < words.size(); i += 2) {
            const QString &what = words.at(i);
            const QPoint point(what == u"edge"_s ? view->viewport()->width() - 1 : 5, int(words.at(i + 1).toDouble() * rowHeight));
            const Qt::KeyboardModifiers modifiers = what == u"shift"_s ? Qt::ShiftModifier : what == u"ctrl"_s ? Qt::ControlModifier : Qt::NoModifier;
            if (what == u"key"_s)
                QTest::keyClick(view.get(), QKeySequence::fromString(words.at(i + 1))[0].key());
            else
                QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, point);
        }
        const int page = view->viewport()->height() / rowHeight - 1;
        QCOMPARE(view->currentIndex().row(), current == -2 ? 10 + page : current);
        QStringList rowsSelected;
        for (const QModelIndex &i : view->selectionModel()->selectedRows())
            rowsSelected << QString::number(i.row());
        std::sort(rowsSelected.begin(), rowsSelected.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
        QCOMPARE(rowsSelected.join(u' '), current == -2 ? QString::number(10 + page) : selected);
        QVERIFY(current == -1 || inSight(view->currentIndex().row()));
    }

    // Batches kept whole as blocks of the model or copied into it give the same paths, and
    // duplicates across blocks are found.
    void batchesKeptWholeOrCopiedGiveTheSamePaths()
    {
        int total = 0;
        for (const int count : {3, 7000, 2, 2, 9000, 1}) { // 7000 and more make a block of their own
            append(total, count, {}, true);
            total += count;
        }
        append(0, total / 2);
        QCOMPARE(model->count(), total + total / 2);
        for (int i = 0; i < model->count(); ++i)
            QCOMPARE(std::string(model->rawPath(i)), plan(i % total));
        QVERIFY(model->removeDuplicates());
        QCOMPARE(model->count(), total);
        for (int i = 0; i < total; ++i)
            QCOMPARE(std::string(model->rawPath(i)), plan(i));
    }

    // Rows are as wide as the widest one shown so far; cleared, the list starts narrow again.
    void aWideRowWidensTheView()
    {
        append(0, 50);
        append(50, 1, "/" + std::string(300, 'x'));
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
        view->scrollTo(at(50));
        QApplication::processEvents();
        QVERIFY(view->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(view->visualRect(at(0)).width(), view->visualRect(at(50)).width());
        model->clear();
        append(0, 3);
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    }
};

QTEST_MAIN(TestHitListView)
#include "tst_hitlistview.moc"
