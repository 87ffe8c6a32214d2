#include "shell/Shell.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace vnt::shell;

namespace {

bool put(const QString& path, const QByteArray& data, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
        return false;
    }
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFile::ExeOwner);
}

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    lines.removeLast();
    return lines;
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const QString root = m_dir->path();
        qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
        qputenv("XDG_DATA_DIRS", (root + "/none").toUtf8());
        qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (root + "/none").toUtf8());
        qunsetenv("XDG_CURRENT_DESKTOP");
        qputenv("VANTREL_REGISTRY", (root + "/registry.ini").toUtf8());
        m_marker = root + "/marker";
        qputenv("VNT_MARKER", m_marker.toUtf8());
        // Writes its arguments one a line, then renames so a reader never sees half.
        m_script = root + "/bin/mailer";
        QVERIFY(put(m_script,
                    "#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$@\" > \"$VNT_MARKER.tmp\" && "
                    "mv \"$VNT_MARKER.tmp\" \"$VNT_MARKER\"\n",
                    true));
        setOutlookRegistration(QString());
    }

    void startsTheDesktopHandler_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("parameters");
        QTest::addColumn<QStringList>("arguments");
        const QString desktop = m_dirPathPlaceholder();
        QTest::newRow("mail client, codes dropped and filled")
            << "SCRIPT %U --name=%c 100%% %i %d"
            << "outlook.exe"
            << "" << QStringList{"--name=Mail Tester", "100%", "--icon", "mail-icon"};
        QTest::newRow("mailto URL")
            << "\"SCRIPT\" -compose %u"
            << "mailto:a@example.org"
            << "--extra" << QStringList{"-compose", "mailto:a@example.org", "--extra"};
        QTest::newRow("quoting") << "SCRIPT \"two words\" \"q\\\\\"x\\\\\\\\y\" a\\sb %k"
                                 << "outlook.exe"
                                 << "" << QStringList{"two words", "q\"x\\y", "a", "b", desktop};
    }

    void startsTheDesktopHandler()
    {
        QFETCH(QString, exec);
        QFETCH(QString, file);
        QFETCH(QString, parameters);
        QFETCH(QStringList, arguments);
        const QString entry = m_dir->filePath("data/applications/vendor/tester.desktop");
        writeDesktopEntry(entry, exec.replace("SCRIPT", m_script));
        writeMimeapps("vendor-tester.desktop");
        const std::intptr_t result = shellExecute({}, file, parameters, m_dir->path());
        QVERIFY2(result > 32, qPrintable(QString::number(result)));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_marker), 5000);
        arguments.replaceInStrings(m_dirPathPlaceholder(), entry);
        QCOMPARE(readLines(m_marker), QStringList{m_dir->path()} + arguments);
    }

    void runsTheConfiguredCommand()
    {
        setOutlookRegistration('"' + m_script + "\" --from-registry \"a b\"");
        const std::intptr_t result = shellExecute(QStringLiteral("open"), "OUTLOOK.EXE", "x", {});
        QVERIFY2(result > 32, qPrintable(QString::number(result)));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_marker), 5000);
        QCOMPARE(readLines(m_marker).mid(1), (QStringList{"--from-registry", "a b", "x"}));
    }

    void failuresAnswerWithTheirCodes_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QString>("mimeappsDefault");
        QTest::addColumn<QString>("verb");
        QTest::addColumn<int>("expected");
        QTest::newRow("no handler") << ""
                                    << ""
                                    << ""
                                    << "" << int(SE_ERR_NOASSOC);
        QTest::newRow("default not installed") << ""
                                               << ""
                                               << "gone.desktop"
                                               << "" << int(SE_ERR_ASSOCINCOMPLETE);
        QTest::newRow("unbalanced quote") << ""
                                          << "\"SCRIPT"
                                          << "vendor-tester.desktop"
                                          << "" << int(SE_ERR_ASSOCINCOMPLETE);
        QTest::newRow("unknown field code") << ""
                                            << "SCRIPT %z"
                                            << "vendor-tester.desktop"
                                            << "" << int(SE_ERR_ASSOCINCOMPLETE);
        QTest::newRow("handler not executable") << ""
                                                << "ROOT/plain.txt"
                                                << "vendor-tester.desktop"
                                                << "" << int(SE_ERR_ACCESSDENIED);
        QTest::newRow("handler missing") << ""
                                         << "ROOT/bin/absent"
                                         << "vendor-tester.desktop"
                                         << "" << int(ERROR_FILE_NOT_FOUND);
        QTest::newRow("handler folder missing") << ""
                                                << "ROOT/nowhere/prog"
                                                << "vendor-tester.desktop"
                                                << "" << int(ERROR_PATH_NOT_FOUND);
        QTest::newRow("handler not in PATH") << ""
                                             << "vnt-no-such-program-here"
                                             << "vendor-tester.desktop"
                                             << "" << int(ERROR_FILE_NOT_FOUND);
        QTest::newRow("missing interpreter") << ""
                                             << "ROOT/bad-interpreter"
                                             << "vendor-tester.desktop"
                                             << "" << int(ERROR_FILE_NOT_FOUND);
        QTest::newRow("configured not executable") << "ROOT/plain.txt --x"
                                                   << ""
                                                   << ""
                                                   << "" << int(SE_ERR_ACCESSDENIED);
        QTest::newRow("configured is a folder") << "ROOT/bin"
                                                << ""
                                                << ""
                                                << "" << int(SE_ERR_ACCESSDENIED);
        QTest::newRow("other verb") << "SCRIPT"
                                    << ""
                                    << ""
                                    << "print" << int(SE_ERR_NOASSOC);
    }

    void failuresAnswerWithTheirCodes()
    {
        QFETCH(QString, configured);
        QFETCH(QString, exec);
        QFETCH(QString, mimeappsDefault);
        QFETCH(QString, verb);
        QFETCH(int, expected);
        const QString root = m_dir->path();
        QVERIFY(put(root + "/plain.txt", "not a program\n"));
        QVERIFY(put(root + "/bad-interpreter", "#!/nonexistent/sh\n", true));
        setOutlookRegistration(configured.replace("ROOT", root).replace("SCRIPT", m_script));
        if (!exec.isEmpty()) {
            writeDesktopEntry(root + "/data/applications/vendor/tester.desktop",
                              exec.replace("ROOT", root).replace("SCRIPT", m_script));
        }
        if (!mimeappsDefault.isEmpty()) {
            writeMimeapps(mimeappsDefault);
        }
        QCOMPARE(int(shellExecute(verb, "outlook.exe", {}, {})), expected);
        QTest::qWait(100);
        QVERIFY(!QFile::exists(m_marker));
    }

    void findsTopLevelWindowsByTitle()
    {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty()) {
            QSKIP("Xvfb is not installed");
        }
        QProcess server;
        server.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp"});
        QVERIFY(server.waitForStarted());
        QByteArray number;
        for (int i = 0; i < 100 && !number.endsWith('\n'); ++i) {
            server.waitForReadyRead(100);
            number += server.readAllStandardOutput();
        }
        QVERIFY2(number.endsWith('\n'), "Xvfb gave no display number");
        const QByteArray name = ':' + number.trimmed();
        qputenv("DISPLAY", name);

        Display* display = XOpenDisplay(name.constData());
        QVERIFY(display);
        const Window root = DefaultRootWindow(display);
        const Window latin = XCreateSimpleWindow(display, root, 0, 0, 50, 50, 0, 0, 0);
        XStoreName(display, latin, "Microsoft Outlook");
        XMapWindow(display, latin);
        const Window utf8 = XCreateSimpleWindow(display, root, 0, 0, 50, 50, 0, 0, 0);
        const QByteArray title = QStringLiteral("Posteingang – Ärger").toUtf8();
        XChangeProperty(display, utf8, XInternAtom(display, "_NET_WM_NAME", False),
                        XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.constData()),
                        int(title.size()));
        XSync(display, False);

        QVERIFY(isTopLevelWindowOpen("Microsoft Outlook"));
        QVERIFY(isTopLevelWindowOpen("MICROSOFT OUTLOOK"));
        QVERIFY(isTopLevelWindowOpen(QStringLiteral("posteingang – ärger")));
        QVERIFY(!isTopLevelWindowOpen("Microsoft"));
        QVERIFY(!isTopLevelWindowOpen(QString()));
        XDestroyWindow(display, latin);
        XSync(display, False);
        QVERIFY(!isTopLevelWindowOpen("Microsoft Outlook"));
        XCloseDisplay(display);

        server.terminate();
        QVERIFY(server.waitForFinished(5000));
        QVERIFY(!isTopLevelWindowOpen(QStringLiteral("Posteingang – Ärger")));
        qunsetenv("DISPLAY");
        QVERIFY(!isTopLevelWindowOpen(QStringLiteral("Posteingang – Ärger")));
    }

private:
    static QString m_dirPathPlaceholder() { return QStringLiteral("<desktop file>"); }

    void setOutlookRegistration(const QString& command)
    {
        QByteArray text = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                          "App Paths\\outlook.exe]\n\"MimeType\"=\"x-scheme-handler/mailto\"\n";
        if (!command.isEmpty()) {
            text += "@=\"" + command.toUtf8().replace("\\", "\\\\").replace("\"", "\\\"") + "\"\n";
        }
        QVERIFY(put(qEnvironmentVariable("VANTREL_REGISTRY"), text));
    }

    void writeDesktopEntry(const QString& path, const QString& exec)
    {
        QVERIFY(put(path, "[Desktop Entry]\nType=Application\nName=Mail Tester\n"
                          "Name[de]=Posttester\nIcon=mail-icon\nExec=" +
                              exec.toUtf8() + "\nMimeType=x-scheme-handler/other;\n"));
    }

    void writeMimeapps(const QString& id)
    {
        QVERIFY(put(m_dir->filePath("config/mimeapps.list"),
                    "[Default Applications]\nx-scheme-handler/mailto=missing.desktop;" +
                        id.toUtf8() + ";\n"));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_marker;
    QString m_script;
};

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
