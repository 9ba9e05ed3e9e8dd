#include "helpers/testenv.h"
#include "search/hitlistmodel.h"
#include "search/hitlistview.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

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

class TestHitListView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }

    // 200,000 hits in batches while the list is shown, every other batch handed over (a full one
    // becomes a block of the model's own, the others are copied), and the first batch once more:
    // the view may look at the rows it shows, not at every row again and again. Every row can be
    // reached and holds its path, and duplicates across blocks are found.
    void appendingCostsTheViewNothingPerRow()
    {
        CountingModel model;
        HitListView view;
        view.setModel(&model);
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const auto plan = [](int i) { return "/archiv/plan-" + std::to_string(i % 200000) + ".dwg"; };
        for (int batch = 0; batch <= 25; ++batch) {
            std::string bytes;
            std::vector<uint32_t> ends;
            for (int i = batch * 8000; i < (batch + 1) * 8000; ++i)
                ends.push_back(uint32_t((bytes += plan(i)).size()));
            bytes.shrink_to_fit();
            batch % 2 ? model.appendPacked(std::move(bytes), ends) : model.appendPacked(bytes, ends);
            QApplication::processEvents();
        }
        const int rowHeight = view.visualRect(model.index(0, 0)).height();
        QVERIFY2(model.rowRequests < 26L * (view.viewport()->height() / rowHeight + 2) * 8, std::to_string(model.rowRequests).c_str());
        QCOMPARE(view.verticalScrollBar()->maximum(), 208000 * rowHeight - view.viewport()->height());
        view.setFocus();
        view.setCurrentIndex(model.index(0, 0));
        QTest::keyClick(&view, Qt::Key_End);
        QCOMPARE(view.currentIndex().row(), 207999);
        QVERIFY(view.viewport()->rect().contains(view.visualRect(view.currentIndex())));
        QCOMPARE(view.indexAt(view.visualRect(view.currentIndex()).center()).row(), 207999);
        bool same = model.count() == 208000;
        for (int i = 0; same && i < model.count(); ++i)
            same = model.rawPath(i) == plan(i);
        QVERIFY(same && model.removeDuplicates() && model.count() == 200000);
        for (int i = 0; same && i < model.count(); ++i)
            same = model.rawPath(i) == plan(i);
        QVERIFY(same);
    }
};

QTEST_MAIN(TestHitListView)
#include "tst_hitlistview.moc"
