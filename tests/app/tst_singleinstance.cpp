#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString home() const
    {
        return m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + u'/');
    }
    static QString socketPath(const QString& home)
    {
        return QDir::tempPath() + u'/' + SingleInstance::serverName(home);
    }
    // Whether a run listens; the connection asks it to come to the front, which is harmless.
    static bool answers(const QString& home)
    {
        QLocalSocket socket;
        socket.connectToServer(SingleInstance::serverName(home));
        return socket.waitForConnected(200);
    }
    // A socket file nobody listens on, as a killed run leaves it.
    static bool leaveStaleSocket(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (name.size() >= qsizetype(sizeof address.sun_path))
            return false;
        qstrcpy(address.sun_path, name.constData());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return bound && QFile::exists(path);
    }
    std::unique_ptr<QProcess> run(const QString& home)
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(VANTREL_PROGRAM_PATH),
                       {QStringLiteral("--home"), home, QStringLiteral("--settings"),
                        m_dir.filePath(QStringLiteral("settings.ini"))});
        return process;
    }

private Q_SLOTS:
    void serverNameFollowsTheCanonicalDirectory()
    {
        const QString home = this->home();
        QVERIFY(QDir().mkpath(home + QStringLiteral("real")));
        QVERIFY(QFile::link(home + QStringLiteral("real"), home + QStringLiteral("link")));
        const QString name = SingleInstance::serverName(home + QStringLiteral("real"));
        QCOMPARE(SingleInstance::serverName(home + QStringLiteral("real/")), name);
        QCOMPARE(SingleInstance::serverName(home + QStringLiteral("link/")), name);
        // A directory not made yet has the name it will have once it exists.
        const QString later = SingleInstance::serverName(home + QStringLiteral("link/new"));
        QVERIFY(later != name);
        QVERIFY(QDir().mkpath(home + QStringLiteral("real/new")));
        QCOMPARE(SingleInstance::serverName(home + QStringLiteral("link/new")), later);
        QVERIFY(socketPath(home).size() < 100);
    }

    void laterClaimBringsTheFirstWindowToTheFront()
    {
        SingleInstance first(home());
        QCOMPARE(first.claim(), SingleInstance::Role::First);
        QVERIFY(first.isListening());
        QWidget window;
        window.showMinimized();
        QVERIFY(window.isMinimized());
        connect(&first, &SingleInstance::activationRequested, &window,
                [&window] { SingleInstance::bringToFront(&window); });

        SingleInstance later(home());
        QCOMPARE(later.claim(), SingleInstance::Role::Later);
        QVERIFY(!later.isListening());
        QTRY_VERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
        // Another program directory is another program.
        SingleInstance elsewhere(home() + QStringLiteral("other"));
        QCOMPARE(elsewhere.claim(), SingleInstance::Role::First);
    }

    void staleSocketIsReplaced()
    {
        QVERIFY(leaveStaleSocket(socketPath(home())));
        SingleInstance instance(home());
        QCOMPARE(instance.claim(), SingleInstance::Role::First);
        QVERIFY(instance.isListening());
    }

    void secondStartOfTheProgramEndsAtOnce()
    {
        const QString home = this->home();
        auto first = run(home);
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(answers(home), 30000);

        QElapsedTimer clock;
        clock.start();
        auto second = run(home);
        QVERIFY(second->waitForFinished(10000));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY2(elapsed < 5000, qPrintable(QString::number(elapsed)));
        QCOMPARE(first->state(), QProcess::Running);

        // Killed, the first run leaves its socket behind; the next start is not stopped by it.
        first->kill();
        QVERIFY(first->waitForFinished());
        QVERIFY(QFile::exists(socketPath(home)));
        auto third = run(home);
        QVERIFY(third->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(answers(home) || third->state() != QProcess::Running, 30000);
        QCOMPARE(third->state(), QProcess::Running);
        auto fourth = run(home);
        QVERIFY(fourth->waitForFinished(10000));
        QCOMPARE(fourth->exitCode(), 0);
        QCOMPARE(third->state(), QProcess::Running);
        third->kill();
        third->waitForFinished();
        QFile::remove(socketPath(home));
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
