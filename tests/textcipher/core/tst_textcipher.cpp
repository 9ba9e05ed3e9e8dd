#include "app/core/cp1252.h"
#include "textcipher/core/hexdump.h"
#include "textcipher/core/textcipher.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace TextCipher;

namespace {
// Text written as hex (none: only read), and what reading the hex gives.
struct HexCase { QString text; qint32 mode; bool highFirst; QString separator, lineBreak; qint32 perLine; QString hex, back; };
} // namespace
Q_DECLARE_METATYPE(HexCase)

// The text cipher's character shift and the hex text it travels as.
class TestTextCipher : public QObject
{
    Q_OBJECT

private slots:
    // Every code with every key comes back, code 255 as 0, and every result is a code again; so do
    // strings of every Windows-1252 character, others as their 8-bit stand-ins.
    void everyCodeComesBack()
    {
        for (int k = 1; k <= 255; ++k) {
            for (int a = 0; a <= 255; ++a) {
                const qint16 x = EncodeChar(qint16(a), qint16(k));
                QVERIFY2(x >= 1 && x <= 255, qPrintable(u"a=%1 k=%2"_s.arg(a).arg(k)));
                QCOMPARE(int(DecodeChar(x, qint16(k))), a == 255 ? 0 : a);
            }
            // Anything decodes into the code range, also text that was never encrypted.
            QCOMPARE(int(DecodeChar(0, qint16(k))), 255 - k);
        }
        QString codes;
        for (int code = 0; code < 255; ++code)
            codes.append(Cp1252::toUnicode(static_cast<unsigned char>(code)));
        const QString password = u"Geheimnis \u20ac\u00e4\u00df \u00ff\u0178!"_s;
        QVERIFY(EncodeString(codes, password) != codes);
        QCOMPARE(DecodeString(EncodeString(codes, password), password), codes);
        QCOMPARE(DecodeString(EncodeString(u"\U0001F600"_s, password), password), u"??"_s);
    }

    void encodeVectors_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("cipher");
        QTest::newRow("abc") << u"abc"_s << u"b"_s << u"\u00c3\u00c4\u00c5"_s;
        QTest::newRow("euro") << u"\u20ac"_s << u"A"_s << u"\u00c1"_s;
        QTest::newRow("password outside Windows-1252") << u"A"_s << u"\u0416"_s << u"\u20ac"_s;
        QTest::newRow("into 0x80..0x9f") << u"A"_s << u"A"_s << u"\u201a"_s;
        QTest::newRow("wrap") << u"\u00fe\u00c8"_s << u"a"_s << u"`*"_s;
        QTest::newRow("key repeats") << u"aaaaaaa"_s << u"\u0001\u0002\u0003"_s << u"bcdbcdb"_s;
        QTest::newRow("code 255 like code 0, back as 0") << u"x\u00ffy"_s << u"key"_s << u"\u00e3e\u00f2"_s;
        QTest::newRow("empty password shifts nothing") << u"abc\u20ac"_s << QString() << u"abc\u20ac"_s;
    }
    void encodeVectors()
    {
        QFETCH(QString, plain);
        QFETCH(QString, password);
        QFETCH(QString, cipher);
        QCOMPARE(EncodeString(plain, password), cipher);
        QCOMPARE(DecodeString(cipher, password), QString(plain).replace(QChar(0xff), QChar(0)));
    }

    // The window uses two digits per byte, the low byte first, no separators or breaks.
    void hex_data()
    {
        QTest::addColumn<HexCase>("c");
        const QString none;
        QTest::newRow("window: euro") << HexCase{u"\u20ac"_s, 1, false, none, none, 4, u"AC20"_s, u"\u20ac"_s};
        QTest::newRow("mode 0 drops the high byte") << HexCase{u"a\u20ac"_s, 0, true, none, none, 4, u"61AC"_s, u"a\u00ac"_s};
        QTest::newRow("units per line 0 counts as 1") << HexCase{u"ab"_s, 0, false, none, u"|"_s, 0, u"61|62"_s, u"ab"_s};
        QTest::newRow("separator and breaks") << HexCase{u"abcde"_s, 0, false, u"-"_s, u"\r\n"_s, 2, u"61-62\r\n63-64\r\n65"_s, u"abcde"_s};
        QTest::newRow("read: odd, last byte dropped") << HexCase{{}, 1, false, none, none, 0, u"4100A"_s, u"A"_s};
        QTest::newRow("read: three digits") << HexCase{{}, 1, false, none, none, 0, u"41A"_s, u"\u0a41"_s};
        QTest::newRow("read: digits stop at any other character")
            << HexCase{{}, 1, false, none, none, 0, u"4G00G441ZZ0061006200"_s, u"\u0004\u4100\u0000ab"_s};
        QTest::newRow("read: unknown mode") << HexCase{{}, 3, false, none, none, 0, u"6100"_s, none};
    }
    void hex()
    {
        QFETCH(HexCase, c);
        if (!c.text.isNull())
            QCOMPARE(modHexDump::StringToHex(c.text, c.mode, c.highFirst, c.separator, c.lineBreak, c.perLine), c.hex);
        QCOMPARE(modHexDump::HexToString(c.hex.toLower(), c.mode, c.highFirst, c.separator, c.lineBreak), c.back);
    }
};

QTEST_GUILESS_MAIN(TestTextCipher)
#include "tst_textcipher.moc"
