#include "app/clicklabel.h"
#include "app/core/nativepath.h"
#include "app/core/pathfunctions.h"
#include "app/ui.h"
#include "cipher/frm_file.h"
#include "cipher/frmmain.h"
#include "cipher/frmpass.h"
#include "search/core/hitfileops.h"
#include "search/frmsplash.h"
#include "search/hitsfixture.h"
#include "textcipher/frm_txtkrypt.h"

#include <QAccessible>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QStyle>

namespace {

// The colour behind a text that is drawn on whatever lies below its widget.
QColor behind(const QWidget *w)
{
    while (!w->autoFillBackground() && !w->isWindow())
        w = w->parentWidget();
    return w->palette().color(w->backgroundRole());
}

// The contrast of the text a widget shows to its background; 21 when it shows none.
double textContrast(const QWidget *w)
{
    const QPalette &p = w->palette();
    const auto *label = qobject_cast<const QLabel *>(w);
    const auto *group = qobject_cast<const QGroupBox *>(w);
    const bool field = qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractScrollArea *>(w);
    if (field || qobject_cast<const QPushButton *>(w) || qobject_cast<const QComboBox *>(w))
        return Ui::contrast(p.color(field ? QPalette::Text : QPalette::ButtonText), p.color(field ? QPalette::Base : QPalette::Button));
    if ((label && !label->text().isEmpty()) || (group && !group->title().isEmpty()) || qobject_cast<const QCheckBox *>(w))
        return Ui::contrast(p.color(w->foregroundRole()), behind(w));
    return 21;
}

// What a screen-reader or keyboard user would miss in a shown window: part of it off screen, a
// control without a name, a decoration announced, a picture button Tab cannot reach, a text field
// Tab cannot leave, a field that looks editable but is not, text below 4.5:1 to its background.
QStringList audit(QWidget *window)
{
    const QList<QAccessible::Role> named{QAccessible::Button, QAccessible::CheckBox, QAccessible::EditableText, QAccessible::ComboBox,
                                         QAccessible::List, QAccessible::ProgressBar, QAccessible::Graphic, QAccessible::Link};
    QStringList faults;
    if (!window->screen()->availableGeometry().contains(window->frameGeometry()))
        faults << QStringLiteral("off screen");
    for (QWidget *w : window->findChildren<QWidget *>() + QList<QWidget *>{window}) {
        if (!w->isVisible() || !w->isEnabled() || (w->isWindow() && w != window))
            continue;
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        const bool picture = qobject_cast<ClickLabel *>(w), takesTab = w->focusPolicy() & Qt::TabFocus;
        const auto fault = [&](const char *what) { faults << w->objectName() + QLatin1String(what); };
        if (!a || a->state().invisible) {
            if (!a || picture || takesTab)
                fault(" acts, but screen readers cannot see it");
            continue;
        }
        if ((named.contains(a->role()) || takesTab) && a->text(QAccessible::Name).trimmed().isEmpty())
            fault(" has no name");
        if (const auto *label = qobject_cast<QLabel *>(w); label && !picture && !label->pixmap().isNull())
            fault(" decorates, but screen readers announce it");
        // Tab passes over what lies outside the window's visible area.
        const bool inView = window->rect().contains(QRect(w->mapTo(window, QPoint()), w->size()).center());
        if (picture && ((inView && !takesTab) || (a->role() != QAccessible::Button && a->role() != QAccessible::Link)))
            fault(" is a picture button without focus");
        if (const auto *text = qobject_cast<QPlainTextEdit *>(w); text && !text->tabChangesFocus())
            fault(" keeps Tab");
        if (const auto *field = qobject_cast<QLineEdit *>(w);
            field && field->isReadOnly() && field->palette().color(QPalette::Base) != behind(w->parentWidget()))
            fault(" cannot be typed into but looks so");
        // The title "Tarvo" in the search window is a logotype, which needs no contrast.
        if (textContrast(w) < 4.5 && w->objectName() + window->objectName() != QStringLiteral("Label4Form1"))
            fault(" has too little contrast");
    }
    return faults;
}

// The widgets Tab visits from `from` until it comes round to it again.
QList<QWidget *> tabChain(QWidget *from)
{
    from->setFocus();
    QList<QWidget *> visited;
    do {
        visited << QApplication::focusWidget();
        QTest::keyClick(visited.last(), Qt::Key_Tab);
    } while (visited.size() < 60 && QApplication::focusWidget() != from);
    return visited;
}

} // namespace

// The windows as a screen reader and a keyboard user meet them, on an 800 x 600 screen.
class TestAccessibility : public QObject, HitsSession
{
    Q_OBJECT

    const QFont desktopFont = QApplication::font();

    template <typename T = QWidget> T *at(const char *name) const { return child<T>(form, name); }
    using HitsSession::click;
    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }

    // After a search, a hit clicked, delete and move switched on, the directory chooser open.
    Form1 *openSearchWindow()
    {
        startCopying({QStringLiteral("4711.dwg"), QStringLiteral("4711-b.pdf")});
        click({nameAt(0)});
        click(at("cmd_path"));
        return QTest::currentTestFailed() ? nullptr : form;
    }

private slots:
    void init() { begin(); }
    void cleanup()
    {
        end();
        QApplication::setPalette(QApplication::style()->standardPalette());
        QApplication::setFont(desktopFont);
    }

    // Every window at once, opened under the light palette or a dark one and read under the last,
    // with a larger desktop font imposed before and after they opened, which would cut their
    // texts. Widened at the right edge of the screen, windows are moved back and narrowed to it.
    // Opened under the dark palette, the file chooser shows its encrypt lists. Escape closes the
    // small windows.
    void everyWindowNamedFocusableAndReadable_data()
    {
        QTest::addColumn<QString>("palettes"); // opened under the first, read under the last
        for (const char *palettes : {"light", "dark", "light dark", "dark light"})
            QTest::newRow(palettes) << QString::fromLatin1(palettes);
    }
    void everyWindowNamedFocusableAndReadable()
    {
        QFETCH(QString, palettes);
        const QPalette light = QApplication::style()->standardPalette(), dark(QColor(53, 53, 53), QColor(53, 53, 53));
        QApplication::setPalette(palettes.startsWith(QStringLiteral("dark")) ? dark : light);
        QApplication::setFont(QFont(QStringLiteral("DejaVu Serif"), 14));
        QVERIFY(openSearchWindow());
        const int narrow = form->width(), infoNarrow = Form2::instance()->width();
        Form2::instance()->show();
        for (QWidget *window : QList<QWidget *>{form, Form2::instance()}) // to be widened at the right edge
            window->move(window->screen()->availableGeometry().right() - window->frameGeometry().width(), window->y());
        click(at("Command6")); // the notes panel
        click(child(Form2::instance(), "Label3")); // the author links
        frmMain::showWindow();
        frm_file::setMode(palettes.startsWith(QStringLiteral("dark")) ? frm_file::Mode::Encrypt : frm_file::Mode::Decrypt);
        const QList<QPointer<QWidget>> small{frmSplash::showNotice(), Form2::instance(), frm_file::showChooser(nullptr), new frmPass(frmMain::instance())};
        small.last()->show();
        frm_txtkrypt *text = frm_txtkrypt::showWindow();
        QTest::keyClicks(child(text, "txtPassword"), QStringLiteral("geheim12\r"));
        click(child(text, "img_paste")); // the paste question
        QApplication::setPalette(palettes.endsWith(QStringLiteral("dark")) ? dark : light);
        QApplication::setFont(QFont(QStringLiteral("DejaVu Serif"), 16));
        QCoreApplication::processEvents();
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (!window->isVisible())
                continue;
            const QStringList faults = audit(window);
            QVERIFY2(faults.isEmpty(), qPrintable(window->objectName() + QLatin1Char('\n') + faults.join(QLatin1Char('\n'))));
            // No window takes the desktop's font; the text cipher sets its texts in one of its own.
            QVERIFY(window->font() != QApplication::font() && (window == text || window->font() == Ui::designedFont()));
        }
        QVERIFY(form->width() > narrow && Form2::existing()->width() > infoNarrow);
        for (const QPointer<QWidget> &window : small) {
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY2(!window || !window->isVisible(), qPrintable(window ? window->objectName() : QString()));
        }
    }

    // Tab visits what can be seen, from the search field down and the exit button last: the
    // notes panel only while the window is wide, the search-path list below the start-up height
    // never. Escape closes the directory chooser, Enter opens the current hit, Space and the
    // screen reader's press press a picture button.
    void searchWindowByKeyboard()
    {
        QVERIFY(openSearchWindow());
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        at("Dir1")->setFocus();
        QTest::keyClick(at("Dir1"), Qt::Key_Escape);
        QVERIFY(!at("Frame2")->isVisible());
        QCOMPARE(QApplication::focusWidget(), at("cmd_path")); // back where it was opened
        const QList<QWidget *> narrow = tabChain(at("Combo1"));
        for (QWidget *w : narrow)
            QVERIFY2(form->rect().contains(QRect(w->mapTo(form, QPoint()), w->size()).center()), qPrintable(w->objectName()));
        QCOMPARE(narrow.mid(0, 3), (QList<QWidget *>{at("Combo1"), at("Command3"), at("List1")}));
        QCOMPARE(narrow.last(), at("Command4"));
        QTest::keyClick(at("List1"), Qt::Key_Return);
        const QString first = form->hitModel()->path(0);
        QCOMPARE(env->opened, QStringList{first});

        click(at("Command6")); // the notes panel
        const QList<QWidget *> wide = tabChain(at("Combo1"));
        QVERIFY(wide.contains(at("Text1")) && wide.contains(at("img_putlisttoinfo")) && wide.contains(at("Command7")) && !wide.contains(at("List_path")));
        at<QPlainTextEdit>("Text1")->setPlainText(QStringLiteral("Notizen"));
        QWidget *picture = at("img_putlisttoinfo");
        QTest::keyClick(picture, Qt::Key_Space);
        QAccessible::queryAccessibleInterface(picture)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(at<QPlainTextEdit>("Text1")->toPlainText(), QStringLiteral("Notizen\n%1\n%1").arg(first));
    }

    // A name that is no UTF-8 (Latin-1 from an old server, or broken) reads as Windows-1252 in
    // the hit list, the name label and the messages, while opening (also as the URL handed to
    // another program) and deleting still name the file by its exact bytes.
    void nameThatIsNoUtf8ReadsAsWindows1252()
    {
        const QByteArray bytes = "4711-\xe4nderung #1? \x80\x81 x\xe2\x82 \xc0\xaf \xed\xa0\x80 \xf0\x9f\x98\x80\xe4.dwg";
        const QString name = NativePath::decode(bytes), shown = QStringLiteral("4711-änderung #1? €\ufffd xâ‚ À¯ í\u00a0€ \U0001F600ä");
        const QByteArray path = QFile::encodeName(env->makeDir(QStringLiteral("archive"))) + '/' + bytes;
        QVERIFY(HitFileOps::copyNoOverwrite(env->writeFile(QStringLiteral("seed"), "x"), NativePath::decode(path)));
        QVERIFY(openSearchWindow());
        form->lbl_exit_Click();
        QCOMPARE(form->hitModel()->index(int(SearchFixture::hits(form).indexOf(hit(name)))).data().toString(), hit(shown + QStringLiteral(".dwg")));
        click({name});
        QCOMPARE(at<QLabel>("Label8")->text(), shown);
        QTest::mouseDClick(at<QListView>("List1")->viewport(), Qt::LeftButton, {}, rowCenter(name));
        QCOMPARE(env->opened, QStringList{hit(name)});
        const QByteArray url = NativePath::fileUrl(hit(name)).toEncoded();
        QVERIFY(!url.contains('#') && !url.contains('?') && QByteArray::fromPercentEncoding(url.mid(7)) == path);
        click(at("Command5"));
        QCOMPARE(env->messageTexts().last(), QStringLiteral("Datei %1.dwg wurde gelöscht").arg(hit(shown)));
        QVERIFY(!FileExists(hit(name)));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
