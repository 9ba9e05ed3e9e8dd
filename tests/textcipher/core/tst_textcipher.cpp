#include "app/core/cp1252.h"
#include "textcipher/core/hexdump.h"
#include "textcipher/core/textcipher.h"

#include <QTest>

#include <algorithm>

using namespace TextCipher;
using namespace modHexDump;

namespace {
struct ReplaceCase { QString text, sOld, sNew; qint32 start, count, compare; QString result; };
struct HexCase { QString text; qint32 mode; bool highFirst; QString separator, lineBreak; qint32 perLine; QString hex; };

QString units(std::initializer_list<char16_t> list)
{
    return QString::fromUtf16(list.begin(), qsizetype(list.size()));
}
} // namespace
Q_DECLARE_METATYPE(ReplaceCase)
Q_DECLARE_METATYPE(HexCase)

// The text cipher's character shift and the hex text it travels as.
class TestTextCipher : public QObject
{
    Q_OBJECT

private slots:
    // Every code with every key comes back, code 255 as 0, and every result is a code again;
    // the exact steps are pinned by the strings below.
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

    void encodeVectors_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("cipher");
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("b") << QStringLiteral("\u00c3\u00c4\u00c5");
        QTest::newRow("euro") << QStringLiteral("\u20ac") << QStringLiteral("A") << QStringLiteral("\u00c1");
        QTest::newRow("password outside Windows-1252") << QStringLiteral("A") << QStringLiteral("\u0416") << QStringLiteral("\u20ac");
        QTest::newRow("into 0x80..0x9f") << QStringLiteral("A") << QStringLiteral("A") << QStringLiteral("\u201a");
        QTest::newRow("wrap") << QStringLiteral("\u00fe\u00c8") << QStringLiteral("a") << QStringLiteral("`*");
        QTest::newRow("key repeats") << QStringLiteral("aaaaaaa") << QStringLiteral("\u0001\u0002\u0003") << QStringLiteral("bcdbcdb");
        // Code 255 encrypts like code 0 and comes back as 0.
        QTest::newRow("code 255") << QStringLiteral("x\u00ffy") << QStringLiteral("key") << QStringLiteral("\u00e3e\u00f2");
        QTest::newRow("empty password shifts nothing") << QStringLiteral("abc\u20ac") << QString() << QStringLiteral("abc\u20ac");
    }
    void encodeVectors()
    {
        QFETCH(QString, plain);
        QFETCH(QString, password);
        QFETCH(QString, cipher);
        QCOMPARE(EncodeString(plain, password), cipher);
        QCOMPARE(DecodeString(cipher, password), QString(plain).replace(QChar(0xff), QChar(0)));
    }

    // Every Windows-1252 character but code 255 comes back; others as their 8-bit stand-ins.
    void roundTrip()
    {
        QString all;
        for (int code = 0; code < 255; ++code)
            all.append(Cp1252::toUnicode(static_cast<unsigned char>(code)));
        const QString password = QStringLiteral("Geheimnis \u20ac\u00e4\u00df \u00ff\u0178!");
        QVERIFY(EncodeString(all, password) != all);
        QCOMPARE(DecodeString(EncodeString(all, password), password), all);
        QCOMPARE(DecodeString(EncodeString(QStringLiteral("\U0001F600"), password), password), QStringLiteral("??"));
    }

    void replace_data()
    {
        QTest::addColumn<ReplaceCase>("c");
        const int all = 2147483647;
        const QString b = QStringLiteral("b"), X = QStringLiteral("X");
        QTest::newRow("empty old") << ReplaceCase{QStringLiteral("a b"), QString(), QStringLiteral("x"), 1, all, 0, QStringLiteral("a b")};
        QTest::newRow("delete blanks") << ReplaceCase{QStringLiteral(" a b  c "), QStringLiteral(" "), QString(), 1, all, 0, QStringLiteral("abc")};
        QTest::newRow("non-overlapping") << ReplaceCase{QStringLiteral("aaaaa"), QStringLiteral("aa"), b, 1, all, 0, QStringLiteral("bba")};
        QTest::newRow("new contains old") << ReplaceCase{QStringLiteral("aa"), QStringLiteral("a"), QStringLiteral("aa"), 1, all, 0, QStringLiteral("aaaa")};
        QTest::newRow("start") << ReplaceCase{QStringLiteral("abcabc"), b, X, 3, all, 0, QStringLiteral("abcaXc")};
        QTest::newRow("start past end") << ReplaceCase{QStringLiteral("bb"), b, X, 3, all, 0, QStringLiteral("bb")};
        QTest::newRow("count 2 after start") << ReplaceCase{QStringLiteral("b-b-b-b"), b, X, 2, 2, 0, QStringLiteral("b-X-X-b")};
        QTest::newRow("count 0") << ReplaceCase{QStringLiteral("bb"), b, X, 1, 0, 0, QStringLiteral("bb")};
        QTest::newRow("ignore case keeps the rest") << ReplaceCase{QStringLiteral("ABCabc"), b, QStringLiteral("x"), 1, all, -1, QStringLiteral("AxCaxc")};
        QTest::newRow("CR LF pairs only") << ReplaceCase{QStringLiteral("61\r\n00\n62\r\r\n"), QStringLiteral("\r\n"), QString(), 1, all, 0, QStringLiteral("6100\n62\r")};
    }
    void replace()
    {
        QFETCH(ReplaceCase, c);
        ReplaceBuffer buffer;
        const QString first = buffer.Replace(c.text, c.sOld, c.sNew, c.start, c.count, c.compare);
        QCOMPARE(buffer.Replace(c.text, c.sOld, c.sNew, c.start, c.count, c.compare), c.result); // the buffer reused
        buffer.Replace(QStringLiteral("x y"), QStringLiteral(" "), QStringLiteral("+"), 1, 2147483647, 0);
        QCOMPARE(first, c.result); // and the earlier results intact
    }

    // Text to hex and back; the window uses two digits per byte, the low byte first, no breaks.
    void hexLayouts_data()
    {
        QTest::addColumn<HexCase>("c");
        const QString abc = QStringLiteral("abc"), none;
        QTest::newRow("window: euro") << HexCase{QStringLiteral("\u20ac"), 1, false, none, none, 4, QStringLiteral("AC20")};
        QTest::newRow("high byte first") << HexCase{abc, 1, true, none, none, 4, QStringLiteral("006100620063")};
        QTest::newRow("mode 0 drops the high byte") << HexCase{QStringLiteral("\u20ac"), 0, true, none, none, 4, QStringLiteral("AC")};
        QTest::newRow("unknown mode") << HexCase{abc, 2, false, none, none, 4, none};
        QTest::newRow("line break 4 of 6") << HexCase{QStringLiteral("abcdef"), 1, false, none, QStringLiteral("\r\n"), 4,
                                                      QStringLiteral("6100620063006400\r\n65006600")};
        QTest::newRow("units per line 0 counts as 1") << HexCase{QStringLiteral("ab"), 0, false, none, QStringLiteral("|"), 0, QStringLiteral("61|62")};
        QTest::newRow("separator and breaks") << HexCase{QStringLiteral("abcde"), 0, false, QStringLiteral("-"), QStringLiteral("\n"), 2,
                                                         QStringLiteral("61-62\n63-64\n65")};
    }
    void hexLayouts()
    {
        QFETCH(HexCase, c);
        QCOMPARE(StringToHex(c.text, c.mode, c.highFirst, c.separator, c.lineBreak, c.perLine), c.hex);
        // Read back with the same options, it gives what the units hold.
        if (c.mode == 1 || (c.mode == 0 && std::all_of(c.text.cbegin(), c.text.cend(), [](QChar u) { return u.unicode() < 256; })))
            QCOMPARE(HexToString(c.hex.toLower(), c.mode, c.highFirst, c.separator, c.lineBreak), c.text);
    }

    void hexReading_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        QTest::newRow("odd: last byte dropped") << QStringLiteral("4100A") << 1 << QStringLiteral("A");
        QTest::newRow("one digit") << QStringLiteral("A") << 1 << QString();
        QTest::newRow("three digits") << QStringLiteral("41A") << 1 << units({0x0A41});
        QTest::newRow("4G is 4") << QStringLiteral("4G00") << 1 << units({0x04});
        QTest::newRow("G4 is 0") << QStringLiteral("G441") << 1 << units({0x4100});
        QTest::newRow("pairs stay in step") << QStringLiteral("4G00ZZ0061006200") << 1 << units({0x04, 0x00, 0x61, 0x62});
        QTest::newRow("mode 0 single last ignored") << QStringLiteral("6162A") << 0 << QStringLiteral("ab");
        QTest::newRow("mode 3") << QStringLiteral("6100") << 3 << QString();
    }
    void hexReading()
    {
        QFETCH(QString, hex);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QCOMPARE(HexToString(hex, mode, false, QString(), QString()), text);
    }

    void hexEveryCodeUnit()
    {
        QString all(0x10000, Qt::Uninitialized);
        for (int u = 0; u < 0x10000; ++u)
            all[u] = QChar(char16_t(u));
        for (const bool highFirst : {false, true})
            QCOMPARE(HexToString(StringToHex(all, 1, highFirst, QString(), QString(), 4), 1, highFirst, QString(), QString()), all);
    }
};

QTEST_GUILESS_MAIN(TestTextCipher)
#include "tst_textcipher.moc"
