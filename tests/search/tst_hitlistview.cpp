// The hit list's view, driven by mouse and keys: rows where their number puts them, and
// batches of hits appended without the view touching every row.
#include "helpers/testenv.h"
#include "search/hitlistmodel.h"
#include "search/hitlistview.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

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

// Appends plans first to first + count - 1 as one batch; handed over, a batch that fills its
// buffer becomes a block of the model's own, else the model copies it.
void appendRows(HitListModel &model, int first, int count, const std::string &tail = {}, bool handOver = false)
{
    std::string bytes;
    std::vector<uint32_t> ends;
    for (int i = first; i < first + count; ++i) {
        bytes += plan(i) + tail;
        ends.push_back(uint32_t(bytes.size()));
    }
    bytes.shrink_to_fit();
    if (handOver)
        model.appendPacked(std::move(bytes), ends);
    else
        model.appendPacked(bytes, ends);
}

} // namespace

class TestHitListView : public QObject
{
    Q_OBJECT

    std::unique_ptr<CountingModel> model;
    std::unique_ptr<HitListView> view;

    int rowOf(const QPoint &p) const { return view->indexAt(p).isValid() ? view->indexAt(p).row() : -1; }
    QPoint centreOf(int row) const { return view->visualRect(model->index(row, 0)).center(); }

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

    void appendingCostsTheViewNothingPerRow()
    {
        // 200,000 hits in batches while the list is shown: the view may look at the rows it
        // shows, not at every row again and again.
        const int batches = 50;
        const int perBatch = 4000;
        for (int b = 0; b < batches; ++b) {
            appendRows(*model, b * perBatch, perBatch);
            QApplication::processEvents();
        }
        QApplication::processEvents();
        const int visible = view->viewport()->height() / view->visualRect(model->index(0, 0)).height() + 2;
        QVERIFY2(model->rowRequests < long(batches) * visible * 8, std::to_string(model->rowRequests).c_str());

        // Every row can be reached.
        const int h = view->visualRect(model->index(0, 0)).height();
        QCOMPARE(view->verticalScrollBar()->maximum(), batches * perBatch * h - view->viewport()->height());
        view->setFocus();
        view->setCurrentIndex(model->index(0, 0));
        QTest::keyClick(view.get(), Qt::Key_End);
        QCOMPARE(view->currentIndex().row(), batches * perBatch - 1);
        QVERIFY(view->viewport()->rect().contains(view->visualRect(view->currentIndex())));
        QCOMPARE(rowOf(centreOf(batches * perBatch - 1)), batches * perBatch - 1);
    }

    void rowsLieWhereTheirNumberPutsThem_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("scrollTo"); // row scrolled to the top first
        QTest::addColumn<int>("x");
        QTest::addColumn<double>("y");     // in rows from the top of the view
        QTest::addColumn<int>("row");      // at the point; -1 none
        QTest::newRow("first row") << 1000 << 0 << 5 << 0.1 << 0;
        QTest::newRow("third row") << 1000 << 0 << 5 << 2.5 << 2;
        QTest::newRow("scrolled") << 1000 << 500 << 5 << 1.5 << 501;
        QTest::newRow("far down") << 1000000 << 765432 << 5 << 3.9 << 765435;
        QTest::newRow("below the last") << 3 << 0 << 5 << 5.5 << -1;
        QTest::newRow("rows span the view") << 1000 << 0 << -1 << 0.5 << 0; // x -1: the view's right edge
    }
    void rowsLieWhereTheirNumberPutsThem()
    {
        QFETCH(int, rows);
        QFETCH(int, scrollTo);
        QFETCH(int, x);
        QFETCH(double, y);
        QFETCH(int, row);
        for (int first = 0; first < rows; first += 100000)
            appendRows(*model, first, std::min(100000, rows - first));
        QApplication::processEvents();
        view->scrollTo(model->index(scrollTo, 0), QAbstractItemView::PositionAtTop);
        const QRect top = view->visualRect(model->index(scrollTo, 0));
        QCOMPARE(top.top(), 0);
        QCOMPARE(view->visualRect(model->index(std::min(scrollTo + 3, rows - 1), 0)).top(), std::min(3, rows - 1 - scrollTo) * top.height());
        const QPoint point(x < 0 ? view->viewport()->width() - 1 : x, int(y * top.height()));
        QCOMPARE(rowOf(point), row);
        if (row >= 0)
            QVERIFY(view->visualRect(model->index(row, 0)).contains(point));
    }

    void keysMoveTheCurrentRow_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to"); // -2: one page down from `from`
        QTest::newRow("down") << 4 << int(Qt::Key_Down) << 5;
        QTest::newRow("up") << 4 << int(Qt::Key_Up) << 3;
        QTest::newRow("up at the top") << 0 << int(Qt::Key_Up) << 0;
        QTest::newRow("down at the bottom") << 999 << int(Qt::Key_Down) << 999;
        QTest::newRow("home") << 500 << int(Qt::Key_Home) << 0;
        QTest::newRow("end") << 3 << int(Qt::Key_End) << 999;
        QTest::newRow("page down") << 10 << int(Qt::Key_PageDown) << -2;
        QTest::newRow("page down at the end") << 995 << int(Qt::Key_PageDown) << 999;
    }
    void keysMoveTheCurrentRow()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        appendRows(*model, 0, 1000);
        view->setFocus();
        view->setCurrentIndex(model->index(from, 0));
        QTest::keyClick(view.get(), Qt::Key(key));
        const int page = view->viewport()->height() / view->visualRect(model->index(0, 0)).height() - 1;
        QCOMPARE(view->currentIndex().row(), to == -2 ? from + page : to);
        QVERIFY(view->viewport()->rect().contains(view->visualRect(view->currentIndex())));
        QVERIFY(view->selectionModel()->isSelected(view->currentIndex()));
    }

    void mouseSelects()
    {
        appendRows(*model, 0, 100);
        QApplication::processEvents();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(3));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, centreOf(6));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(8));
        QList<int> rows;
        for (const QModelIndex &i : view->selectionModel()->selectedRows())
            rows << i.row();
        std::sort(rows.begin(), rows.end());
        QCOMPARE(rows, (QList<int>{3, 4, 5, 6, 8}));
        QCOMPARE(view->currentIndex().row(), 8);
    }

    void batchesKeptWholeOrCopiedGiveTheSamePaths_data()
    {
        QTest::addColumn<QList<int>>("batches"); // hits per batch; 7000 and more make a block of their own
        QTest::newRow("small ones") << QList<int>{1, 7, 300};
        QTest::newRow("large ones") << QList<int>{7000, 8000};
        QTest::newRow("small between large") << QList<int>{3, 7000, 2, 2, 9000, 1};
    }
    void batchesKeptWholeOrCopiedGiveTheSamePaths()
    {
        QFETCH(QList<int>, batches);
        int total = 0;
        for (int count : batches) {
            appendRows(*model, total, count, {}, true);
            total += count;
        }
        appendRows(*model, 0, total / 2); // the first half again: duplicates across blocks are found as well
        QCOMPARE(model->count(), total + total / 2);
        for (int i = 0; i < model->count(); ++i)
            QCOMPARE(std::string(model->rawPath(i)), plan(i % total));
        QVERIFY(model->removeDuplicates());
        QCOMPARE(model->count(), total);
        for (int i = 0; i < total; ++i)
            QCOMPARE(std::string(model->rawPath(i)), plan(i));
    }

    void aWideRowWidensTheView()
    {
        appendRows(*model, 0, 50);
        appendRows(*model, 50, 1, "/" + std::string(300, 'x'));
        QApplication::processEvents();
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
        view->scrollTo(model->index(50, 0));
        QApplication::processEvents();
        QVERIFY(view->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(view->visualRect(model->index(0, 0)).width(), view->visualRect(model->index(50, 0)).width());

        // Cleared, the list starts narrow again.
        model->clear();
        appendRows(*model, 0, 3);
        QApplication::processEvents();
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    }
};

QTEST_MAIN(TestHitListView)
#include "tst_hitlistview.moc"
