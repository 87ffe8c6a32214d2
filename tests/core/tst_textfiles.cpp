#include "../platform/fileio/FaultTestUtil.h"
#include "core/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestTextFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    void put(const QString& name, const QByteArray& bytes)
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

private Q_SLOTS:
    void writeReplacesTheWholeFile()
    {
        put(QStringLiteral("topic.txt"), "an older and much longer text");
        QVERIFY(WriteTextFile(path(QStringLiteral("topic.txt")), QStringLiteral("short é")));
        QFile file(path(QStringLiteral("topic.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("short \xc3\xa9"));
    }

    void emptyTextOrAnUnwritablePlaceFailsAndKeepsTheOldFile()
    {
        put(QStringLiteral("keep.txt"), "precious");
        QVERIFY(!WriteTextFile(path(QStringLiteral("keep.txt")), QString()));
        // A directory in the way: the write fails and nothing is left half-written.
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("dir.txt")));
        QVERIFY(!WriteTextFile(path(QStringLiteral("dir.txt")), QStringLiteral("text")));
        QVERIFY(!WriteTextFile(path(QStringLiteral("no/such/folder.txt")), QStringLiteral("x")));
        QString text;
        QCOMPARE(ReadTextFile(path(QStringLiteral("keep.txt")), text), int(ReadSuccess));
        QCOMPARE(text, QStringLiteral("precious"));
        const QStringList leftovers = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : leftovers)
            QVERIFY2(!name.contains(QStringLiteral(".tmp")) && !name.startsWith(u'.'),
                     qPrintable(name));
    }

    // A disk that fills up during the save: the old text stays and the caller hears why.
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("room");
        QTest::addColumn<int>("length");
        QTest::newRow("no room for a short text") << 0 << 10;
        QTest::newRow("room for part of the text") << 1000 << 4000;
    }
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(int, room);
        QFETCH(int, length);
        put(QStringLiteral("full.txt"), "precious");
        QString error;
        bool written = true;
        {
            const faulttest::FileSizeLimit limit{rlim_t(room)};
            written =
                WriteTextFile(path(QStringLiteral("full.txt")), QString(length, u'x'), &error);
        }
        QVERIFY(!written);
        QVERIFY2(error.contains(QLatin1String("larger than the disk")), qPrintable(error));
        QString text;
        QCOMPARE(ReadTextFile(path(QStringLiteral("full.txt")), text), int(ReadSuccess));
        QCOMPARE(text, QStringLiteral("precious"));
    }

    void readResultCodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("Hello\r\nworld") << int(ReadSuccess)
                               << QStringLiteral("Hello\r\nworld");
        QTest::newRow("empty file") << QByteArray() << int(ReadFailed) << QString();
        QTest::newRow("starts with NUL") << QByteArray("\0abc", 4) << int(ReadNoText) << QString();
        QTest::newRow("text ends at NUL")
            << QByteArray("ab\0cd", 5) << int(ReadSuccess) << QStringLiteral("ab");
        QTest::newRow("legacy bytes") << QByteArray("na\xefve \x96 ok") << int(ReadSuccess)
                                      << QString::fromUtf16(u"naïve \u2013 ok");
        QTest::newRow("utf-8") << QByteArray("\xe2\x80\x9cq\xe2\x80\x9d") << int(ReadSuccess)
                               << QString::fromUtf16(u"\u201Cq\u201D");
    }
    void readResultCodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(QString, text);
        put(QStringLiteral("read.txt"), bytes);
        QString read = QStringLiteral("unchanged");
        QCOMPARE(ReadTextFile(path(QStringLiteral("read.txt")), read), result);
        QCOMPARE(read, result == ReadSuccess ? text : QStringLiteral("unchanged"));
    }

    void readingSomethingThatIsNotThere()
    {
        QString text;
        QCOMPARE(ReadTextFile(path(QStringLiteral("missing.txt")), text), int(ReadCannotOpen));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder")));
        const int code = ReadTextFile(path(QStringLiteral("folder")), text);
        QVERIFY(code == ReadCannotOpen || code == ReadFailed);
    }

    void probeRecognisesRichText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("rich");
        QTest::newRow("rtf") << QByteArray("{\\rtf1\\ansi hi}") << 1 << true;
        QTest::newRow("just the marker") << QByteArray("{\\rtf") << 1 << true;
        QTest::newRow("too short") << QByteArray("{\\rt") << 1 << false;
        QTest::newRow("plain") << QByteArray("Dear customer") << 1 << false;
        QTest::newRow("upper case") << QByteArray("{\\RTF1") << 1 << false;
        QTest::newRow("empty") << QByteArray() << 0 << false;
    }
    void probeRecognisesRichText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(bool, rich);
        put(QStringLiteral("probe"), bytes);
        bool isRich = !rich;
        QCOMPARE(ProbeRichTextFile(path(QStringLiteral("probe")), isRich), result);
        QCOMPARE(isRich, rich);
        QCOMPARE(ProbeRichTextFile(path(QStringLiteral("absent")), isRich), 0);
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
