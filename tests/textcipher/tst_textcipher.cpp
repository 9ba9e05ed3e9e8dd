#include "app/cp1252.h"
#include "textcipher/textcipher.h"

#include <QTest>

using namespace TextCipher;

namespace {

QString allCodesBut255()
{
    QString s;
    for (int code = 0; code < 255; ++code)
        s.append(Cp1252::toUnicode(static_cast<unsigned char>(code)));
    return s;
}

} // namespace

class TestTextCipher : public QObject
{
    Q_OBJECT

private slots:
    void charSteps_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("x");
        QTest::newRow("small sum") << 97 << 98 << 195;
        QTest::newRow("zero plain") << 0 << 1 << 1;
        QTest::newRow("sum 255 stays") << 200 << 55 << 255;
        QTest::newRow("sum 256 wraps to 1") << 200 << 56 << 1;
        QTest::newRow("sum 510 wraps to 255") << 255 << 255 << 255;
        QTest::newRow("255 plus 1") << 255 << 1 << 1;
        QTest::newRow("509") << 254 << 255 << 254;
        QTest::newRow("no key") << 77 << 0 << 77;
    }
    void charSteps()
    {
        QFETCH(int, a);
        QFETCH(int, k);
        QFETCH(int, x);
        QCOMPARE(int(EncodeChar(qint16(a), qint16(k))), x);
        if (a != 255)
            QCOMPARE(int(DecodeChar(qint16(x), qint16(k))), a);
    }

    void everyCodeAndKey()
    {
        for (int k = 1; k <= 255; ++k) {
            for (int a = 0; a <= 255; ++a) {
                const qint16 x = EncodeChar(qint16(a), qint16(k));
                QVERIFY2(x >= 1 && x <= 255, qPrintable(QStringLiteral("a=%1 k=%2").arg(a).arg(k)));
                QCOMPARE(int(DecodeChar(x, qint16(k))), a == 255 ? 0 : a);
            }
            // Anything decodes into the code range, also text that was never encrypted.
            QCOMPARE(int(DecodeChar(0, qint16(k))), 255 - k);
        }
    }

    void keyCodes_data()
    {
        QTest::addColumn<qlonglong>("position");
        QTest::addColumn<int>("key");
        QTest::newRow("first") << 1LL << 10;
        QTest::newRow("last") << 3LL << 30;
        QTest::newRow("n+1 starts over") << 4LL << 10;
        QTest::newRow("n+2") << 5LL << 20;
        QTest::newRow("2n") << 6LL << 30;
        QTest::newRow("far") << 3000000002LL << 20;
    }
    void keyCodes()
    {
        QFETCH(qlonglong, position);
        QFETCH(int, key);
        const KeyCodes K = MakeKeyCodes(QStringLiteral("\n\u0014\u001e"));
        QCOMPARE(K, KeyCodes({10, 20, 30}));
        QCOMPARE(int(GetKeyCode(position, K)), key);
    }

    void passwordCodesAreWindows1252()
    {
        QCOMPARE(MakeKeyCodes(QStringLiteral("a\u20ac\u00ff\u0416")), KeyCodes({97, 128, 255, 63}));
        QCOMPARE(int(GetKeyCode(5, KeyCodes())), 0);
    }

    void encodeVectors_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("cipher");
        QTest::newRow("empty") << QString() << QStringLiteral("pw") << QString();
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("b") << QStringLiteral("\u00c3\u00c4\u00c5");
        QTest::newRow("euro") << QStringLiteral("\u20ac") << QStringLiteral("A") << QStringLiteral("\u00c1");
        QTest::newRow("into 0x80..0x9f") << QStringLiteral("A") << QStringLiteral("A") << QStringLiteral("\u201a");
        QTest::newRow("wrap") << QStringLiteral("\u00fe\u00c8") << QStringLiteral("a") << QStringLiteral("`*");
        QTest::newRow("line break") << QStringLiteral("\r\n") << QStringLiteral("\u0001") << QStringLiteral("\u000e\u000b");
        QTest::newRow("key repeats") << QStringLiteral("aaaaaaa") << QStringLiteral("\u0001\u0002\u0003")
                                     << QStringLiteral("bcdbcdb");
        QTest::newRow("short text") << QStringLiteral("aa") << QStringLiteral("\u0001\u0002\u0003")
                                    << QStringLiteral("bc");
    }
    void encodeVectors()
    {
        QFETCH(QString, plain);
        QFETCH(QString, password);
        QFETCH(QString, cipher);
        QCOMPARE(EncodeString(plain, password), cipher);
        QCOMPARE(DecodeString(cipher, password), plain);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("password");
        const QString all = allCodesBut255();
        QTest::newRow("all codes, short pw") << all << QStringLiteral("x");
        QTest::newRow("all codes, long pw") << all << QStringLiteral("Geheimnis \u20ac\u00e4\u00df 2024!");
        QTest::newRow("all codes, high pw") << all << QStringLiteral("\u00ff\u00fe\u0178");
        QTest::newRow("all codes, pw with NUL") << all << QStringLiteral("a\u0000b");
        QTest::newRow("multi-line") << QStringLiteral("Zeile 1\r\nZeile 2\n\tEnde\r\n") << QStringLiteral("pass");
        QTest::newRow("pw longer than text") << QStringLiteral("ab") << QStringLiteral("abcdefghijkl");
        QTest::newRow("pw outside 1252") << QStringLiteral("Pl\u00e4ne 4711") << QStringLiteral("\u0416\u0436");
    }
    void roundTrip()
    {
        QFETCH(QString, plain);
        QFETCH(QString, password);
        const QString cipher = EncodeString(plain, password);
        QCOMPARE(cipher.size(), plain.size());
        QVERIFY(cipher != plain);
        QCOMPARE(DecodeString(cipher, password), plain);
    }

    void collisionOf255And0()
    {
        const QString pw = QStringLiteral("key");
        const QString withFF = QStringLiteral("x\u00ffy");
        const QString withNul = QStringLiteral("x\u0000y");
        QCOMPARE(EncodeString(withFF, pw), EncodeString(withNul, pw));
        QCOMPARE(DecodeString(EncodeString(withFF, pw), pw), withNul);
    }

    void charactersOutside1252_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("back");
        QTest::newRow("best fit") << QStringLiteral("\u0101b") << QStringLiteral("ab");
        QTest::newRow("no equivalent") << QStringLiteral("\u0416") << QStringLiteral("?");
        QTest::newRow("surrogate pair") << QStringLiteral("\U0001F600") << QStringLiteral("??");
    }
    void charactersOutside1252()
    {
        QFETCH(QString, typed);
        QFETCH(QString, back);
        const QString pw = QStringLiteral("pw");
        QCOMPARE(DecodeString(EncodeString(typed, pw), pw), back);
    }

    void emptyPasswordDoesNotShift()
    {
        const QString text = QStringLiteral("abc\u20ac");
        QCOMPARE(EncodeString(text, QString()), text);
        QCOMPARE(DecodeString(text, QString()), text);
    }

    void replace_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sOld");
        QTest::addColumn<QString>("sNew");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("compare");
        QTest::addColumn<QString>("result");
        const int all = 2147483647;
        QTest::newRow("empty old") << QStringLiteral("a b") << QString() << QStringLiteral("x") << 1 << all << 0 << QStringLiteral("a b");
        QTest::newRow("delete blanks") << QStringLiteral(" a b  c ") << QStringLiteral(" ") << QString() << 1 << all << 0 << QStringLiteral("abc");
        QTest::newRow("none") << QStringLiteral("abc") << QStringLiteral("x") << QStringLiteral("y") << 1 << all << 0 << QStringLiteral("abc");
        QTest::newRow("all of it") << QStringLiteral("abab") << QStringLiteral("ab") << QString() << 1 << all << 0 << QString();
        QTest::newRow("non-overlapping") << QStringLiteral("aaaaa") << QStringLiteral("aa") << QStringLiteral("b") << 1 << all << 0 << QStringLiteral("bba");
        QTest::newRow("same length") << QStringLiteral("x1x2x") << QStringLiteral("x") << QStringLiteral("y") << 1 << all << 0 << QStringLiteral("y1y2y");
        QTest::newRow("longer") << QStringLiteral("a.b.c") << QStringLiteral(".") << QStringLiteral("---") << 1 << all << 0 << QStringLiteral("a---b---c");
        QTest::newRow("new contains old") << QStringLiteral("aa") << QStringLiteral("a") << QStringLiteral("aa") << 1 << all << 0 << QStringLiteral("aaaa");
        QTest::newRow("start") << QStringLiteral("abcabc") << QStringLiteral("b") << QStringLiteral("X") << 3 << all << 0 << QStringLiteral("abcaXc");
        QTest::newRow("start 0") << QStringLiteral("bb") << QStringLiteral("b") << QStringLiteral("X") << 0 << all << 0 << QStringLiteral("XX");
        QTest::newRow("start past end") << QStringLiteral("bb") << QStringLiteral("b") << QStringLiteral("X") << 3 << all << 0 << QStringLiteral("bb");
        QTest::newRow("count 1") << QStringLiteral("b-b-b") << QStringLiteral("b") << QStringLiteral("X") << 1 << 1 << 0 << QStringLiteral("X-b-b");
        QTest::newRow("count 2 after start") << QStringLiteral("b-b-b-b") << QStringLiteral("b") << QStringLiteral("X") << 2 << 2 << 0 << QStringLiteral("b-X-X-b");
        QTest::newRow("count 0") << QStringLiteral("bb") << QStringLiteral("b") << QStringLiteral("X") << 1 << 0 << 0 << QStringLiteral("bb");
        QTest::newRow("exact case") << QStringLiteral("ABCabc") << QStringLiteral("b") << QStringLiteral("x") << 1 << all << 0 << QStringLiteral("ABCaxc");
        QTest::newRow("ignore case") << QStringLiteral("ABCabc") << QStringLiteral("b") << QStringLiteral("x") << 1 << all << 1 << QStringLiteral("AxCaxc");
        QTest::newRow("ignore case keeps rest") << QStringLiteral("Hallo HALLO Welt") << QStringLiteral("hallo") << QStringLiteral("Hi") << 1 << all << -1 << QStringLiteral("Hi Hi Welt");
        QTest::newRow("umlaut case") << QStringLiteral("\u00c4rger \u00e4rger") << QStringLiteral("\u00e4") << QStringLiteral("a") << 1 << all << 1 << QStringLiteral("arger arger");
        QTest::newRow("CR LF pairs only") << QStringLiteral("61\r\n00\n62\r\r\n") << QStringLiteral("\r\n") << QString() << 1 << all << 0 << QStringLiteral("6100\n62\r");
    }
    void replace()
    {
        QFETCH(QString, text);
        QFETCH(QString, sOld);
        QFETCH(QString, sNew);
        QFETCH(int, start);
        QFETCH(int, count);
        QFETCH(int, compare);
        QFETCH(QString, result);
        ReplaceBuffer buffer;
        QCOMPARE(buffer.Replace(text, sOld, sNew, start, count, compare), result);
        // A second call on the same buffer gives the same answer.
        QCOMPARE(buffer.Replace(text, sOld, sNew, start, count, compare), result);
    }

    void cleaningSpreadHexText()
    {
        ReplaceBuffer buffer;
        const QString spread = QStringLiteral("6100 6200\r\n6300 AC20\r\n 0A00");
        QString s = buffer.Replace(spread, QStringLiteral(" "), QString(), 1, 2147483647, 0);
        s = buffer.Replace(s, QStringLiteral("\r\n"), QString(), 1, 2147483647, 0);
        QCOMPARE(s, QStringLiteral("610062006300AC200A00"));
    }

    void bufferIsReusedAndResultsStayIntact()
    {
        ReplaceBuffer buffer;
        const QString big = QStringLiteral("ab ").repeated(10000);
        const QString first = buffer.Replace(big, QStringLiteral(" "), QString(), 1, 2147483647, 0);
        const qsizetype capacity = buffer.capacity();
        QVERIFY(capacity >= first.size());
        const QString second = buffer.Replace(QStringLiteral("x y"), QStringLiteral(" "), QStringLiteral("+"), 1, 2147483647, 0);
        QCOMPARE(second, QStringLiteral("x+y"));
        QCOMPARE(first, QStringLiteral("ab").repeated(10000));
        QCOMPARE(buffer.capacity(), capacity);
    }
};

QTEST_GUILESS_MAIN(TestTextCipher)
#include "tst_textcipher.moc"
