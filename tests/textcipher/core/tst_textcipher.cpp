#include "app/core/cp1252.h"
#include "textcipher/core/textcipher.h"

#include <QTest>

using namespace TextCipher;

namespace {
struct ReplaceCase { QString text, sOld, sNew; qint32 start, count, compare; QString result; };
} // namespace
Q_DECLARE_METATYPE(ReplaceCase)

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

    void keyCodes_data()
    {
        QTest::addColumn<qlonglong>("position");
        QTest::addColumn<int>("key");
        QTest::newRow("first") << 1LL << 10;
        QTest::newRow("n+1 starts over") << 4LL << 10;
        QTest::newRow("2n") << 6LL << 30;
        QTest::newRow("far") << 3000000002LL << 20;
    }
    void keyCodes()
    {
        QFETCH(qlonglong, position);
        QFETCH(int, key);
        QCOMPARE(int(GetKeyCode(position, MakeKeyCodes(QStringLiteral("\n\u0014\u001e")))), key);
        QCOMPARE(int(GetKeyCode(position, KeyCodes())), 0);
    }

    void encodeVectors_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("cipher");
        QTest::newRow("empty") << QString() << QStringLiteral("pw") << QString();
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("b") << QStringLiteral("\u00c3\u00c4\u00c5");
        QTest::newRow("euro") << QStringLiteral("\u20ac") << QStringLiteral("A") << QStringLiteral("\u00c1");
        QTest::newRow("password in Windows-1252") << QStringLiteral("A") << QStringLiteral("\u20ac") << QStringLiteral("\u00c1");
        QTest::newRow("password outside it") << QStringLiteral("A") << QStringLiteral("\u0416") << QStringLiteral("\u20ac");
        QTest::newRow("into 0x80..0x9f") << QStringLiteral("A") << QStringLiteral("A") << QStringLiteral("\u201a");
        QTest::newRow("wrap") << QStringLiteral("\u00fe\u00c8") << QStringLiteral("a") << QStringLiteral("`*");
        QTest::newRow("line break") << QStringLiteral("\r\n") << QStringLiteral("\u0001") << QStringLiteral("\u000e\u000b");
        QTest::newRow("key repeats") << QStringLiteral("aaaaaaa") << QStringLiteral("\u0001\u0002\u0003") << QStringLiteral("bcdbcdb");
        QTest::newRow("short text") << QStringLiteral("aa") << QStringLiteral("\u0001\u0002\u0003") << QStringLiteral("bc");
        // Code 255 encrypts like code 0 and comes back as 0.
        QTest::newRow("code 255") << QStringLiteral("x\u00ffy") << QStringLiteral("key") << QStringLiteral("\u00e3e\u00f2");
        QTest::newRow("code 0") << QStringLiteral("x\u0000y") << QStringLiteral("key") << QStringLiteral("\u00e3e\u00f2");
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

    void roundTrip_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("back");
        QString all; // every code but 255
        for (int code = 0; code < 255; ++code)
            all.append(Cp1252::toUnicode(static_cast<unsigned char>(code)));
        QTest::newRow("all codes, long pw") << all << QStringLiteral("Geheimnis \u20ac\u00e4\u00df 2024!") << all;
        QTest::newRow("all codes, high pw") << all << QStringLiteral("\u00ff\u00fe\u0178") << all;
        // Characters outside Windows-1252 come back as their 8-bit stand-ins, one per unit.
        QTest::newRow("surrogate pair") << QStringLiteral("\U0001F600") << QStringLiteral("pw") << QStringLiteral("??");
    }
    void roundTrip()
    {
        QFETCH(QString, plain);
        QFETCH(QString, password);
        QFETCH(QString, back);
        const QString cipher = EncodeString(plain, password);
        QCOMPARE(cipher.size(), plain.size());
        QVERIFY(cipher != plain);
        QCOMPARE(DecodeString(cipher, password), back);
    }

    void replace_data()
    {
        QTest::addColumn<ReplaceCase>("c");
        const int all = 2147483647;
        QTest::newRow("empty old") << ReplaceCase{QStringLiteral("a b"), QString(), QStringLiteral("x"), 1, all, 0, QStringLiteral("a b")};
        QTest::newRow("delete blanks") << ReplaceCase{QStringLiteral(" a b  c "), QStringLiteral(" "), QString(), 1, all, 0, QStringLiteral("abc")};
        QTest::newRow("all of it") << ReplaceCase{QStringLiteral("abab"), QStringLiteral("ab"), QString(), 1, all, 0, QString()};
        QTest::newRow("non-overlapping") << ReplaceCase{QStringLiteral("aaaaa"), QStringLiteral("aa"), QStringLiteral("b"), 1, all, 0, QStringLiteral("bba")};
        QTest::newRow("longer") << ReplaceCase{QStringLiteral("a.b.c"), QStringLiteral("."), QStringLiteral("---"), 1, all, 0, QStringLiteral("a---b---c")};
        QTest::newRow("new contains old") << ReplaceCase{QStringLiteral("aa"), QStringLiteral("a"), QStringLiteral("aa"), 1, all, 0, QStringLiteral("aaaa")};
        QTest::newRow("start") << ReplaceCase{QStringLiteral("abcabc"), QStringLiteral("b"), QStringLiteral("X"), 3, all, 0, QStringLiteral("abcaXc")};
        QTest::newRow("start 0") << ReplaceCase{QStringLiteral("bb"), QStringLiteral("b"), QStringLiteral("X"), 0, all, 0, QStringLiteral("XX")};
        QTest::newRow("start past end") << ReplaceCase{QStringLiteral("bb"), QStringLiteral("b"), QStringLiteral("X"), 3, all, 0, QStringLiteral("bb")};
        QTest::newRow("count 1") << ReplaceCase{QStringLiteral("b-b-b"), QStringLiteral("b"), QStringLiteral("X"), 1, 1, 0, QStringLiteral("X-b-b")};
        QTest::newRow("count 2 after start") << ReplaceCase{QStringLiteral("b-b-b-b"), QStringLiteral("b"), QStringLiteral("X"), 2, 2, 0, QStringLiteral("b-X-X-b")};
        QTest::newRow("count 0") << ReplaceCase{QStringLiteral("bb"), QStringLiteral("b"), QStringLiteral("X"), 1, 0, 0, QStringLiteral("bb")};
        QTest::newRow("exact case") << ReplaceCase{QStringLiteral("ABCabc"), QStringLiteral("b"), QStringLiteral("x"), 1, all, 0, QStringLiteral("ABCaxc")};
        QTest::newRow("ignore case keeps the rest") << ReplaceCase{QStringLiteral("ABCabc"), QStringLiteral("b"), QStringLiteral("x"), 1, all, -1, QStringLiteral("AxCaxc")};
        QTest::newRow("umlaut case") << ReplaceCase{QStringLiteral("\u00c4rger \u00e4rger"), QStringLiteral("\u00e4"), QStringLiteral("a"), 1, all, 1, QStringLiteral("arger arger")};
        QTest::newRow("CR LF pairs only") << ReplaceCase{QStringLiteral("61\r\n00\n62\r\r\n"), QStringLiteral("\r\n"), QString(), 1, all, 0, QStringLiteral("6100\n62\r")};
    }
    void replace()
    {
        QFETCH(ReplaceCase, c);
        ReplaceBuffer buffer;
        for (int call = 0; call < 2; ++call) // the second call reuses the buffer
            QCOMPARE(buffer.Replace(c.text, c.sOld, c.sNew, c.start, c.count, c.compare), c.result);
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
