#include "cipher/core/keyderivation.h"

#include <QTest>

// Keys worked out by hand from the character codes; the users' ".D0C" files depend on them.
class tst_KeyDerivation : public QObject
{
    Q_OBJECT

private slots:
    void deriveKey_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("key");
        const auto row = [](const char *name, const char *password, const char *key) {
            QTest::newRow(name) << QString::fromUtf8(password) << QString::fromUtf8(key);
        };
        row("empty", "", "");
        row("one character: nothing to mix with", "a", "");
        row("2, codes below 16 give one digit", "ab", "33");
        row("2, code 0 first", "aa", "");
        row("3, half 1.5 up to 2", "abc", "312");
        row("3, code 0 cut at the end", "aba", "33");
        row("4", "abcd", "2626");
        row("5, half 2.5 down to 2, mix repeats", "Tarvo", "22E261719");
        row("5, code 0 cut in the middle", "abacd", "26");
        row("6", "Tarvo!", "22E5322E53");
        row("7, half 3.5 up to 4", "1234567", "5753444");
        row("8", "abcdefgh", "444C444C");
        row("9, half 4.5 down to 4", "abcdefghi", "75BD444CF");
        row("11, half 5.5 up to 6", "abcdefghijk", "75BDFD6AAEE");
        row("Windows-1252: euro 80 ^ ü FC", "€ü", "7C7C");
        row("upper-case hex", "ÿa", "9E9E");
        row("best fit: ā counts as a", "āb", "33");
    }

    void deriveKey()
    {
        QFETCH(QString, password);
        QFETCH(QString, key);
        QCOMPARE(KeyDerivation::deriveKey(password), key);
    }
};

QTEST_APPLESS_MAIN(tst_KeyDerivation)
#include "tst_keyderivation.moc"
