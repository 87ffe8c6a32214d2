#include "registry/RegistryKey.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vnt::registry;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool put(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

const QByteArray SystemFile = R"(; installed
[HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail]
@="Beta"
[HKLM\SOFTWARE\Clients\Mail\beta]
"DLLPathEx"=str(2):"%VNT_TEST_ROOT%/lib/beta.so"
"Count"=dword:0000002a
[HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail\Alpha]
"DLLPathEx"="/opt/alpha.so"
"Blob"=hex:00,ff,\
  10
[HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail\Gamma\Sub]
)";

QStringList subkeys(const RegistryKey& key)
{
    QStringList names;
    QString name;
    for (std::uint32_t i = 0; key.enumKey(i, &name) == ERROR_SUCCESS; ++i) {
        names.append(name);
    }
    return names;
}

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_system = m_dir.filePath(QStringLiteral("system.ini"));
        m_user = m_dir.filePath(QStringLiteral("user/registry.ini"));
        QVERIFY(put(m_system, SystemFile));
        qputenv("VNT_TEST_ROOT", "/srv/root");
    }

    void cleanup() { QFile::remove(m_user); }

    void installedContentNamesTheBuiltMailLibrary()
    {
        // A program in the build tree reads the build tree's registry file.
        QTemporaryDir config;
        qunsetenv("VANTREL_REGISTRY");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        RegistryKey mail;
        QCOMPARE(mail.open(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Clients\\Mail"), KEY_READ),
                 ERROR_SUCCESS);
        RegistryValue defaultClient;
        QCOMPARE(mail.queryValue(QString(), &defaultClient), ERROR_SUCCESS);
        QString client;
        QCOMPARE(mail.enumKey(0, &client, 1024), ERROR_SUCCESS);
        QCOMPARE(client, defaultClient.toString());
        RegistryKey entry;
        QCOMPARE(entry.open(mail, client, KEY_READ), ERROR_SUCCESS);
        RegistryValue path;
        QCOMPARE(entry.queryValue(QStringLiteral("DLLPathEx"), &path), ERROR_SUCCESS);
        QCOMPARE(path.type, REG_SZ);
        QCOMPARE(path.toString(), QStringLiteral(VNTREGISTRY_TEST_MAPI));
        QCOMPARE(resolveLibraryName(QStringLiteral("mapi32.dll")), path.toString());
        QCOMPARE(resolveLibraryName(QStringLiteral("MAPI32.DLL")), path.toString());
        QCOMPARE(resolveLibraryName(QStringLiteral("/opt/x/mapi32.dll")),
                 QStringLiteral("/opt/x/mapi32.dll"));
        QCOMPARE(resolveLibraryName(QStringLiteral("other.dll")), QStringLiteral("other.dll"));

        // The "MAPIX" value fits the ten bytes the discovery reads it into.
        RegistryKey messaging;
        QCOMPARE(messaging.open(HKEY_LOCAL_MACHINE,
                                QStringLiteral("SOFTWARE\\Microsoft\\Windows Messaging Subsystem"),
                                KEY_READ),
                 ERROR_SUCCESS);
        char buffer[10] = {};
        std::uint32_t size = sizeof buffer;
        QCOMPARE(messaging.queryValue(QStringLiteral("MAPIX"), nullptr, buffer, &size),
                 ERROR_SUCCESS);
        QCOMPARE(QByteArray(buffer, int(size)), QByteArray("1", 2));

        // A user's own setting wins, and a mapping for the name replaces the built library.
        RegistryKey libraries;
        QCOMPARE(libraries.create(HKEY_LOCAL_MACHINE,
                                  QStringLiteral("SOFTWARE\\Korvane\\Libraries"), KEY_WRITE),
                 ERROR_SUCCESS);
        QCOMPARE(
            libraries.setValue(QStringLiteral("Mapi32.dll"),
                               RegistryValue::expandString(QStringLiteral("%VNT_TEST_ROOT%/m.so"))),
            ERROR_SUCCESS);
        QCOMPARE(resolveLibraryName(QStringLiteral("mapi32.dll")),
                 QStringLiteral("/srv/root/m.so"));
        QVERIFY(QFile::exists(config.filePath(QStringLiteral("Korvane/registry.ini"))));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void mergesTheUserFileOverTheSystemFile()
    {
        Registry registry({m_system, m_user});
        RegistryKey mail;
        QCOMPARE(mail.open(registry, HKEY_LOCAL_MACHINE, QStringLiteral("software\\clients\\MAIL"),
                           KEY_ALL_ACCESS),
                 ERROR_SUCCESS);
        QCOMPARE(subkeys(mail), (QStringList{"Alpha", "beta", "Gamma"}));

        // Changes: a value overridden, one removed, a key removed and one added.
        RegistryKey beta;
        QCOMPARE(beta.open(mail, QStringLiteral("Beta"), KEY_ALL_ACCESS), ERROR_SUCCESS);
        QCOMPARE(beta.setValue(QStringLiteral("count"), RegistryValue::dword(7)), ERROR_SUCCESS);
        QCOMPARE(beta.deleteValue(QStringLiteral("DLLPATHEX")), ERROR_SUCCESS);
        QCOMPARE(beta.deleteValue(QStringLiteral("DLLPathEx")), ERROR_FILE_NOT_FOUND);
        QCOMPARE(mail.deleteKey(QStringLiteral("Gamma")), ERROR_ACCESS_DENIED); // has a subkey
        QCOMPARE(mail.deleteTree(QStringLiteral("Gamma")), ERROR_SUCCESS);
        bool created = false;
        RegistryKey delta;
        QCOMPARE(delta.create(mail, QStringLiteral("Delta\\Inner"), KEY_READ, &created),
                 ERROR_SUCCESS);
        QVERIFY(created);
        QCOMPARE(delta.create(mail, QStringLiteral("delta\\inner"), KEY_READ, &created),
                 ERROR_SUCCESS);
        QVERIFY(!created);
        QCOMPARE(readAll(m_system), SystemFile);

        // A second process sees the same merged view through the files alone.
        const QString copy = m_dir.filePath(QStringLiteral("copy.ini"));
        QVERIFY(QFile::copy(m_user, copy));
        Registry other({m_system, copy});
        RegistryKey seen;
        QCOMPARE(seen.open(other, HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Clients\\Mail"),
                           KEY_READ),
                 ERROR_SUCCESS);
        QCOMPARE(subkeys(seen), (QStringList{"Alpha", "beta", "Delta"}));
        RegistryKey seenBeta;
        QCOMPARE(seenBeta.open(seen, QStringLiteral("beta"), KEY_READ), ERROR_SUCCESS);
        RegistryValue value;
        QCOMPARE(seenBeta.queryValue(QStringLiteral("DLLPathEx"), &value), ERROR_FILE_NOT_FOUND);
        QCOMPARE(seenBeta.queryValue(QStringLiteral("Count"), &value), ERROR_SUCCESS);
        QCOMPARE(value.toNumber(), 7u);
        QCOMPARE(seen.open(other, HKEY_LOCAL_MACHINE,
                           QStringLiteral("SOFTWARE\\Clients\\Mail\\Gamma\\Sub"), KEY_READ),
                 ERROR_FILE_NOT_FOUND);

        // A removed system key made again starts empty: its old subkey stays gone.
        QCOMPARE(delta.create(mail, QStringLiteral("Gamma"), KEY_READ, &created), ERROR_SUCCESS);
        QVERIFY(created);
        QCOMPARE(subkeys(delta), QStringList());
        QVERIFY(QFile::remove(m_user));
        QCOMPARE(subkeys(mail), (QStringList{"Alpha", "beta", "Gamma"}));
    }

    void valuesKeepTypeAndBytesThroughTheFile_data()
    {
        QTest::addColumn<RegistryValue>("value");
        QTest::newRow("string") << RegistryValue::string(QStringLiteral("C:\\a \"b\"\n\tÿ€"));
        QTest::newRow("empty string") << RegistryValue::string(QString());
        QTest::newRow("expandable") << RegistryValue::expandString(QStringLiteral("%HOME%\\x"));
        QTest::newRow("dword") << RegistryValue::dword(0xFFFFFFFFu);
        QTest::newRow("qword") << RegistryValue::qword(0x0102030405060708ull);
        QTest::newRow("binary") << RegistryValue::binary(QByteArray("\0\x01\xff", 3));
        QTest::newRow("empty binary") << RegistryValue::binary({});
        QTest::newRow("multi") << RegistryValue::multiString({"one", "two"});
        QTest::newRow("string without NUL") << RegistryValue{REG_SZ, "abc"};
        QTest::newRow("unknown type") << RegistryValue{0x99, "\x05"};
    }

    void valuesKeepTypeAndBytesThroughTheFile()
    {
        QFETCH(RegistryValue, value);
        {
            RegistryKey key;
            QCOMPARE(key.create(Registry({QString(), m_user}), HKEY_CURRENT_USER,
                                QStringLiteral("Software\\Test"), KEY_ALL_ACCESS),
                     ERROR_SUCCESS);
            QCOMPARE(key.setValue(QStringLiteral("v=\"1\""), value), ERROR_SUCCESS);
        }
        const QString copy =
            m_dir.filePath(QStringLiteral("copy-%1.ini").arg(QTest::currentDataTag()));
        QVERIFY(QFile::copy(m_user, copy));
        Registry registry({QString(), copy});
        QCOMPARE(registry.damagedLines(), 0);
        RegistryKey key;
        QCOMPARE(key.open(registry, HKEY_CURRENT_USER, QStringLiteral("Software\\Test"), KEY_READ),
                 ERROR_SUCCESS);
        RegistryValue read;
        QCOMPARE(key.queryValue(QStringLiteral("V=\"1\""), &read), ERROR_SUCCESS);
        QCOMPARE(read.type, value.type);
        QCOMPARE(read.data, value.data);
    }

    void buffersAndLimitsAnswerAsTheRegistryDoes()
    {
        Registry registry({m_system, m_user});
        RegistryKey alpha;
        QCOMPARE(alpha.open(registry, HKEY_LOCAL_MACHINE,
                            QStringLiteral("SOFTWARE\\Clients\\Mail\\Alpha"), KEY_READ),
                 ERROR_SUCCESS);
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        QCOMPARE(alpha.queryValue(QStringLiteral("DLLPathEx"), &type, nullptr, &size),
                 ERROR_SUCCESS);
        QCOMPARE(type, REG_SZ);
        QCOMPARE(size, 14u); // "/opt/alpha.so" and its NUL
        char small[13];
        std::memset(small, 'x', sizeof small);
        size = sizeof small;
        QCOMPARE(alpha.queryValue(QStringLiteral("DLLPathEx"), &type, small, &size),
                 ERROR_MORE_DATA);
        QCOMPARE(size, 14u);
        QCOMPARE(small[0], 'x');
        RegistryValue blob;
        QCOMPARE(alpha.queryValue(QStringLiteral("Blob"), &blob), ERROR_SUCCESS);
        QCOMPARE(blob, RegistryValue::binary(QByteArray("\0\xff\x10", 3)));
        QCOMPARE(alpha.queryValue(QStringLiteral("Missing"), &blob), ERROR_FILE_NOT_FOUND);
        QCOMPARE(alpha.setValue(QStringLiteral("x"), RegistryValue::dword(1)), ERROR_ACCESS_DENIED);

        RegistryKey mail;
        QCOMPARE(mail.open(alpha, QStringLiteral("..\\x"), KEY_READ), ERROR_FILE_NOT_FOUND);
        QCOMPARE(mail.open(registry, HKEY_LOCAL_MACHINE,
                           QStringLiteral("SOFTWARE\\Clients\\Mail\\"), KEY_READ),
                 ERROR_SUCCESS);
        QString name;
        QCOMPARE(mail.enumKey(2, &name, 5), ERROR_SUCCESS);
        QCOMPARE(name, QStringLiteral("Gamma"));
        QCOMPARE(mail.enumKey(2, &name, 4), ERROR_MORE_DATA);
        QCOMPARE(mail.enumKey(3, &name), ERROR_NO_MORE_ITEMS);
        QCOMPARE(mail.enumValue(0, &name, &blob), ERROR_SUCCESS);
        QCOMPARE(name, QString()); // the default value comes first
        std::uint32_t keys = 0;
        std::uint32_t values = 0;
        QCOMPARE(mail.queryInfo(&keys, &values), ERROR_SUCCESS);
        QCOMPARE(keys, 3u);
        QCOMPARE(values, 1u);

        // A key removed by someone else while open.
        RegistryKey writer;
        QCOMPARE(writer.open(registry, HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Clients"),
                             KEY_ALL_ACCESS),
                 ERROR_SUCCESS);
        QCOMPARE(writer.deleteTree(QStringLiteral("Mail")), ERROR_SUCCESS);
        QCOMPARE(alpha.queryValue(QStringLiteral("DLLPathEx"), &blob), ERROR_KEY_DELETED);
        QCOMPARE(mail.enumKey(0, &name), ERROR_KEY_DELETED);
        RegistryKey closed;
        QCOMPARE(closed.queryValue(QString(), &blob), ERROR_INVALID_HANDLE);
    }

    void expandsStringsFromTheEnvironment_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expanded");
        QTest::newRow("variable") << "%VNT_TEST_ROOT%/lib"
                                  << "/srv/root/lib";
        QTest::newRow("twice") << "%VNT_TEST_ROOT%%VNT_TEST_ROOT%"
                               << "/srv/root/srv/root";
        QTest::newRow("unknown kept") << "%VNT_NOT_SET%/x"
                                      << "%VNT_NOT_SET%/x";
        QTest::newRow("percent before") << "100% of %VNT_TEST_ROOT%"
                                        << "100% of /srv/root";
        QTest::newRow("lone percent") << "50%"
                                      << "50%";
        QTest::newRow("empty name") << "a%%b"
                                    << "a%%b";
    }

    void expandsStringsFromTheEnvironment()
    {
        QFETCH(QString, text);
        QFETCH(QString, expanded);
        QCOMPARE(expandEnvironmentStrings(text), expanded);
    }

    void getValueExpandsAndFiltersTypes()
    {
        Registry registry({m_system, m_user});
        RegistryKey beta;
        QCOMPARE(beta.open(registry, HKEY_LOCAL_MACHINE,
                           QStringLiteral("SOFTWARE\\Clients\\Mail\\Beta"), KEY_READ),
                 ERROR_SUCCESS);
        RegistryValue value;
        QCOMPARE(beta.queryValue(QStringLiteral("DLLPathEx"), &value), ERROR_SUCCESS);
        QCOMPARE(value.type, REG_EXPAND_SZ);
        QCOMPARE(beta.getValue(QStringLiteral("DLLPathEx"), RRF_RT_REG_SZ, &value), ERROR_SUCCESS);
        QCOMPARE(value, RegistryValue::string(QStringLiteral("/srv/root/lib/beta.so")));
        QCOMPARE(beta.getValue(QStringLiteral("DLLPathEx"), RRF_RT_REG_SZ | RRF_NOEXPAND, &value),
                 ERROR_UNSUPPORTED_TYPE);
        QCOMPARE(beta.getValue(QStringLiteral("Count"), RRF_RT_REG_SZ, &value),
                 ERROR_UNSUPPORTED_TYPE);
        QCOMPARE(beta.getValue(QStringLiteral("Count"), RRF_RT_ANY, &value), ERROR_SUCCESS);
        QCOMPARE(value.toNumber(), 42u);
    }

    void damagedLinesAreSkipped()
    {
        const QString path = m_dir.filePath(QStringLiteral("damaged.ini"));
        QVERIFY(put(path, "\"orphan\"=\"no key yet\"\n"
                          "[HKEY_LOCAL_MACHINE\\A]\n"
                          "\"good\"=dword:1\n"
                          "\"bad\"=dword:123456789\n"
                          "\"unterminated=\"x\"\n"
                          "\"hex\"=hex:zz\n"
                          "[HKEY_NOWHERE\\B]\n"
                          "\"lost\"=\"x\"\n"
                          "[HKEY_LOCAL_MACHINE\\C\n"));
        Registry registry({QString(), path});
        QCOMPARE(registry.damagedLines(), 7);
        RegistryKey key;
        QCOMPARE(key.open(registry, HKEY_LOCAL_MACHINE, QStringLiteral("A"), KEY_READ),
                 ERROR_SUCCESS);
        std::uint32_t values = 0;
        QCOMPARE(key.queryInfo(nullptr, &values), ERROR_SUCCESS);
        QCOMPARE(values, 1u);
    }

    void writesThatCannotHappenReportWhy()
    {
        // The user file's folder cannot be made: its parent is a file.
        QVERIFY(put(m_dir.filePath(QStringLiteral("plain")), "x"));
        Registry registry({m_system, m_dir.filePath(QStringLiteral("plain/sub/registry.ini"))});
        RegistryKey key;
        QCOMPARE(
            key.create(registry, HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\New"), KEY_WRITE),
            ERROR_ACCESS_DENIED);
        QCOMPARE(key.open(registry, HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Clients\\Mail"),
                          KEY_WRITE | KEY_READ),
                 ERROR_SUCCESS);
        QCOMPARE(key.setValue(QString(), RegistryValue::string(QStringLiteral("x"))),
                 ERROR_ACCESS_DENIED);
        RegistryValue value;
        QCOMPARE(key.queryValue(QString(), &value), ERROR_SUCCESS);
        QCOMPARE(value.toString(), QStringLiteral("Beta"));
        // Without a user file nothing can change.
        Registry readOnly({m_system, QString()});
        QCOMPARE(key.open(readOnly, HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE"), KEY_ALL_ACCESS),
                 ERROR_SUCCESS);
        QCOMPARE(key.deleteTree(QStringLiteral("Clients")), ERROR_ACCESS_DENIED);
    }

private:
    QTemporaryDir m_dir;
    QString m_system;
    QString m_user;
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
