#include "OleDbTestUtil.h"

using namespace oledbtest;

// LIKE in the statements: '%' any run, '_' one character, case ignored for all letters
// as the desktop engines do, not only for A to Z.
class TestOleDbLike : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matches_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("matched");
        QTest::newRow("ASCII case") << "LIKE '%abc%'"
                                    << "xxABCyy" << true;
        QTest::newRow("accented case") << "LIKE '%\u00c4RGER%'"
                                       << "Viel \u00e4rger hier" << true;
        QTest::newRow("Greek case") << "LIKE '%\u03a3\u039f\u03a6%'"
                                    << "\u03c3\u03bf\u03c6\u03af\u03b1" << true;
        QTest::newRow("accent is not ignored") << "LIKE '%cafe%'"
                                               << "caf\u00e9" << false;
        QTest::newRow("underscore takes one character") << "LIKE 'a_c'"
                                                        << "a\u00dfc" << true;
        QTest::newRow("underscore needs one") << "LIKE 'a_c'"
                                              << "ac" << false;
        QTest::newRow("underscore after non-ASCII text") << "LIKE '\u00fc_'"
                                                         << "\u00dcx" << true;
        QTest::newRow("whole value") << "LIKE 'abc'"
                                     << "abcd" << false;
        QTest::newRow("percent matches nothing") << "LIKE '%'"
                                                 << "" << true;
        QTest::newRow("two runs, backtracking") << "LIKE '%a%b%'"
                                                << "xaxxbx" << true;
        QTest::newRow("runs in the wrong order") << "LIKE '%b%a'"
                                                 << "ab" << false;
        QTest::newRow("escaped percent") << "LIKE '10\\%%' ESCAPE '\\'"
                                         << "10% off" << true;
        QTest::newRow("escaped percent is literal") << "LIKE '10\\%%' ESCAPE '\\'"
                                                    << "100 off" << false;
        QTest::newRow("no blank before the quote") << "LIKE'%gin%'"
                                                   << "Login" << true;
        QTest::newRow("null never matches") << "LIKE '%'" << QString() << false;
        QTest::newRow("not like") << "NOT LIKE '%abc%'"
                                  << "xyz" << true;
    }
    void matches()
    {
        QFETCH(QString, condition);
        QFETCH(QString, value);
        QFETCH(bool, matched);
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        auto rowset = db.execute(QStringLiteral("SELECT * FROM Knowledge"));
        QString text = value;
        DBSTATUS status = value.isNull() ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
        Accessor accessor;
        QCOMPARE(rowset->createAccessor({Binding::text(4, 255, &text, &status)}, &accessor), S_OK);
        QCOMPARE(rowset->insertRow(accessor), S_OK);
        HRESULT hr = E_FAIL;
        auto found = db.execute(
            QStringLiteral("SELECT * FROM Knowledge WHERE Knowledge.[Fact or Problem] ") +
                condition,
            &hr);
        QVERIFY2(found, qPrintable(describe(db.lastCommand())));
        QCOMPARE(found->rowCount(), matched ? 1 : 0);
    }

    void numbersMatchTheirText()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        db.insertJobs({{123, QStringLiteral("p"), QStringLiteral("Ann"), 45000.5, 0, 0}});
        QCOMPARE(db.execute(QStringLiteral("SELECT * FROM Job WHERE Job.[Job number] LIKE '%23'"))
                     ->rowCount(),
                 1);
        QCOMPARE(
            db.execute(QStringLiteral("SELECT * FROM Job WHERE Job.[Start date] LIKE '45000.5'"))
                ->rowCount(),
            1);
    }

    void badEscape()
    {
        TestDatabase db(Kind::Sqlite);
        QCOMPARE(db.open(), S_OK);
        db.insertJobs({{1, QStringLiteral("p"), QStringLiteral("Ann"), 45000, 0, 0}});
        HRESULT hr = S_OK;
        QVERIFY(!db.execute(QStringLiteral("SELECT * FROM Job WHERE Problem LIKE 'p' ESCAPE 'ab'"),
                            &hr));
        QVERIFY(failed(hr));
        QVERIFY(describe(db.lastCommand()).contains(QLatin1String("ESCAPE")));
    }
};

QTEST_GUILESS_MAIN(TestOleDbLike)
#include "tst_oledblike.moc"
