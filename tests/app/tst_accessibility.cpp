#include "app/clicklabel.h"
#include "app/core/nativepath.h"
#include "app/core/pathfunctions.h"
#include "app/core/settings.h"
#include "app/ui.h"
#include "app/dirlistbox.h"
#include "cipher/frm_file.h"
#include "cipher/frmmain.h"
#include "cipher/frmpass.h"
#include "search/hitsfixture.h"
#include "search/form1.h"
#include "search/frmsplash.h"
#include "search/core/hitfileops.h"
#include "search/hitlistmodel.h"
#include "textcipher/frm_txtkrypt.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include <memory>
#include <optional>

namespace {

QPalette lightPalette()
{
    return QApplication::style()->standardPalette();
}

// The usual dark scheme of the Fusion style.
QPalette darkPalette()
{
    const QColor window(53, 53, 53), base(35, 35, 35), blue(42, 130, 218), white(Qt::white);
    QPalette p;
    const std::pair<QPalette::ColorRole, QColor> colours[] = {
        {QPalette::Window, window}, {QPalette::WindowText, white}, {QPalette::Base, base},
        {QPalette::AlternateBase, window}, {QPalette::ToolTipBase, base}, {QPalette::ToolTipText, white},
        {QPalette::PlaceholderText, QColor(160, 160, 160)}, {QPalette::Text, white}, {QPalette::Button, window},
        {QPalette::ButtonText, white}, {QPalette::BrightText, Qt::red}, {QPalette::Link, blue},
        {QPalette::Highlight, blue}, {QPalette::HighlightedText, Qt::black}};
    for (const auto &[role, colour] : colours)
        p.setColor(role, colour);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    return p;
}

QString where(const QWidget *w)
{
    QStringList names;
    for (const QWidget *at = w; at; at = at->isWindow() ? nullptr : at->parentWidget())
        names.prepend(at->objectName().isEmpty()
                          ? QString::fromLatin1(at->metaObject()->className())
                          : at->objectName());
    return names.join(QLatin1Char('/'));
}

// The colour behind a text that is drawn on whatever lies below its widget.
QColor behind(const QWidget *w)
{
    while (!w->autoFillBackground() && !w->isWindow())
        w = w->parentWidget();
    return w->palette().color(w->backgroundRole());
}

struct TextColors
{
    QColor text, background;
};

// The colours a widget draws its text in, or nothing when it shows no text.
std::optional<TextColors> textColors(const QWidget *w)
{
    const QPalette &p = w->palette();
    if (const auto *label = qobject_cast<const QLabel *>(w))
        return label->text().isEmpty()
                   ? std::nullopt
                   : std::optional(TextColors{p.color(w->foregroundRole()), behind(w)});
    if (qobject_cast<const QCheckBox *>(w))
        return TextColors{p.color(QPalette::WindowText), behind(w)};
    if (const auto *button = qobject_cast<const QPushButton *>(w))
        return button->text().isEmpty() ? std::nullopt
                                        : std::optional(TextColors{p.color(QPalette::ButtonText),
                                                                   p.color(QPalette::Button)});
    if (const auto *group = qobject_cast<const QGroupBox *>(w))
        return group->title().isEmpty()
                   ? std::nullopt
                   : std::optional(TextColors{p.color(QPalette::WindowText), behind(w)});
    if (const auto *combo = qobject_cast<const QComboBox *>(w); combo && !combo->isEditable())
        return TextColors{p.color(QPalette::ButtonText), p.color(QPalette::Button)};
    if (qobject_cast<const QLineEdit *>(w) || qobject_cast<const QPlainTextEdit *>(w)
        || qobject_cast<const QAbstractItemView *>(w))
        return TextColors{p.color(QPalette::Text), p.color(QPalette::Base)};
    return std::nullopt;
}

// The widgets Tab visits from the focused one until it comes round to it again or reaches `until`.
QList<QWidget *> tabChain(const QWidget *until = nullptr)
{
    QWidget *start = QApplication::focusWidget();
    QList<QWidget *> visited;
    while (visited.size() < 60 && QApplication::focusWidget() != until && (visited.isEmpty() || QApplication::focusWidget() != start)) {
        visited << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return visited;
}

// Roles a screen reader announces by name.
bool isNamedRole(QAccessible::Role role)
{
    static const QList<QAccessible::Role> named{
        QAccessible::Button,      QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::EditableText,
        QAccessible::ComboBox,    QAccessible::List,     QAccessible::Table,       QAccessible::Tree,
        QAccessible::ProgressBar, QAccessible::Graphic,  QAccessible::Link,        QAccessible::Slider,
        QAccessible::SpinBox};
    return named.contains(role);
}

// What a screen-reader or keyboard user would miss in a shown window: controls without a name,
// picture buttons Tab cannot reach, text that does not reach 4.5:1 against its background.
QStringList audit(QWidget *window)
{
    QStringList faults;
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : std::as_const(widgets)) {
        if (!w->isVisible() || !w->isEnabled() || (w->isWindow() && w != window))
            continue;
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        const auto *picture = qobject_cast<ClickLabel *>(w);
        if (!a) {
            faults << where(w) + QStringLiteral(": no accessible interface");
            continue;
        }
        if (a->state().invisible) {
            if (picture || (w->focusPolicy() & Qt::TabFocus))
                faults << where(w) + QStringLiteral(": acts, but is hidden from screen readers");
            continue;
        }
        if ((isNamedRole(a->role()) || (w->focusPolicy() & Qt::TabFocus))
            && a->text(QAccessible::Name).trimmed().isEmpty())
            faults << where(w) + QStringLiteral(": no name");
        // Tab passes over what lies outside the window's visible area.
        const bool inView =
            window->rect().contains(QRect(w->mapTo(window, QPoint()), w->size()).center());
        if (picture
            && ((inView && !(w->focusPolicy() & Qt::TabFocus))
                || (a->role() != QAccessible::Button && a->role() != QAccessible::Link)))
            faults << where(w) + QStringLiteral(": picture button without focus");
        // The title "Tarvo" is the program's name set as a logotype, which needs no contrast.
        if (w->objectName() == QStringLiteral("Label4")
            && window->objectName() == QStringLiteral("Form1"))
            continue;
        if (const auto colors = textColors(w)) {
            const double ratio = Ui::contrast(colors->text, colors->background);
            if (ratio < 4.5)
                faults << QStringLiteral("%1: contrast %2:1 (%3 on %4)")
                              .arg(where(w))
                              .arg(ratio, 0, 'f', 2)
                              .arg(colors->text.name(), colors->background.name());
        }
    }
    return faults;
}

} // namespace

// Every window of the program, opened as the user meets it, read as a screen reader and a
// keyboard user meet it, under a light and a dark desktop palette. This test runs on the
// offscreen platform's 800 x 600 screen: the 1600-pixel screen at a scale of 2.
class TestAccessibility : public QObject, HitsSession
{
    Q_OBJECT

    const QFont desktopFont = QApplication::font();

    using HitsSession::click;
    void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }

    // The search window after a search, a hit clicked, delete and move switched on, with the
    // copy frame and the directory chooser open.
    Form1 *openSearchWindow()
    {
        startCopying({QStringLiteral("4711.dwg"), QStringLiteral("4711-b.pdf")});
        click({nameAt(0)});
        click(child<QPushButton>(form, "cmd_path"));
        return QTest::currentTestFailed() ? nullptr : form;
    }

    QWidget *open(const QString &window)
    {
        if (window == QStringLiteral("search"))
            return openSearchWindow();
        if (window == QStringLiteral("notice"))
            return frmSplash::showNotice();
        if (window == QStringLiteral("info")) {
            Form2 *info = Form2::instance();
            info->show();
            click(child<ClickLabel>(info, "Label3")); // the author links
            return info;
        }
        if (window == QStringLiteral("cipher")) {
            frmMain::showWindow();
            frmMain *cipher = frmMain::existing();
            // The status line as an operation leaves it, "Datei Anzeigen" as after a decryption.
            child<QLabel>(cipher, "lblstatus")->setText(QStringLiteral("encoded"));
            child<QPushButton>(cipher, "cmd_Anz")->show();
            return cipher;
        }
        if (window.startsWith(QStringLiteral("chooser"))) {
            frm_file::setMode(window.endsWith(QStringLiteral("decrypt")) ? frm_file::Mode::Decrypt
                                                                         : frm_file::Mode::Encrypt);
            frm_file::showChooser(nullptr);
            return frm_file::existing();
        }
        if (window == QStringLiteral("prompt")) {
            auto *prompt = new frmPass(frmMain::instance()); // goes with its owner
            prompt->show();
            return prompt;
        }
        frm_txtkrypt *text = frm_txtkrypt::showWindow();
        QTest::keyClicks(text->findChild<QLineEdit *>(QStringLiteral("txtPassword")),
                         QStringLiteral("geheim12\r"));
        click(text->findChild<QWidget *>(QStringLiteral("img_paste"))); // the paste question
        return text;
    }

private slots:
    void init() { begin(); }
    void cleanup()
    {
        end();
        QApplication::setPalette(lightPalette());
        QApplication::setFont(desktopFont);
    }

    // Each window under a light and a dark palette, and switched while it is open, with a larger
    // application font imposed before and after it opened, which cannot cut its texts: it keeps
    // the font its texts are laid out for. The names are those a screen reader announces for the
    // controls that had no name or a misleading one; "-" marks a decoration it passes over.
    void everyWindowNamedFocusableAndReadable_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("palettes"); // opened under the first, read under the last
        QTest::addColumn<QString>("names");    // object=name, separated by "|"
        const std::pair<const char *, const char *> windows[] = {
            {"search", "Combo1=Dokumentenbezeichnung|cmdStop=Suche anhalten|Command2=INFO|"
                       "Command4=Programm beenden|img_putlisttoinfo=Markierung in die Liste kopieren|"
                       "List1=Trefferliste|List_path=aktuelle Suchpfade:|Text1=Notizen|"
                       "Text2=Zielverzeichnis|Drive1=Laufwerk|Dir1=Verzeichnis festlegen :|"
                       "lbl_exit=Schließen|Frame2=Verzeichnis einstellen|logo=-|Line1=-"},
            {"notice", ""},
            {"info", "lbl_Click=Dateiverschlüsselung|Text1=Details:|Image5=-|Image4=-|Image1=-"},
            {"cipher", "img_file=Datei verschlüsseln|img_decfile=Datei entschlüsseln|"
                       "txtEnc=Datei zum Verschlüsseln|txtDec=Datei zum Entschlüsseln|PBar=Fortschritt"},
            {"chooser decrypt", "Drive_encode=Laufwerk|Dir_encode=Verzeichnis|File_decode=Datei zum Entschlüsseln"},
            {"chooser encrypt", ""},
            {"prompt", "txtPass=password:|img_do=Action|img_exit=EXIT"},
            {"text cipher", "txtPassword=password:|txtToEncode=text|img_clip=copy to clipboard|"
                            "img_paste=paste from clipboard|img_clear=clear|img_exit=EXIT|Line1=-"}};
        for (const auto &[window, names] : windows) {
            for (const char *palettes : {"light", "dark", "light dark"})
                QTest::addRow("%s, %s", window, palettes)
                    << QString::fromLatin1(window) << QString::fromLatin1(palettes) << QString::fromUtf8(names);
        }
    }
    void everyWindowNamedFocusableAndReadable()
    {
        QFETCH(QString, window);
        QFETCH(QString, palettes);
        QFETCH(QString, names);
        const QStringList order = palettes.split(QLatin1Char(' '));
        const auto paletteOf = [](const QString &name) {
            return name == QStringLiteral("dark") ? darkPalette() : lightPalette();
        };
        QApplication::setPalette(paletteOf(order.first()));
        QApplication::setFont(QFont(QStringLiteral("DejaVu Serif"), 14));
        QWidget *shown = open(window);
        QVERIFY(shown && shown->isVisible());
        const QFont designed = shown->font();
        if (order.size() > 1) // the desktop switches while the window is open
            QApplication::setPalette(paletteOf(order.last()));
        QApplication::setFont(QFont(QStringLiteral("DejaVu Serif"), 16));
        QCoreApplication::processEvents();
        const QStringList faults = audit(shown);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        QCOMPARE(shown->font(), designed);
        if (window != QStringLiteral("text cipher")) // its texts are set in a font of their own
            QCOMPARE(designed, Ui::designedFont());
        for (const QString &pair : names.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
            QWidget *w = shown->findChild<QWidget *>(pair.section(QLatin1Char('='), 0, 0));
            QVERIFY2(w, qPrintable(pair));
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            QCOMPARE(w->objectName() + QLatin1Char('=') + (a->state().invisible ? QStringLiteral("-") : a->text(QAccessible::Name)), pair);
        }
    }

    // Space and Enter press a picture button, as a click (or a double-click, where the mouse
    // acts on double-clicks only); other keys and chords do not. The accessible press does too.
    void pictureButtonKeys_data()
    {
        QTest::addColumn<bool>("onDoubleClick");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("presses");
        for (const bool twice : {false, true}) {
            const char *kind = twice ? "double-click spot" : "button";
            QTest::addRow("%s, space", kind) << twice << int(Qt::Key_Space) << 0 << true;
            QTest::addRow("%s, return", kind) << twice << int(Qt::Key_Return) << 0 << true;
            QTest::addRow("%s, keypad enter", kind)
                << twice << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
            QTest::addRow("%s, letter", kind) << twice << int(Qt::Key_A) << 0 << false;
            QTest::addRow("%s, ctrl+space", kind)
                << twice << int(Qt::Key_Space) << int(Qt::ControlModifier) << false;
        }
    }
    void pictureButtonKeys()
    {
        QFETCH(bool, onDoubleClick);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, presses);
        QWidget window;
        auto *picture = new ClickLabel(&window);
        picture->setToolTip(QStringLiteral("Datei verschlüsseln"));
        picture->makeButton(onDoubleClick ? ClickLabel::KeyAction::DoubleClick
                                          : ClickLabel::KeyAction::Click);
        QSignalSpy clicked(picture, &ClickLabel::clicked),
            doubleClicked(picture, &ClickLabel::doubleClicked);
        QSignalSpy &acted = onDoubleClick ? doubleClicked : clicked;
        QTest::keyClick(picture, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(clicked.count() + doubleClicked.count(), presses ? 1 : 0);
        QCOMPARE(acted.count(), presses ? 1 : 0);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(picture);
        QCOMPARE(a->role(), QAccessible::Button);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Datei verschlüsseln"));
        QVERIFY(picture->focusPolicy() & Qt::TabFocus);
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(acted.count(), presses ? 2 : 1);
    }

    // Escape closes the small windows and the chooser, each as its own way out does.
    void escapeCloses_data()
    {
        QTest::addColumn<QString>("what");
        for (const char *what : {"notice, search field focused", "notice focused", "info",
                                 "directory chooser", "file chooser"})
            QTest::newRow(what) << QString::fromLatin1(what);
    }
    void escapeCloses()
    {
        QFETCH(QString, what);
        QWidget *focused = nullptr;
        if (what.startsWith(QStringLiteral("notice"))) {
            env->writeFile(QStringLiteral("program/suchpfad.txt"));
            form = Form1::instance();
            form->show();
            QVERIFY(QTest::qWaitForWindowActive(form));
            // The window opens on the search field.
            QCOMPARE(QApplication::focusWidget(), child<QComboBox>(form, "Combo1"));
            click(child<QPushButton>(form, "Command3")); // no search path: no hit
            QTRY_VERIFY(frmSplash::existing());
            focused =
                what.endsWith(QStringLiteral("focused")) && !what.contains(QStringLiteral("field"))
                    ? static_cast<QWidget *>(frmSplash::existing())
                    : child<QComboBox>(form, "Combo1");
        } else if (what == QStringLiteral("info")) {
            env->writeFile(QStringLiteral("program/suchpfad.txt"), "/old\r\n");
            form = Form1::instance();
            Form2::instance()->show();
            env->writeFile(QStringLiteral("program/suchpfad.txt"), "/new\r\n"); // reread on closing
            focused = child<QPlainTextEdit>(Form2::existing(), "Text1");
        } else if (what == QStringLiteral("directory chooser")) {
            openSearchWindow();
            child<QLineEdit>(form, "Text2")->setText(QStringLiteral("/kept/"));
            focused = child<DirListBox>(form, "Dir1");
        } else {
            frm_file::showChooser(nullptr);
            focused = child<DirListBox>(frm_file::existing(), "Dir_encode");
        }
        QVERIFY(QTest::qWaitForWindowExposed(focused->window()));
        focused->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(focused->window()));
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (what.startsWith(QStringLiteral("notice"))) {
            QVERIFY(!frmSplash::existing());
        } else if (what == QStringLiteral("info")) {
            QVERIFY(!Form2::existing() || !Form2::existing()->isVisible());
            QCOMPARE(form->searchPaths(), QStringList{QStringLiteral("/new")});
        } else if (what == QStringLiteral("directory chooser")) {
            QVERIFY(!child<QFrame>(form, "Frame2")->isVisible() && form->isVisible());
            QCOMPARE(child<QLineEdit>(form, "Text2")->text(), QStringLiteral("/kept/"));
            QCOMPARE(QApplication::focusWidget(), child<QPushButton>(form, "cmd_path")); // back where it was opened
        } else {
            QVERIFY(!frm_file::existing());
            QCOMPARE(env->messageTexts(),
                     QStringList{QStringLiteral("Es wurde keine Datei ausgewählt !")});
        }
    }

    // Tab visits what can be seen, from the search field down and the exit button last: the
    // notes panel only while the window is wide, the search-path list below the start-up height
    // never. Enter opens the current hit, Space on the picture button copies the selection into
    // the notes, and Tab leaves the notes.
    void searchWindowByKeyboard()
    {
        QVERIFY(openSearchWindow());
        form->lbl_exit_Click();
        const QString first = form->hitModel()->path(0);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        child<QComboBox>(form, "Combo1")->setFocus();
        const QList<QWidget *> narrow = tabChain();
        for (QWidget *w : narrow)
            QVERIFY2(form->rect().contains(QRect(w->mapTo(form, QPoint()), w->size()).center()),
                     qPrintable(where(w)));
        QVERIFY(narrow.contains(child<QListView>(form, "List1")) && narrow.contains(child<ClickLabel>(form, "Label8"))
                && narrow.contains(child<QPushButton>(form, "Command2")));
        const QList<QWidget *> topDown{child<QComboBox>(form, "Combo1"), child<QPushButton>(form, "Command3"), child<QListView>(form, "List1")};
        QCOMPARE(narrow.mid(0, 3), topDown);
        QCOMPARE(narrow.last(), child<QPushButton>(form, "Command4"));

        env->opened.clear();
        child<QListView>(form, "List1")->setFocus();
        QTest::keyClick(child<QListView>(form, "List1"), Qt::Key_Return);
        QCOMPARE(env->opened, QStringList{first});

        QTest::mouseClick(child<QPushButton>(form, "Command6"), Qt::LeftButton); // the notes panel
        child<QComboBox>(form, "Combo1")->setFocus();
        const QList<QWidget *> wide = tabChain();
        QVERIFY(wide.contains(child<QPlainTextEdit>(form, "Text1")) && wide.contains(child<ClickLabel>(form, "img_putlisttoinfo"))
                && wide.contains(child<QPushButton>(form, "Command7")));
        QVERIFY(!wide.contains(child<QListWidget>(form, "List_path")));

        child<QPlainTextEdit>(form, "Text1")->setPlainText(QStringLiteral("Notizen"));
        child<ClickLabel>(form, "img_putlisttoinfo")->setFocus();
        QTest::keyClick(child<ClickLabel>(form, "img_putlisttoinfo"), Qt::Key_Space);
        QCOMPARE(child<QPlainTextEdit>(form, "Text1")->toPlainText(), QStringLiteral("Notizen\n") + first);
        child<QPlainTextEdit>(form, "Text1")->setFocus();
        QTest::keyClick(child<QPlainTextEdit>(form, "Text1"), Qt::Key_Tab);
        QVERIFY(!child<QPlainTextEdit>(form, "Text1")->hasFocus());
        QVERIFY(!child<QPlainTextEdit>(form, "Text1")->toPlainText().contains(QLatin1Char('\t')));
    }

    // Widened past its screen, the window is moved back and, being wider than the screen,
    // narrowed to it; narrowing again gives the designed narrow width.
    void widenedWindowStaysOnScreen_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("notes button") << QStringLiteral("notes button");
        QTest::newRow("name label") << QStringLiteral("name label");
        QTest::newRow("info author") << QStringLiteral("info author");
    }
    void widenedWindowStaysOnScreen()
    {
        QFETCH(QString, how);
        QVERIFY(openSearchWindow());
        QWidget *window = form;
        const QRect screen = form->screen()->availableGeometry();
        if (how == QStringLiteral("info author")) {
            window = Form2::instance();
            window->show();
        }
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // At the right edge of the screen.
        window->move(screen.right() - window->frameGeometry().width(), window->y());
        if (how == QStringLiteral("notes button"))
            click(child<QPushButton>(form, "Command6"));
        else if (how == QStringLiteral("name label"))
            QTest::mouseDClick(child<ClickLabel>(form, "Label8"), Qt::LeftButton);
        else
            click(child<ClickLabel>(Form2::existing(), "Label3"));
        const QRect frame = window->frameGeometry();
        QVERIFY2(screen.contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
        if (window == form) {
            QCOMPARE(form->frameGeometry().width(), screen.width()); // 822 and 821 are wider
            click(child<QPushButton>(form, "Command6"));
            QCOMPARE(form->width(), 649);
        } else {
            QCOMPARE(window->width(), 428);
        }
    }

    // The cipher window's path fields read as fields the program fills: the window's background,
    // no typing, the path still selectable to copy.
    void readOnlyPathFields_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void readOnlyPathFields()
    {
        QFETCH(bool, dark);
        QApplication::setPalette(dark ? darkPalette() : lightPalette());
        frmMain::showWindow();
        frmMain *cipher = frmMain::existing();
        QVERIFY(QTest::qWaitForWindowActive(cipher));
        QCOMPARE(QApplication::focusWidget(), child<ClickLabel>(cipher, "img_file")); // opens on the encrypt picture
        for (QLineEdit *field : {child<QLineEdit>(cipher, "txtEnc"), child<QLineEdit>(cipher, "txtDec")}) {
            field->setText(QStringLiteral("/archiv/plan.dwg"));
            QCOMPARE(field->palette().color(QPalette::Base), behind(field->parentWidget()));
            QVERIFY(field->palette().color(QPalette::Base)
                    != QApplication::palette().color(QPalette::Base));
            QVERIFY(field->isReadOnly() && (field->focusPolicy() & Qt::TabFocus));
            field->setFocus();
            QTest::keyClicks(field, QStringLiteral("x"));
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(field->text(), QStringLiteral("/archiv/plan.dwg"));
            QCOMPARE(field->selectedText(), field->text());
        }
        QApplication::setPalette(dark ? lightPalette() : darkPalette()); // the desktop switches
        QCOMPARE(child<QLineEdit>(cipher, "txtEnc")->palette().color(QPalette::Base),
                 behind(child<QLineEdit>(cipher, "txtEnc")->parentWidget()));
    }

    // A name that is no UTF-8 (Latin-1 from an old server) reads as Windows-1252 in the hit list,
    // the name label, the notes and the messages, while opening, copying and deleting still name
    // the file by its exact bytes.
    void nameThatIsNoUtf8ReadsAsWindows1252()
    {
        const QByteArray bytes = QFile::encodeName(env->makeDir(QStringLiteral("archive"))) + "/4711-\xe4nderung \x80.dwg";
        const QString exact = NativePath::decode(bytes);
        QVERIFY(HitFileOps::copyNoOverwrite(env->writeFile(QStringLiteral("seed"), "x"), exact)); // by its bytes, as Tarvo copies
        QVERIFY(openSearchWindow());
        form->lbl_exit_Click();
        const QModelIndex index = form->hitModel()->index(int(SearchFixture::hits(form).indexOf(exact)));
        QVERIFY(index.isValid());
        const QString shown = archive + QStringLiteral("/4711-\u00e4nderung \u20ac.dwg");
        QCOMPARE(index.data().toString(), shown);
        const QPoint at = child<QListView>(form, "List1")->visualRect(index).center();
        QTest::mouseClick(child<QListView>(form, "List1")->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(form->currentHitPath(), exact);
        QCOMPARE(child<ClickLabel>(form, "Label8")->text(), QStringLiteral("4711-\u00e4nderung \u20ac"));
        QTest::mouseDClick(child<QListView>(form, "List1")->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(env->opened, QStringList{exact});
        QTest::mouseDClick(child<ClickLabel>(form, "Label8"), Qt::LeftButton);
        QVERIFY(child<QPlainTextEdit>(form, "Text1")->toPlainText().endsWith(QStringLiteral("\n4711-\u00e4nderung \u20ac")));
        child<QLineEdit>(form, "Text2")->setText(target);
        click(child<QPushButton>(form, "Command8"));
        const QString copy = target + exact.mid(exact.lastIndexOf(QLatin1Char('/')));
        QVERIFY(FileExists(copy));
        click(child<QPushButton>(form, "Command5"));
        QCOMPARE(env->messageTexts().last(), QStringLiteral("Datei ") + shown + QStringLiteral(" wurde gelöscht"));
        QVERIFY(!FileExists(exact));
        QVERIFY(HitFileOps::removeFile(copy)); // the temporary folder's cleanup cannot name it
    }

    // A keyboard way into the file cipher: the window opens on its help text, Tab leaves that
    // and reaches the spot next to the title last; Enter there opens the cipher window and closes
    // the info window, as a double-click does.
    void cipherWindowFromTheInfoWindowByKeyboard()
    {
        Form2 *info = Form2::instance();
        info->show();
        info->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(info));
        QCOMPARE(QApplication::focusWidget(), child<QPlainTextEdit>(info, "Text1"));
        QCOMPARE(tabChain(child<ClickLabel>(info, "lbl_Click")).size(), 6); // help text, copy option, both buttons, the author, "ok"
        QVERIFY(!child<QPlainTextEdit>(info, "Text1")->toPlainText().contains(QLatin1Char('\t')));
        QTest::keyClick(child<ClickLabel>(info, "lbl_Click"), Qt::Key_Return);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(frmMain::existing() && frmMain::existing()->isVisible());
        QVERIFY(!Form2::existing());
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
