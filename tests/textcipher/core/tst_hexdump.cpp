#include "textcipher/core/hexdump.h"

#include <QTest>

#include <algorithm>

using namespace modHexDump;

namespace {

// The configuration the text cipher window uses in both directions.
QString toHex(const QString &s)
{
    return StringToHex(s, 1, false, QString(), QString(), 4);
}

QString fromHex(const QString &hex)
{
    return HexToString(hex, 1, false, QString(), QString());
}

QString units(std::initializer_list<char16_t> list)
{
    QString s;
    for (char16_t u : list)
        s.append(QChar(u));
    return s;
}

} // namespace

class TestHexDump : public QObject
{
    Q_OBJECT

private slots:
    void windowConfiguration_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("610062006300");
        QTest::newRow("euro") << QStringLiteral("\u20ac") << QStringLiteral("AC20");
    }
    void windowConfiguration()
    {
        QFETCH(QString, text);
        QFETCH(QString, hex);
        QCOMPARE(toHex(text), hex);
        QCOMPARE(fromHex(hex), text);
        QCOMPARE(fromHex(hex.toLower()), text);
    }

    void stringToHexLayouts_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("highByteFirst");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("lineBreak");
        QTest::addColumn<int>("unitsPerLine");
        QTest::addColumn<QString>("hex");
        const QString crlf = QStringLiteral("\r\n");
        QTest::newRow("mode 1 high first") << QStringLiteral("abc") << 1 << true << QString() << QString() << 4 << QStringLiteral("006100620063");
        QTest::newRow("mode 0") << QStringLiteral("abc") << 0 << false << QString() << QString() << 4 << QStringLiteral("616263");
        QTest::newRow("mode 0 drops high byte") << QStringLiteral("\u20ac") << 0 << true << QString() << QString() << 4 << QStringLiteral("AC");
        QTest::newRow("mode 2") << QStringLiteral("abc") << 2 << false << QString() << QString() << 4 << QString();
        QTest::newRow("separator") << QStringLiteral("abc") << 1 << false << QStringLiteral(" ") << QString() << 4 << QStringLiteral("6100 6200 6300");
        QTest::newRow("units per line unused") << QStringLiteral("abcdef") << 0 << false << QString() << QString() << 1 << QStringLiteral("616263646566");
        QTest::newRow("line break 4 of 6") << QStringLiteral("abcdef") << 1 << false << QString() << crlf << 4
                                           << QStringLiteral("6100620063006400\r\n65006600");
        QTest::newRow("line break full last line") << QStringLiteral("abcdefgh") << 0 << false << QString() << crlf << 4
                                                   << QStringLiteral("61626364\r\n65666768");
        QTest::newRow("units per line 0 counts as 1") << QStringLiteral("ab") << 0 << false << QString() << QStringLiteral("|") << 0 << QStringLiteral("61|62");
        QTest::newRow("both") << QStringLiteral("abcde") << 0 << false << QStringLiteral("-") << QStringLiteral("\n") << 2
                              << QStringLiteral("61-62\n63-64\n65");
    }
    void stringToHexLayouts()
    {
        QFETCH(QString, source);
        QFETCH(int, mode);
        QFETCH(bool, highByteFirst);
        QFETCH(QString, separator);
        QFETCH(QString, lineBreak);
        QFETCH(int, unitsPerLine);
        QFETCH(QString, hex);
        const QString out = StringToHex(source, mode, highByteFirst, separator, lineBreak, unitsPerLine);
        QCOMPARE(out, hex);
        // Reading the text back with the same options restores what the units hold.
        const bool lossless = mode == 1 || (mode == 0 && std::all_of(source.cbegin(), source.cend(),
                                                                     [](QChar c) { return c.unicode() < 256; }));
        if (lossless)
            QCOMPARE(HexToString(out, mode, highByteFirst, separator, lineBreak), source);
    }

    void hexToStringRules_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("highByteFirst");
        QTest::addColumn<QString>("text");
        QTest::newRow("odd: last byte dropped") << QStringLiteral("4100A") << 1 << false << QStringLiteral("A");
        QTest::newRow("one digit") << QStringLiteral("A") << 1 << false << QString();
        QTest::newRow("three digits") << QStringLiteral("41A") << 1 << false << units({0x0A41});
        QTest::newRow("seven digits odd value") << QStringLiteral("410042F") << 1 << false << units({0x41, 0x0F42});
        QTest::newRow("4G is 4") << QStringLiteral("4G00") << 1 << false << units({0x04});
        QTest::newRow("G4 is 0") << QStringLiteral("G441") << 1 << false << units({0x4100});
        QTest::newRow("pairs stay in step") << QStringLiteral("4G00ZZ0061006200") << 1 << false << units({0x04, 0x00, 0x61, 0x62});
        QTest::newRow("high first euro") << QStringLiteral("20ac") << 1 << true << QStringLiteral("\u20ac");
        QTest::newRow("mode 0 single last ignored") << QStringLiteral("6162A") << 0 << false << QStringLiteral("ab");
        QTest::newRow("mode 0 high byte 0") << QStringLiteral("FF") << 0 << false << QStringLiteral("\u00ff");
        QTest::newRow("mode 0 junk") << QStringLiteral("x1") << 0 << false << units({0});
        QTest::newRow("mode 3") << QStringLiteral("6100") << 3 << false << QString();
    }
    void hexToStringRules()
    {
        QFETCH(QString, hex);
        QFETCH(int, mode);
        QFETCH(bool, highByteFirst);
        QFETCH(QString, text);
        QCOMPARE(HexToString(hex, mode, highByteFirst, QString(), QString()), text);
    }

    void separatorsRemovedBeforeReading()
    {
        QCOMPARE(HexToString(QStringLiteral("6100 6200\r\n6300"), 1, false, QStringLiteral(" "), QStringLiteral("\r\n")),
                 QStringLiteral("abc"));
        // Only the given strings are removed; a lone line feed still takes its place.
        QCOMPARE(HexToString(QStringLiteral("61--62\n63"), 0, false, QStringLiteral("--"), QStringLiteral("\r\n")),
                 units({0x61, 0x62, 0x00}));
    }

    void roundTripEveryCodeUnit()
    {
        QString all(0x10000, Qt::Uninitialized);
        for (int u = 0; u < 0x10000; ++u)
            all[u] = QChar(char16_t(u));
        const QString hex = toHex(all);
        QVERIFY(std::all_of(hex.cbegin(), hex.cend(), [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }));
        QCOMPARE(fromHex(hex), all);
        QCOMPARE(HexToString(StringToHex(all, 1, true, QString(), QString(), 4), 1, true, QString(), QString()), all);
    }
};

QTEST_GUILESS_MAIN(TestHexDump)
#include "tst_hexdump.moc"
