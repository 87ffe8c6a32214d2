#include "registry/RegistryKey.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
        m_system = m_dir.filePath(u"system.ini"_s);
        m_user = m_dir.filePath(u"user/registry.ini"_s);
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
        QCOMPARE(mail.open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Mail"_s, KEY_READ),
                 ERROR_SUCCESS);
        RegistryValue defaultClient;
        QCOMPARE(mail.queryValue(QString(), &defaultClient), ERROR_SUCCESS);
        QString client;
        QCOMPARE(mail.enumKey(0, &client, 1024), ERROR_SUCCESS);
        QCOMPARE(client, defaultClient.toString());
        RegistryKey entry;
        QCOMPARE(entry.open(mail, client, KEY_READ), ERROR_SUCCESS);
        RegistryValue path;
        QCOMPARE(entry.queryValue(u"DLLPathEx"_s, &path), ERROR_SUCCESS);
        QCOMPARE(path.type, REG_SZ);
        QCOMPARE(path.toString(), QStringLiteral(VNTREGISTRY_TEST_MAPI));
        QCOMPARE(resolveLibraryName(u"mapi32.dll"_s), path.toString());
        QCOMPARE(resolveLibraryName(u"MAPI32.DLL"_s), path.toString());
        QCOMPARE(resolveLibraryName(u"/opt/x/mapi32.dll"_s), u"/opt/x/mapi32.dll"_s);
        QCOMPARE(resolveLibraryName(u"other.dll"_s), u"other.dll"_s);

        // The "MAPIX" value fits the ten bytes the discovery reads it into.
        RegistryKey messaging;
        QCOMPARE(messaging.open(HKEY_LOCAL_MACHINE,
                                u"SOFTWARE\\Microsoft\\Windows Messaging Subsystem"_s, KEY_READ),
                 ERROR_SUCCESS);
        char buffer[10] = {};
        std::uint32_t size = sizeof buffer;
        QCOMPARE(messaging.queryValue(u"MAPIX"_s, nullptr, buffer, &size), ERROR_SUCCESS);
        QCOMPARE(QByteArray(buffer, int(size)), QByteArray("1", 2));

        // A user's own setting wins, and a mapping for the name replaces the built library.
        RegistryKey libraries;
        QCOMPARE(libraries.create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvane\\Libraries"_s, KEY_WRITE),
                 ERROR_SUCCESS);
        QCOMPARE(libraries.setValue(u"Mapi32.dll"_s,
                                    RegistryValue::expandString(u"%VNT_TEST_ROOT%/m.so"_s)),
                 ERROR_SUCCESS);
        QCOMPARE(resolveLibraryName(u"mapi32.dll"_s), u"/srv/root/m.so"_s);
        QVERIFY(QFile::exists(config.filePath(u"Korvane/registry.ini"_s)));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void mergesTheUserFileOverTheSystemFile()
    {
        Registry registry({m_system, m_user});
        RegistryKey mail;
        QCOMPARE(
            mail.open(registry, HKEY_LOCAL_MACHINE, u"software\\clients\\MAIL"_s, KEY_ALL_ACCESS),
            ERROR_SUCCESS);
        QCOMPARE(subkeys(mail), (QStringList{"Alpha", "beta", "Gamma"}));

        // Changes: a value overridden, one removed, a key removed and one added.
        RegistryKey beta;
        QCOMPARE(beta.open(mail, u"Beta"_s, KEY_ALL_ACCESS), ERROR_SUCCESS);
        QCOMPARE(beta.setValue(u"count"_s, RegistryValue::dword(7)), ERROR_SUCCESS);
        QCOMPARE(beta.deleteValue(u"DLLPATHEX"_s), ERROR_SUCCESS);
        QCOMPARE(beta.deleteValue(u"DLLPathEx"_s), ERROR_FILE_NOT_FOUND);
        QCOMPARE(mail.deleteKey(u"Gamma"_s), ERROR_ACCESS_DENIED); // has a subkey
        QCOMPARE(mail.deleteTree(u"Gamma"_s), ERROR_SUCCESS);
        bool created = false;
        RegistryKey delta;
        QCOMPARE(delta.create(mail, u"Delta\\Inner"_s, KEY_READ, &created), ERROR_SUCCESS);
        QVERIFY(created);
        QCOMPARE(delta.create(mail, u"delta\\inner"_s, KEY_READ, &created), ERROR_SUCCESS);
        QVERIFY(!created);
        QCOMPARE(readAll(m_system), SystemFile);

        // A second process sees the same merged view through the files alone.
        const QString copy = m_dir.filePath(u"copy.ini"_s);
        QVERIFY(QFile::copy(m_user, copy));
        Registry other({m_system, copy});
        RegistryKey seen;
        QCOMPARE(seen.open(other, HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Mail"_s, KEY_READ),
                 ERROR_SUCCESS);
        QCOMPARE(subkeys(seen), (QStringList{"Alpha", "beta", "Delta"}));
        RegistryKey seenBeta;
        QCOMPARE(seenBeta.open(seen, u"beta"_s, KEY_READ), ERROR_SUCCESS);
        RegistryValue value;
        QCOMPARE(seenBeta.queryValue(u"DLLPathEx"_s, &value), ERROR_FILE_NOT_FOUND);
        QCOMPARE(seenBeta.queryValue(u"Count"_s, &value), ERROR_SUCCESS);
        QCOMPARE(value.toNumber(), 7u);
        QCOMPARE(seen.open(other, HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Mail\\Gamma\\Sub"_s,
                           KEY_READ),
                 ERROR_FILE_NOT_FOUND);

        // A removed system key made again starts empty: its old subkey stays gone.
        QCOMPARE(delta.create(mail, u"Gamma"_s, KEY_READ, &created), ERROR_SUCCESS);
        QVERIFY(created);
        QCOMPARE(subkeys(delta), QStringList());
        QVERIFY(QFile::remove(m_user));
        QCOMPARE(subkeys(mail), (QStringList{"Alpha", "beta", "Gamma"}));
    }

    void valuesKeepTypeAndBytesThroughTheFile_data()
    {
        QTest::addColumn<RegistryValue>("value");
        QTest::newRow("string") << RegistryValue::string(u"C:\\a \"b\"\n\tÿ€"_s);
        QTest::newRow("empty string") << RegistryValue::string(QString());
        QTest::newRow("expandable") << RegistryValue::expandString(u"%HOME%\\x"_s);
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
                                u"Software\\Test"_s, KEY_ALL_ACCESS),
                     ERROR_SUCCESS);
            QCOMPARE(key.setValue(u"v=\"1\""_s, value), ERROR_SUCCESS);
        }
        const QString copy = m_dir.filePath(u"copy-%1.ini"_s.arg(QTest::currentDataTag()));
        QVERIFY(QFile::copy(m_user, copy));
        Registry registry({QString(), copy});
        QCOMPARE(registry.damagedLines(), 0);
        RegistryKey key;
        QCOMPARE(key.open(registry, HKEY_CURRENT_USER, u"Software\\Test"_s, KEY_READ),
                 ERROR_SUCCESS);
        RegistryValue read;
        QCOMPARE(key.queryValue(u"V=\"1\""_s, &read), ERROR_SUCCESS);
        QCOMPARE(read.type, value.type);
        QCOMPARE(read.data, value.data);
    }

    void buffersAndLimitsAnswerAsTheRegistryDoes()
    {
        Registry registry({m_system, m_user});
        RegistryKey alpha;
        QCOMPARE(
            alpha.open(registry, HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Mail\\Alpha"_s, KEY_READ),
            ERROR_SUCCESS);
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        QCOMPARE(alpha.queryValue(u"DLLPathEx"_s, &type, nullptr, &size), ERROR_SUCCESS);
        QCOMPARE(type, REG_SZ);
        QCOMPARE(size, 14u); // "/opt/alpha.so" and its NUL
        char small[13];
        std::memset(small, 'x', sizeof small);
        size = sizeof small;
        QCOMPARE(alpha.queryValue(u"DLLPathEx"_s, &type, small, &size), ERROR_MORE_DATA);
        QCOMPARE(size, 14u);
        QCOMPARE(small[0], 'x');
        RegistryValue blob;
        QCOMPARE(alpha.queryValue(u"Blob"_s, &blob), ERROR_SUCCESS);
        QCOMPARE(blob, RegistryValue::binary(QByteArray("\0\xff\x10", 3)));
        QCOMPARE(alpha.queryValue(u"Missing"_s, &blob), ERROR_FILE_NOT_FOUND);
        QCOMPARE(alpha.setValue(u"x"_s, RegistryValue::dword(1)), ERROR_ACCESS_DENIED);

        RegistryKey mail;
        QCOMPARE(mail.open(alpha, u"..\\x"_s, KEY_READ), ERROR_FILE_NOT_FOUND);
        QCOMPARE(mail.open(registry, HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Mail\\"_s, KEY_READ),
                 ERROR_SUCCESS);
        QString name;
        QCOMPARE(mail.enumKey(2, &name, 5), ERROR_SUCCESS);
        QCOMPARE(name, u"Gamma"_s);
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
        QCOMPARE(writer.open(registry, HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients"_s, KEY_ALL_ACCESS),
                 ERROR_SUCCESS);
        QCOMPARE(writer.deleteTree(u"Mail"_s), ERROR_SUCCESS);
        QCOMPARE(alpha.queryValue(u"DLLPathEx"_s, &blob), ERROR_KEY_DELETED);
        QCOMPARE(mail.enumKey(0, &name), ERROR_KEY_DELETED);
        RegistryKey closed;
        QCOMPARE(closed.queryValue(QString(), &blob), ERROR_INVALID_HANDLE);
    }

    void expandsStringsFromTheEnvironment_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expanded");
        const auto row = [](const char* tag, const char* text, const char* expanded) {
            QTest::newRow(tag) << QString::fromUtf8(text) << QString::fromUtf8(expanded);
        };
        row("variable", "%VNT_TEST_ROOT%/lib", "/srv/root/lib");
        row("twice", "%VNT_TEST_ROOT%%VNT_TEST_ROOT%", "/srv/root/srv/root");
        row("unknown kept", "%VNT_NOT_SET%/x", "%VNT_NOT_SET%/x");
        row("percent before", "100% of %VNT_TEST_ROOT%", "100% of /srv/root");
        row("lone percent", "50%", "50%");
        row("empty name", "a%%b", "a%%b");
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
        QCOMPARE(
            beta.open(registry, HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Mail\\Beta"_s, KEY_READ),
            ERROR_SUCCESS);
        RegistryValue value;
        QCOMPARE(beta.queryValue(u"DLLPathEx"_s, &value), ERROR_SUCCESS);
        QCOMPARE(value.type, REG_EXPAND_SZ);
        QCOMPARE(beta.getValue(u"DLLPathEx"_s, RRF_RT_REG_SZ, &value), ERROR_SUCCESS);
        QCOMPARE(value, RegistryValue::string(u"/srv/root/lib/beta.so"_s));
        QCOMPARE(beta.getValue(u"DLLPathEx"_s, RRF_RT_REG_SZ | RRF_NOEXPAND, &value),
                 ERROR_UNSUPPORTED_TYPE);
        QCOMPARE(beta.getValue(u"Count"_s, RRF_RT_REG_SZ, &value), ERROR_UNSUPPORTED_TYPE);
        QCOMPARE(beta.getValue(u"Count"_s, RRF_RT_ANY, &value), ERROR_SUCCESS);
        QCOMPARE(value.toNumber(), 42u);
    }

    void damagedLinesAreSkipped()
    {
        const QString path = m_dir.filePath(u"damaged.ini"_s);
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
        QCOMPARE(key.open(registry, HKEY_LOCAL_MACHINE, u"A"_s, KEY_READ), ERROR_SUCCESS);
        std::uint32_t values = 0;
        QCOMPARE(key.queryInfo(nullptr, &values), ERROR_SUCCESS);
        QCOMPARE(values, 1u);
    }

    void writesThatCannotHappenReportWhy()
    {
        // The user file's folder cannot be made: its parent is a file.
        QVERIFY(put(m_dir.filePath(u"plain"_s), "x"));
        Registry registry({m_system, m_dir.filePath(u"plain/sub/registry.ini"_s)});
        RegistryKey key;
        QCOMPARE(key.create(registry, HKEY_LOCAL_MACHINE, u"SOFTWARE\\New"_s, KEY_WRITE),
                 ERROR_ACCESS_DENIED);
        QCOMPARE(key.open(registry, HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Mail"_s,
                          KEY_WRITE | KEY_READ),
                 ERROR_SUCCESS);
        QCOMPARE(key.setValue(QString(), RegistryValue::string(u"x"_s)), ERROR_ACCESS_DENIED);
        RegistryValue value;
        QCOMPARE(key.queryValue(QString(), &value), ERROR_SUCCESS);
        QCOMPARE(value.toString(), u"Beta"_s);
        // Without a user file nothing can change.
        Registry readOnly({m_system, QString()});
        QCOMPARE(key.open(readOnly, HKEY_LOCAL_MACHINE, u"SOFTWARE"_s, KEY_ALL_ACCESS),
                 ERROR_SUCCESS);
        QCOMPARE(key.deleteTree(u"Clients"_s), ERROR_ACCESS_DENIED);
    }

private:
    QTemporaryDir m_dir;
    QString m_system;
    QString m_user;
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
