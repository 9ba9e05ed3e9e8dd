#include "app/ui.h"
#include "helpers/testenv.h"
#include "textcipher/frm_txtkrypt.h"
#include "textcipher/hexdump.h"
#include "textcipher/textcipher.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTest>

namespace {

// Widths the window takes while it is built and unfolded.
class WidthRecorder : public QObject
{
public:
    QList<int> widths;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && watched->objectName() == QStringLiteral("frm_txtkrypt"))
            widths.append(static_cast<QResizeEvent *>(event)->size().width());
        return false;
    }
};

void discardClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestFrmTxtKrypt : public QObject
{
    Q_OBJECT

    frm_txtkrypt *w = nullptr;

    template <typename T>
    T *find(const char *name)
    {
        T *child = w->findChild<T *>(QString::fromLatin1(name));
        if (!child)
            qFatal("control %s missing", name);
        return child;
    }
    QLineEdit *password() { return find<QLineEdit>("txtPassword"); }
    QPlainTextEdit *box() { return find<QPlainTextEdit>("txtToEncode"); }
    QString status() { return find<QLabel>("lblstatus")->text(); }
    QPushButton *encodeButton() { return find<QPushButton>("cmdEncode"); }
    QPushButton *decodeButton() { return find<QPushButton>("cmdDecode"); }
    void click(const char *name) { QTest::mouseClick(find<QWidget>(name), Qt::LeftButton); }

    // Types the password and confirms it, which opens the working area.
    void enterPassword(const QString &text)
    {
        QTest::keyClicks(password(), text);
        QTest::keyClick(password(), Qt::Key_Return);
    }
    // Types text key by key; a line feed is the Enter key.
    void typeIntoBox(const QString &text)
    {
        box()->setFocus();
        for (QChar c : text) {
            if (c == u'\n')
                QTest::keyClick(box(), Qt::Key_Return);
            else
                QTest::sendKeyEvent(QTest::Click, box(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    // The offscreen platform cannot raise a window and says so.
    void ignoreRaiseWarning()
    {
        if (QGuiApplication::platformName() == QStringLiteral("offscreen"))
            QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
    }

private slots:
    void initTestCase() { tarvoTestProcessSetup(); }

    void init()
    {
        ignoreRaiseWarning();
        w = frm_txtkrypt::showWindow();
        QVERIFY(w);
    }

    void cleanup()
    {
        if (frm_txtkrypt::existing())
            frm_txtkrypt::existing()->close();
        discardClosedWindows();
        QVERIFY(!frm_txtkrypt::existing());
        w = nullptr;
    }

    void opening()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("ZuraRudud"));
        QVERIFY(w->isVisible());
        QVERIFY(!w->isModal());
        QVERIFY(w->isWindow());
        const int designed = 7875;
        QVERIFY2(w->frameGeometry().width() * 15 >= designed, qPrintable(QString::number(w->width())));
        QVERIFY(w->frameGeometry().width() * 15 < designed + 250 + 15);
        QCOMPARE(w->height(), Ui::px(5865));
        QVERIFY(!find<QGroupBox>("Frame1")->isVisible());
        QVERIFY(!find<QWidget>("Frame_Quest")->isVisible());
        QVERIFY(password()->isVisible());
        QVERIFY(find<QLabel>("Label1")->isVisible());
        QCOMPARE(password()->echoMode(), QLineEdit::Password);
        QVERIFY(password()->text().isEmpty());
        QVERIFY(box()->toPlainText().isEmpty());
        QVERIFY(status().isEmpty());
        QVERIFY(encodeButton()->isEnabled());
        QVERIFY(decodeButton()->isEnabled());
        QCOMPARE(w->focusWidget(), password());
    }

    void unfoldsInSteps()
    {
        w->close();
        discardClosedWindows();
        WidthRecorder recorder;
        ignoreRaiseWarning();
        qApp->installEventFilter(&recorder);
        w = frm_txtkrypt::showWindow();
        qApp->removeEventFilter(&recorder);
        const QList<int> &widths = recorder.widths;
        QVERIFY2(widths.size() >= 25, qPrintable(QString::number(widths.size())));
        // From narrow to the designed width, growing by about 250 twips a step.
        QVERIFY(widths.first() * 15 < 1000);
        for (int i = 1; i < widths.size(); ++i) {
            const int step = widths.at(i) - widths.at(i - 1);
            QVERIFY2(step >= 16 && step <= 18, qPrintable(QStringLiteral("step %1: %2").arg(i).arg(step)));
        }
        QCOMPARE(widths.last(), w->width());
        // Showing it again neither rebuilds nor unfolds it.
        password()->setText(QStringLiteral("kept"));
        qApp->installEventFilter(&recorder);
        recorder.widths.clear();
        ignoreRaiseWarning();
        QCOMPARE(frm_txtkrypt::showWindow(), w);
        qApp->removeEventFilter(&recorder);
        QVERIFY(recorder.widths.isEmpty());
        QCOMPARE(password()->text(), QStringLiteral("kept"));
    }

    void design()
    {
        const auto geometry = [this](const char *name) { return find<QWidget>(name)->geometry(); };
        QCOMPARE(geometry("Label1"), Ui::rect(120, 0, 735, 255));
        QCOMPARE(geometry("txtPassword"), Ui::rect(120, 240, 2295, 285));
        QCOMPARE(geometry("lblstatus"), Ui::rect(2520, 240, 5295, 315));
        QCOMPARE(geometry("Frame1"), Ui::rect(60, 600, 7755, 5175));
        QCOMPARE(geometry("Frame_Quest"), Ui::rect(1620, 2700, 4575, 1215));
        QCOMPARE(geometry("cmdDecode"), Ui::rect(1320, 240, 1095, 615));
        QCOMPARE(geometry("img_exit"), Ui::rect(7080, 300, 480, 480));
        QCOMPARE(geometry("txtToEncode"), Ui::rect(120, 960, 7455, 4095));
        QCOMPARE(geometry("cmd_no"), Ui::rect(2460, 600, 1695, 375));

        const QPalette status = find<QLabel>("lblstatus")->palette();
        QCOMPARE(status.color(QPalette::WindowText), QColor(255, 128, 0));
        QCOMPARE(status.color(QPalette::Window), QColor(64, 64, 64));
        QCOMPARE(find<QLabel>("lblstatus")->alignment(), Qt::AlignCenter);
        QCOMPARE(find<QWidget>("Frame_Quest")->palette().color(QPalette::Window), QColor(255, 255, 128));
        QCOMPARE(find<QGroupBox>("Frame1")->title(), QStringLiteral("txt file"));
        QCOMPARE(find<QLabel>("Label8")->text(),
                 QStringLiteral("Text in textbox will be lost ! Do you want to continue ?"));
        QCOMPARE(find<QPushButton>("cmd_yes")->text(), QStringLiteral("YES"));
        QCOMPARE(find<QPushButton>("cmd_no")->text(), QStringLiteral("NO"));

        const struct { const char *name; const char *text; } captions[] = {
            {"Label3", "copy to Clipboard"}, {"Label6", "paste from clipboard"},
            {"Label9", "clear"}, {"Label7", "quit"}};
        for (const auto &c : captions) {
            const QLabel *label = find<QLabel>(c.name);
            QCOMPARE(label->text(), QString::fromLatin1(c.text));
            QCOMPARE(label->font().pointSizeF(), 6.0);
            QCOMPARE(label->font().styleHint(), QFont::Serif);
        }
        QCOMPARE(find<QWidget>("img_clip")->toolTip(), QStringLiteral("copy to clipboard"));
        QCOMPARE(find<QWidget>("img_paste")->toolTip(), QStringLiteral("paste from clipboard"));
        QCOMPARE(find<QWidget>("img_exit")->toolTip(), QStringLiteral("EXIT"));
        QVERIFY(find<QWidget>("img_clear")->toolTip().isEmpty());
        for (const char *name : {"img_clip", "img_paste", "img_clear", "img_exit"}) {
            const QLabel *picture = find<QLabel>(name);
            QVERIFY(!picture->pixmap().isNull());
            QCOMPARE(picture->cursor().shape(), Qt::PointingHandCursor);
        }
    }

    void passwordHints_data()
    {
        QTest::addColumn<int>("typed");
        QTest::addColumn<QString>("hint");
        const QString shortHint = QStringLiteral("password to short");
        const QString better = QStringLiteral("password\u00b4s could be better");
        const QString ok = QStringLiteral("password length ok.");
        QTest::newRow("1st key") << 1 << shortHint;
        QTest::newRow("5th key still short") << 5 << shortHint;
        QTest::newRow("6th key") << 6 << better;
        QTest::newRow("7th key") << 7 << better;
        QTest::newRow("8th key") << 8 << ok;
        QTest::newRow("12th key") << 12 << ok;
    }
    void passwordHints()
    {
        QFETCH(int, typed);
        QFETCH(QString, hint);
        TestEnv env;
        const QString text = QStringLiteral("abcdefghijklmnop").left(typed);
        QTest::keyClicks(password(), text);
        QCOMPARE(status(), hint);
        QCOMPARE(password()->text(), text);
        QCOMPARE(password()->displayText(), QString(typed, QLatin1Char('*')));
    }

    void backspaceHintUsesLengthBefore()
    {
        TestEnv env;
        QTest::keyClicks(password(), QStringLiteral("12345678"));
        QTest::keyClick(password(), Qt::Key_Backspace);
        QCOMPARE(password()->text(), QStringLiteral("1234567"));
        QCOMPARE(status(), QStringLiteral("password length ok."));
        QTest::keyClick(password(), Qt::Key_Backspace);
        QCOMPARE(status(), QStringLiteral("password length ok."));
        QTest::keyClick(password(), Qt::Key_Backspace);
        QCOMPARE(status(), QStringLiteral("password\u00b4s could be better"));
        QCOMPARE(password()->text(), QStringLiteral("12345"));
        // A key that types nothing gives no hint.
        find<QLabel>("lblstatus")->clear();
        QTest::keyClick(password(), Qt::Key_Shift);
        QTest::keyClick(password(), Qt::Key_Left);
        QVERIFY(status().isEmpty());
    }

    void enterOpensWorkingArea()
    {
        TestEnv env;
        QTest::keyClick(password(), Qt::Key_Return);
        QVERIFY(!find<QGroupBox>("Frame1")->isVisible());
        QCOMPARE(status(), QStringLiteral("password to short"));
        QTest::keyClicks(password(), QStringLiteral("geheim"));
        QTest::keyClick(password(), Qt::Key_Enter);
        QVERIFY(find<QGroupBox>("Frame1")->isVisible());
        QCOMPARE(status(), QStringLiteral("password\u00b4s could be better"));
        QCOMPARE(password()->text(), QStringLiteral("geheim"));
        QVERIFY(box()->isVisible());
    }

    void labelTogglesMask()
    {
        TestEnv env;
        QTest::keyClicks(password(), QStringLiteral("abc"));
        click("Label1");
        QCOMPARE(password()->echoMode(), QLineEdit::Normal);
        QCOMPARE(password()->displayText(), QStringLiteral("abc"));
        click("Label1");
        QCOMPARE(password()->echoMode(), QLineEdit::Password);
        QCOMPARE(password()->displayText(), QStringLiteral("***"));
    }

    void buttons_data()
    {
        QTest::addColumn<QString>("pw");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<bool>("encodeEnabled");
        QTest::addColumn<bool>("decodeEnabled");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<QString>("result");
        const QString noPw = QStringLiteral("please enter password !");
        const QString hex = QStringLiteral("C300C400C500");
        QTest::newRow("encode without password") << QString() << QStringLiteral("abc") << QStringLiteral("E")
                                                 << true << true << noPw << QStringLiteral("abc");
        QTest::newRow("decode without password") << QString() << hex << QStringLiteral("D")
                                                 << true << true << noPw << hex;
        QTest::newRow("encode") << QStringLiteral("b") << QStringLiteral("abc") << QStringLiteral("E")
                                << false << true << QStringLiteral("encoded") << hex;
        QTest::newRow("encode is disabled after encode") << QStringLiteral("b") << QStringLiteral("abc") << QStringLiteral("EE")
                                                         << false << true << QStringLiteral("encoded") << hex;
        QTest::newRow("encode empty box") << QStringLiteral("b") << QString() << QStringLiteral("E")
                                          << false << true << QStringLiteral("kein Code zum verschl\u00fcsseln") << QString();
        QTest::newRow("decode") << QStringLiteral("b") << hex << QStringLiteral("D")
                                << true << false << QStringLiteral("decoded") << QStringLiteral("abc");
        QTest::newRow("lower-case hex") << QStringLiteral("b") << hex.toLower() << QStringLiteral("D")
                                        << true << false << QStringLiteral("decoded") << QStringLiteral("abc");
        QTest::newRow("decode is disabled after decode") << QStringLiteral("b") << hex << QStringLiteral("DD")
                                                         << true << false << QStringLiteral("decoded") << QStringLiteral("abc");
        QTest::newRow("encode after decode") << QStringLiteral("b") << hex << QStringLiteral("DE")
                                             << false << true << QStringLiteral("encoded") << hex;
        QTest::newRow("round trip") << QStringLiteral("b") << QStringLiteral("abc") << QStringLiteral("ED")
                                    << true << false << QStringLiteral("decoded") << QStringLiteral("abc");
        QTest::newRow("blanks and breaks only") << QStringLiteral("b") << QStringLiteral("  \n \n  ") << QStringLiteral("D")
                                                << true << false << QStringLiteral("kein Code zum entschl\u00fcsseln") << QString();
        QTest::newRow("malformed hex decodes quietly") << QStringLiteral("b") << QStringLiteral("ZZ") << QStringLiteral("D")
                                                       << true << false << QStringLiteral("decoded") << QString();
        QTest::newRow("clear after encode") << QStringLiteral("b") << QStringLiteral("abc") << QStringLiteral("EC")
                                            << true << true << QStringLiteral("encoded") << QString();
        QTest::newRow("clear after decode") << QStringLiteral("b") << hex << QStringLiteral("DC")
                                            << true << true << QStringLiteral("decoded") << QString();
    }
    void buttons()
    {
        QFETCH(QString, pw);
        QFETCH(QString, text);
        QFETCH(QString, clicks);
        QFETCH(bool, encodeEnabled);
        QFETCH(bool, decodeEnabled);
        QFETCH(QString, statusText);
        QFETCH(QString, result);
        TestEnv env;
        enterPassword(pw);
        find<QGroupBox>("Frame1")->show();
        typeIntoBox(text);
        for (QChar c : clicks) {
            if (c == u'E')
                QTest::mouseClick(encodeButton(), Qt::LeftButton);
            else if (c == u'D')
                QTest::mouseClick(decodeButton(), Qt::LeftButton);
            else
                click("img_clear");
        }
        QCOMPARE(encodeButton()->isEnabled(), encodeEnabled);
        QCOMPARE(decodeButton()->isEnabled(), decodeEnabled);
        QCOMPARE(status(), statusText);
        QCOMPARE(box()->toPlainText(), result);
        QCOMPARE(password()->text(), pw);
        QVERIFY(env.messages.isEmpty());
    }

    void multiLineRoundTrip()
    {
        TestEnv env;
        enterPassword(QStringLiteral("Kennwort"));
        const QString plain = QStringLiteral("Zeile 1\nZeile 2 \u20ac\u00e4\n\n\tEnde");
        typeIntoBox(plain);
        QCOMPARE(box()->toPlainText(), plain);
        QTest::mouseClick(encodeButton(), Qt::LeftButton);
        // Line breaks travel as CR LF: each is two characters of four digits.
        const QString hex = box()->toPlainText();
        QCOMPARE(hex.size(), 4 * (plain.size() + plain.count(QLatin1Char('\n'))));
        for (QChar c : hex)
            QVERIFY2((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'), qPrintable(hex));
        QString crlf = plain;
        crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        QCOMPARE(hex, modHexDump::StringToHex(TextCipher::EncodeString(crlf, QStringLiteral("Kennwort")), 1, false,
                                              QString(), QString(), 4));
        QTest::mouseClick(decodeButton(), Qt::LeftButton);
        QCOMPARE(box()->toPlainText(), plain);
    }

    void encodesHexTextAgain()
    {
        TestEnv env;
        enterPassword(QStringLiteral("pw"));
        typeIntoBox(QStringLiteral("Plan"));
        QTest::mouseClick(encodeButton(), Qt::LeftButton);
        const QString once = box()->toPlainText();
        click("img_clear");
        typeIntoBox(once);
        QTest::mouseClick(encodeButton(), Qt::LeftButton);
        const QString twice = box()->toPlainText();
        QCOMPARE(twice.size(), 4 * once.size());
        QTest::mouseClick(decodeButton(), Qt::LeftButton);
        QCOMPARE(box()->toPlainText(), once);
        QTest::mouseClick(decodeButton(), Qt::LeftButton); // disabled now
        QCOMPARE(box()->toPlainText(), once);
    }

    void pastedSpreadHexText_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("lineBreak");
        QTest::addColumn<QString>("around");
        QTest::newRow("unbroken") << QString() << QString() << QString();
        QTest::newRow("blanks") << QStringLiteral(" ") << QString() << QString();
        QTest::newRow("CR LF lines") << QString() << QStringLiteral("\r\n") << QString();
        QTest::newRow("groups and lines") << QStringLiteral("  ") << QStringLiteral(" \r\n") << QStringLiteral("\r\n ");
        QTest::newRow("LF lines") << QString() << QStringLiteral("\n") << QStringLiteral("\n");
    }
    void pastedSpreadHexText()
    {
        QFETCH(QString, separator);
        QFETCH(QString, lineBreak);
        QFETCH(QString, around);
        TestEnv env;
        const QString pw = QStringLiteral("Zeichnungsnummer");
        const QString plain = QStringLiteral("Schrank 12, Fach 3\r\nSchl\u00fcssel: \u00bb4711\u00ab");
        env.clipboard = around
            + modHexDump::StringToHex(TextCipher::EncodeString(plain, pw), 1, false, separator, lineBreak, 3)
            + around;
        enterPassword(pw);
        click("img_paste");
        click("cmd_yes");
        QTest::mouseClick(decodeButton(), Qt::LeftButton);
        QCOMPARE(status(), QStringLiteral("decoded"));
        QString expected = plain;
        QCOMPARE(box()->toPlainText(), expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }

    void pasteConfirmation()
    {
        TestEnv env;
        env.clipboard = QStringLiteral("6100 6200\r\n6300");
        enterPassword(QStringLiteral("pw"));
        typeIntoBox(QStringLiteral("mein Text"));
        QWidget *quest = find<QWidget>("Frame_Quest");

        click("img_paste");
        QVERIFY(quest->isVisible());
        // It lies above the working area.
        const QPoint middle = quest->geometry().center();
        QWidget *top = w->childAt(middle);
        QVERIFY(top == quest || quest->isAncestorOf(top));
        QCOMPARE(box()->toPlainText(), QStringLiteral("mein Text"));
        click("cmd_no");
        QVERIFY(!quest->isVisible());
        QCOMPARE(box()->toPlainText(), QStringLiteral("mein Text"));

        click("img_paste");
        // The question does not block the rest of the window.
        QTest::mouseClick(encodeButton(), Qt::LeftButton);
        QCOMPARE(status(), QStringLiteral("encoded"));
        click("cmd_yes");
        QVERIFY(!quest->isVisible());
        QCOMPARE(box()->toPlainText(), QStringLiteral("6100 6200\n6300"));
        // Pasting leaves the buttons as they were.
        QVERIFY(!encodeButton()->isEnabled());
        QVERIFY(decodeButton()->isEnabled());

        env.clipboard.clear();
        click("img_paste");
        click("cmd_yes");
        QVERIFY(box()->toPlainText().isEmpty());
        QVERIFY(env.messages.isEmpty());
    }

    void copyToClipboard()
    {
        TestEnv env;
        env.clipboard = QStringLiteral("old");
        enterPassword(QStringLiteral("b"));
        typeIntoBox(QStringLiteral("abc"));
        QTest::mouseClick(encodeButton(), Qt::LeftButton);
        click("img_clip");
        QCOMPARE(env.clipboard, QStringLiteral("C300C400C500"));
        click("img_clear");
        QCOMPARE(password()->text(), QStringLiteral("b"));
        QCOMPARE(status(), QStringLiteral("encoded"));
        click("img_clip");
        QCOMPARE(env.clipboard, QString());
    }

    void textKeepsUnusualCharacters()
    {
        TestEnv env;
        enterPassword(QStringLiteral("x"));
        // No-break space, a control character and a tab survive the text box both ways.
        const QString plain = QStringLiteral("a\u00a0b\u0007c\td");
        env.clipboard = modHexDump::StringToHex(TextCipher::EncodeString(plain, QStringLiteral("x")), 1, false,
                                                QString(), QString(), 4);
        click("img_paste");
        click("cmd_yes");
        QTest::mouseClick(decodeButton(), Qt::LeftButton);
        QCOMPARE(box()->document()->toRawText(), plain);
        click("img_clip");
        QCOMPARE(env.clipboard, plain);
    }

    void focusOrder()
    {
        TestEnv env;
        enterPassword(QStringLiteral("pw"));
        QApplication::setActiveWindow(w);
        box()->setFocus();
        QCOMPARE(QApplication::focusWidget(), box());
        const char *order[] = {"cmdEncode", "cmdDecode", "txtPassword"};
        for (const char *name : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), find<QWidget>(name));
        }
    }

    void quitDiscardsWindow_data()
    {
        QTest::addColumn<bool>("titleBar");
        QTest::newRow("quit") << false;
        QTest::newRow("title bar") << true;
    }
    void quitDiscardsWindow()
    {
        QFETCH(bool, titleBar);
        TestEnv env;
        enterPassword(QStringLiteral("geheim"));
        typeIntoBox(QStringLiteral("Notiz"));
        QTest::mouseClick(encodeButton(), Qt::LeftButton);
        if (titleBar)
            w->close();
        else
            click("img_exit");
        discardClosedWindows();
        QVERIFY(!frm_txtkrypt::existing());

        ignoreRaiseWarning();
        w = frm_txtkrypt::showWindow();
        QVERIFY(password()->text().isEmpty());
        QVERIFY(box()->toPlainText().isEmpty());
        QVERIFY(status().isEmpty());
        QVERIFY(!find<QGroupBox>("Frame1")->isVisible());
        QVERIFY(encodeButton()->isEnabled());
        QVERIFY(decodeButton()->isEnabled());
        QCOMPARE(env.clipboard, QString());
    }

    void publicOperationsForward()
    {
        const QString pw = QStringLiteral("Kennwort");
        const QString plain = QStringLiteral("Text \u00ff");
        QCOMPARE(w->EncodeString(plain, pw), TextCipher::EncodeString(plain, pw));
        QCOMPARE(w->DecodeString(w->EncodeString(QStringLiteral("Text"), pw), pw), QStringLiteral("Text"));
        QCOMPARE(w->Replace(QStringLiteral("61 00\r\n62 00"), QStringLiteral(" "), QString(), 1, 2147483647, 0),
                 QStringLiteral("6100\r\n6200"));
    }
};

QTEST_MAIN(TestFrmTxtKrypt)
#include "tst_frm_txtkrypt.moc"
