#include "cipher/keyderivation.h"

#include <QTest>

// Every expected key below was worked out by hand from the character codes, so these rows
// pin the derivation that the users' existing ".D0C" files depend on.
class tst_KeyDerivation : public QObject
{
    Q_OBJECT

private slots:
    void halfLength_data();
    void halfLength();
    void xorMix_data();
    void xorMix();
    void deriveKey_data();
    void deriveKey();
    void evenLengthKeyRepeatsItsHalf();
};

void tst_KeyDerivation::halfLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("half");
    const int expected[] = {0, 0, 1, 2, 2, 2, 3, 4, 4, 4, 5, 6, 6};
    for (int length = 0; length <= 12; ++length)
        QTest::addRow("%d", length) << length << expected[length];
    QTest::newRow("13 goes down to even") << 13 << 6;
    QTest::newRow("15 goes up to even") << 15 << 8;
    QTest::newRow("negative") << -3 << 0;
}

void tst_KeyDerivation::halfLength()
{
    QFETCH(int, length);
    QFETCH(int, half);
    QCOMPARE(KeyDerivation::halfLength(length), half);
}

void tst_KeyDerivation::xorMix_data()
{
    QTest::addColumn<QByteArray>("s");
    QTest::addColumn<QByteArray>("k");
    QTest::addColumn<QByteArray>("mixed");

    QTest::newRow("same length") << QByteArray("ab") << QByteArray("ba")
                                 << QByteArray::fromHex("0303");
    QTest::newRow("longer key, rest unused") << QByteArray("abc") << QByteArray("bcab")
                                             << QByteArray::fromHex("030102");
    // 'a' ^ 'd' = 05, 'b' ^ 'e' = 07, then the key starts again: 'c' ^ 'd' = 07.
    QTest::newRow("short key repeats") << QByteArray("abc") << QByteArray("de")
                                       << QByteArray::fromHex("050707");
    QTest::newRow("one-code key over many") << QByteArray("abcdefg") << QByteArray(" ")
                                            << QByteArray("ABCDEFG");
    QTest::newRow("high codes") << QByteArray::fromHex("80ff") << QByteArray::fromHex("fc01")
                                << QByteArray::fromHex("7cfe");
    QTest::newRow("empty key gives nothing") << QByteArray("abc") << QByteArray()
                                             << QByteArray();
    QTest::newRow("empty string") << QByteArray() << QByteArray("xyz") << QByteArray();
}

void tst_KeyDerivation::xorMix()
{
    QFETCH(QByteArray, s);
    QFETCH(QByteArray, k);
    QFETCH(QByteArray, mixed);
    QCOMPARE(KeyDerivation::XorMix(s, k), mixed);
}

void tst_KeyDerivation::deriveKey_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("key");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("one character has no key") << QStringLiteral("a") << QString();
    // ab: m = "ba"; 61^62 = 03 twice, one digit each.
    QTest::newRow("two different, codes below 16") << QStringLiteral("ab") << QStringLiteral("33");
    QTest::newRow("two equal: first code 0") << QStringLiteral("aa") << QString();
    // abc: h = 2, m = "bc" + "ab"; a^b = 03, b^c = 01, c^a = 02.
    QTest::newRow("length 3") << QStringLiteral("abc") << QStringLiteral("312");
    // aba: a^b = 03, b^a = 03, a^a = 00 -> cut.
    QTest::newRow("length 3, code 0 at the end") << QStringLiteral("aba") << QStringLiteral("33");
    // abcd: m = "cd" + "ab"; a^c = 02, b^d = 06, then the same again.
    QTest::newRow("length 4") << QStringLiteral("abcd") << QStringLiteral("2626");
    // abac: a^a = 00 at once.
    QTest::newRow("length 4, first equals after middle") << QStringLiteral("abac") << QString();
    // Tarvo = 54 61 72 76 6F; m = "vo" + "Ta", lengthened by "v":
    // T^v = 22, a^o = 0E, r^T = 26, v^a = 17, o^v = 19.
    QTest::newRow("length 5, key lengthened") << QStringLiteral("Tarvo")
                                              << QStringLiteral("22E261719");
    // abacd: a^c = 02, b^d = 06, a^a = 00 cuts the rest away.
    QTest::newRow("length 5, code 0 in the middle") << QStringLiteral("abacd")
                                                    << QStringLiteral("26");
    // Tarvo! = 54 61 72 76 6F 21; m = "vo!" + "Tar": 22 0E 53, twice.
    QTest::newRow("length 6") << QStringLiteral("Tarvo!") << QStringLiteral("22E5322E53");
    // 1234567: h = 4, x(j) = t(j) ^ t(j+3) counting past the end from the start:
    // 31^34 = 05, 32^35 = 07, 33^36 = 05, 34^37 = 03, 35^31 = 04, 36^32 = 04, 37^33 = 04.
    QTest::newRow("length 7") << QStringLiteral("1234567") << QStringLiteral("5753444");
    // abcdefgh: h = 4; a^e = b^f = c^g = 04, d^h = 0C.
    QTest::newRow("length 8") << QStringLiteral("abcdefgh") << QStringLiteral("444C444C");
    // abcdefghi: h = 4 (4.5 to even), m = "fghi" + "abcd" + "f":
    // a^f 07, b^g 05, c^h 0B, d^i 0D, e^a 04, f^b 04, g^c 04, h^d 0C, i^f 0F.
    QTest::newRow("length 9, half down to even") << QStringLiteral("abcdefghi")
                                                 << QStringLiteral("75BD444CF");
    // abcdefghijk: h = 6 (5.5 to even), m = "fghijk" + "abcde":
    // a^f 07, b^g 05, c^h 0B, d^i 0D, e^j 0F, f^k 0D, g^a 06, h^b 0A, i^c 0A, j^d 0E, k^e 0E.
    QTest::newRow("length 11, half up to even") << QStringLiteral("abcdefghijk")
                                                << QStringLiteral("75BDFD6AAEE");
    // Windows-1252: the euro sign is 80, ü is FC; 80^FC = 7C. Latin-1 would differ.
    QTest::newRow("euro sign and umlaut") << QStringLiteral("€ü") << QStringLiteral("7C7C");
    // ÿ = FF, a = 61: FF^61 = 9E, upper-case digits.
    QTest::newRow("upper-case hex") << QStringLiteral("ÿa") << QStringLiteral("9E9E");
    // A character outside Windows-1252 counts as its best fit: ā -> a, so "āb" acts as "ab".
    QTest::newRow("best fit") << QStringLiteral("āb") << QStringLiteral("33");
}

void tst_KeyDerivation::deriveKey()
{
    QFETCH(QString, password);
    QFETCH(QString, key);
    QCOMPARE(KeyDerivation::deriveKey(password), key);
}

void tst_KeyDerivation::evenLengthKeyRepeatsItsHalf()
{
    // For an even length without a code 0 the key is its first half twice, whatever the
    // characters are; two passwords of the same length may still give keys of different
    // lengths because small codes take one digit.
    const QString even = KeyDerivation::deriveKey(QStringLiteral("Geheimwort"));
    QVERIFY(!even.isEmpty());
    QCOMPARE(even.size() % 2, 0);
    QCOMPARE(even.left(even.size() / 2), even.mid(even.size() / 2));
    QVERIFY(KeyDerivation::deriveKey(QStringLiteral("ab")).size()
            != KeyDerivation::deriveKey(QStringLiteral("aZ")).size());
}

QTEST_APPLESS_MAIN(tst_KeyDerivation)
#include "tst_keyderivation.moc"
