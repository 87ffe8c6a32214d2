#include "ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <glib.h>

namespace vntprofiles {

namespace {

const char kProfilePrefix[] = "Profile ";

QString tr(const char* text)
{
    return QCoreApplication::translate("ProfileFile", text);
}

QByteArray profileGroup(const QString& profile)
{
    return "Profile " + profile.toUtf8();
}

QByteArray storeGroup(const QString& profile, const QString& store)
{
    return "Store " + profile.toUtf8() + '/' + store.toUtf8();
}

QByteArray transportGroup(const QString& profile)
{
    return "Transport " + profile.toUtf8();
}

QString readString(GKeyFile* keys, const QByteArray& group, const char* key,
                   const QString& fallback = QString())
{
    gchar* value = g_key_file_get_string(keys, group.constData(), key, nullptr);
    if (!value) {
        return fallback;
    }
    const QString result = QString::fromUtf8(value);
    g_free(value);
    return result;
}

bool readBool(GKeyFile* keys, const QByteArray& group, const char* key)
{
    return g_key_file_get_boolean(keys, group.constData(), key, nullptr);
}

QStringList readList(GKeyFile* keys, const QByteArray& group, const char* key)
{
    QStringList result;
    gsize count = 0;
    gchar** items = g_key_file_get_string_list(keys, group.constData(), key, &count, nullptr);
    for (gsize i = 0; i < count; ++i) {
        if (*items[i]) {
            result << QString::fromUtf8(items[i]);
        }
    }
    g_strfreev(items);
    return result;
}

TransportSettings readTransport(GKeyFile* keys, const QByteArray& group)
{
    TransportSettings transport;
    transport.kind =
        readString(keys, group, "Kind").compare(QLatin1String("smtp"), Qt::CaseInsensitive) == 0
            ? TransportSettings::Smtp
            : TransportSettings::Sendmail;
    transport.host = readString(keys, group, "Host");
    const QString security = readString(keys, group, "Security").toLower();
    transport.security = security == QLatin1String("tls")    ? TransportSettings::ImplicitTls
                         : security == QLatin1String("none") ? TransportSettings::Plain
                                                             : TransportSettings::StartTls;
    bool ok = false;
    const int port = readString(keys, group, "Port").trimmed().toInt(&ok);
    transport.port = ok && port > 0 && port <= 65535                        ? port
                     : transport.security == TransportSettings::ImplicitTls ? 465
                                                                            : 587;
    transport.user = readString(keys, group, "User");
    transport.sendmailPath = readString(keys, group, "Sendmail", transport.sendmailPath);
    return transport;
}

// Marks the first item flagged default, or the first of all, as the library does.
template<typename List>
void keepOneDefault(List* items)
{
    bool found = false;
    for (auto& item : *items) {
        item.isDefault = item.isDefault && !found;
        found = found || item.isDefault;
    }
    if (!found && !items->isEmpty()) {
        items->first().isDefault = true;
    }
}

// Copies a group's keys, raw values and comments included, under a new name.
void copyGroup(GKeyFile* from, const QByteArray& fromGroup, GKeyFile* to, const QByteArray& toGroup)
{
    gchar** keys = g_key_file_get_keys(from, fromGroup.constData(), nullptr, nullptr);
    if (!keys) {
        return;
    }
    gchar* groupComment = g_key_file_get_comment(from, fromGroup.constData(), nullptr, nullptr);
    for (gchar** key = keys; *key; ++key) {
        gchar* value = g_key_file_get_value(from, fromGroup.constData(), *key, nullptr);
        g_key_file_set_value(to, toGroup.constData(), *key, value ? value : "");
        g_free(value);
        gchar* comment = g_key_file_get_comment(from, fromGroup.constData(), *key, nullptr);
        if (comment && *comment) {
            g_key_file_set_comment(to, toGroup.constData(), *key, comment, nullptr);
        }
        g_free(comment);
    }
    if (groupComment && *groupComment) {
        g_key_file_set_comment(to, toGroup.constData(), nullptr, groupComment, nullptr);
    }
    g_free(groupComment);
    g_strfreev(keys);
}

void setOrRemove(GKeyFile* keys, const QByteArray& group, const char* key, const QString& value)
{
    if (value.isEmpty()) {
        g_key_file_remove_key(keys, group.constData(), key, nullptr);
    } else {
        g_key_file_set_string(keys, group.constData(), key, value.toUtf8().constData());
    }
}

void setDefaultMark(GKeyFile* keys, const QByteArray& group, bool isDefault)
{
    if (isDefault) {
        g_key_file_set_boolean(keys, group.constData(), "Default", TRUE);
    } else {
        g_key_file_remove_key(keys, group.constData(), "Default", nullptr);
    }
}

bool hasForbiddenCharacter(const QString& name, const QString& forbidden)
{
    return std::any_of(name.begin(), name.end(), [&](QChar c) {
        return c.category() == QChar::Other_Control || forbidden.contains(c);
    });
}

QString checkStoreName(const ProfileSettings& profile, const QString& name, int except)
{
    if (name.trimmed().isEmpty()) {
        return tr("Enter a name for the message store.");
    }
    if (name != name.trimmed()) {
        return tr("A store name cannot begin or end with a space.");
    }
    if (hasForbiddenCharacter(name, QStringLiteral("[]"))) {
        return tr("A store name cannot contain '[' or ']'.");
    }
    for (int i = 0; i < profile.stores.size(); ++i) {
        if (i != except && profile.stores[i].name.compare(name, Qt::CaseInsensitive) == 0) {
            return tr("Profile '%1' already has a store named '%2'.").arg(profile.name, name);
        }
    }
    return {};
}

QString checkFolder(const QString& path, const QString& what)
{
    const QFileInfo info(path);
    if (!info.isAbsolute()) {
        return tr("%1: '%2' is not a full path; choose the folder with Browse.").arg(what, path);
    }
    if (!info.exists()) {
        return tr("%1: the folder '%2' does not exist.").arg(what, path);
    }
    if (!info.isDir()) {
        return tr("%1: '%2' is not a folder.").arg(what, path);
    }
    return {};
}

QString checkStore(const ProfileSettings& profile, int index)
{
    const StoreSettings& store = profile.stores[index];
    QString problem = checkStoreName(profile, store.name, index);
    if (!problem.isEmpty()) {
        return problem;
    }
    const QString what = tr("Store '%1' of profile '%2'").arg(store.name, profile.name);
    if (store.path.isEmpty()) {
        return tr("%1: choose the folder that holds its mail.").arg(what);
    }
    problem = checkFolder(store.path, what);
    if (problem.isEmpty() && !store.contacts.isEmpty() && QFileInfo::exists(store.contacts)) {
        // A contacts folder that does not exist yet is made by the library.
        problem = checkFolder(store.contacts, what);
    }
    if (problem.isEmpty() && !store.contacts.isEmpty() && QFileInfo(store.contacts).isRelative()) {
        problem = tr("%1: the contacts folder must be a full path.").arg(what);
    }
    for (const QString& special :
         {store.outbox, store.sentItems, store.deletedItems, store.drafts}) {
        if (problem.isEmpty() &&
            (special.contains(QLatin1Char('/')) || special == QLatin1String(".") ||
             special == QLatin1String(".."))) {
            problem = tr("%1: '%2' is not a folder name of the store (such as .Sent).")
                          .arg(what, special);
        }
    }
    return problem;
}

QString checkTransport(const ProfileSettings& profile)
{
    const TransportSettings& transport = profile.transport;
    const QString what = tr("Sending for profile '%1'").arg(profile.name);
    if (transport.kind == TransportSettings::Sendmail) {
        return QFileInfo(transport.sendmailPath).isAbsolute()
                   ? QString()
                   : tr("%1: enter the full path of the sendmail program.").arg(what);
    }
    if (transport.host.trimmed().isEmpty()) {
        return tr("%1: enter the name of the SMTP server.").arg(what);
    }
    if (hasForbiddenCharacter(transport.host.trimmed(), QStringLiteral(" /[]@"))) {
        return tr("%1: '%2' is not a server name.").arg(what, transport.host);
    }
    if (transport.port < 1 || transport.port > 65535) {
        return tr("%1: the port must be a whole number from 1 to 65535.").arg(what);
    }
    return {};
}

} // namespace

void ProfileFile::KeyFileDeleter::operator()(GKeyFile* keys) const
{
    g_key_file_free(keys);
}

ProfileFile::ProfileFile()
    : m_keys(g_key_file_new())
{}

ProfileFile::~ProfileFile() = default;

QString ProfileFile::defaultPath()
{
    const QString overridden = qEnvironmentVariable("VANTREL_MAPI_PROFILES");
    if (!overridden.isEmpty()) {
        return overridden;
    }
    return QFile::decodeName(g_get_user_config_dir()) +
           QStringLiteral("/Korvane/vntmapi-profiles.ini");
}

bool ProfileFile::load(const QString& path, QString* error)
{
    KeyFilePtr keys(g_key_file_new());
    const vnt::fileio::FileIdentity stamp = vnt::fileio::identityOf(path);
    if (QFileInfo::exists(path)) {
        GError* failure = nullptr;
        if (!g_key_file_load_from_file(keys.get(), QFile::encodeName(path).constData(),
                                       G_KEY_FILE_KEEP_COMMENTS, &failure)) {
            if (error) {
                *error = tr("The profile file '%1' could not be read: %2.")
                             .arg(path, QString::fromUtf8(failure->message));
            }
            g_error_free(failure);
            return false;
        }
    }
    QList<ProfileSettings> profiles;
    gchar** groups = g_key_file_get_groups(keys.get(), nullptr);
    for (gchar** group = groups; *group; ++group) {
        if (!g_str_has_prefix(*group, kProfilePrefix)) {
            continue;
        }
        ProfileSettings profile;
        profile.name = QString::fromUtf8(*group + sizeof(kProfilePrefix) - 1);
        profile.loadedName = profile.name;
        profile.isDefault = readBool(keys.get(), *group, "Default");
        profile.identityName = readString(keys.get(), *group, "Name");
        profile.identityAddress = readString(keys.get(), *group, "Address");
        for (const QString& name : readList(keys.get(), *group, "Stores")) {
            const QByteArray storeKey = storeGroup(profile.name, name);
            StoreSettings store;
            store.name = name;
            store.loadedName = name;
            store.path = readString(keys.get(), storeKey, "Path");
            store.isDefault = readBool(keys.get(), storeKey, "Default");
            store.contacts = readString(keys.get(), storeKey, "Contacts");
            store.outbox = readString(keys.get(), storeKey, "Outbox");
            store.sentItems = readString(keys.get(), storeKey, "SentItems");
            store.deletedItems = readString(keys.get(), storeKey, "DeletedItems");
            store.drafts = readString(keys.get(), storeKey, "Drafts");
            profile.stores << store;
        }
        keepOneDefault(&profile.stores);
        const QByteArray transport = transportGroup(profile.name);
        profile.hasTransport = g_key_file_has_group(keys.get(), transport.constData());
        profile.transport = readTransport(keys.get(), transport);
        profiles << profile;
    }
    g_strfreev(groups);
    keepOneDefault(&profiles);

    m_path = path;
    m_keys = std::move(keys);
    m_stamp = stamp;
    m_profiles = profiles;
    return true;
}

bool ProfileFile::save(QString* error)
{
    const ProfileProblem problem = validate();
    QString message = problem.message;
    if (message.isEmpty() && !(vnt::fileio::identityOf(m_path) == m_stamp)) {
        message = tr("The profile file '%1' was changed by another program after the editor "
                     "read it. Nothing was saved; open the editor again to see that change.")
                      .arg(m_path);
    }
    if (message.isEmpty()) {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        const QByteArray data = render();
        const vnt::fileio::WriteResult written = vnt::fileio::writeFileAtomically(m_path, data);
        if (!written.ok()) {
            message =
                tr("The profile file '%1' could not be written: %2.").arg(m_path, written.reason);
        } else {
            g_key_file_load_from_data(m_keys.get(), data.constData(), gsize(data.size()),
                                      G_KEY_FILE_KEEP_COMMENTS, nullptr);
            m_stamp = written.written;
            markWritten();
        }
    }
    if (error) {
        *error = message;
    }
    return message.isEmpty();
}

QByteArray ProfileFile::render() const
{
    gsize size = 0;
    gchar* original = g_key_file_to_data(m_keys.get(), &size, nullptr);
    KeyFilePtr out(g_key_file_new());
    g_key_file_load_from_data(out.get(), original, size, G_KEY_FILE_KEEP_COMMENTS, nullptr);
    g_free(original);

    // The groups of the profiles as read are written anew; every other group stays.
    gchar** groups = g_key_file_get_groups(m_keys.get(), nullptr);
    for (gchar** group = groups; *group; ++group) {
        if (!g_str_has_prefix(*group, kProfilePrefix)) {
            continue;
        }
        const QString name = QString::fromUtf8(*group + sizeof(kProfilePrefix) - 1);
        for (const QString& store : readList(m_keys.get(), *group, "Stores")) {
            g_key_file_remove_group(out.get(), storeGroup(name, store).constData(), nullptr);
        }
        g_key_file_remove_group(out.get(), transportGroup(name).constData(), nullptr);
        g_key_file_remove_group(out.get(), *group, nullptr);
    }
    g_strfreev(groups);

    for (const ProfileSettings& profile : m_profiles) {
        const QByteArray group = profileGroup(profile.name);
        if (!profile.loadedName.isEmpty()) {
            copyGroup(m_keys.get(), profileGroup(profile.loadedName), out.get(), group);
        }
        setDefaultMark(out.get(), group, profile.isDefault);
        QList<QByteArray> storeNames;
        for (const StoreSettings& store : profile.stores) {
            storeNames << store.name.toUtf8();
        }
        QList<const gchar*> list;
        for (const QByteArray& name : storeNames) {
            list << name.constData();
        }
        g_key_file_set_string_list(out.get(), group.constData(), "Stores", list.constData(),
                                   gsize(list.size()));
        g_key_file_set_string(out.get(), group.constData(), "Name",
                              profile.identityName.toUtf8().constData());
        g_key_file_set_string(out.get(), group.constData(), "Address",
                              profile.identityAddress.toUtf8().constData());

        for (const StoreSettings& store : profile.stores) {
            const QByteArray storeKey = storeGroup(profile.name, store.name);
            if (!profile.loadedName.isEmpty() && !store.loadedName.isEmpty()) {
                copyGroup(m_keys.get(), storeGroup(profile.loadedName, store.loadedName), out.get(),
                          storeKey);
            }
            g_key_file_set_string(out.get(), storeKey.constData(), "Path",
                                  store.path.toUtf8().constData());
            setDefaultMark(out.get(), storeKey, store.isDefault);
            setOrRemove(out.get(), storeKey, "Contacts", store.contacts);
            setOrRemove(out.get(), storeKey, "Outbox", store.outbox);
            setOrRemove(out.get(), storeKey, "SentItems", store.sentItems);
            setOrRemove(out.get(), storeKey, "DeletedItems", store.deletedItems);
            setOrRemove(out.get(), storeKey, "Drafts", store.drafts);
        }

        const TransportSettings& transport = profile.transport;
        if (!profile.hasTransport && transport.kind == TransportSettings::Sendmail &&
            transport.sendmailPath == TransportSettings().sendmailPath) {
            continue; // the library's default; no group needed
        }
        const QByteArray transportKey = transportGroup(profile.name);
        if (!profile.loadedName.isEmpty()) {
            copyGroup(m_keys.get(), transportGroup(profile.loadedName), out.get(), transportKey);
        }
        const bool smtp = transport.kind == TransportSettings::Smtp;
        g_key_file_set_string(out.get(), transportKey.constData(), "Kind",
                              smtp ? "smtp" : "sendmail");
        setOrRemove(out.get(), transportKey, "Host", transport.host.trimmed());
        g_key_file_set_integer(out.get(), transportKey.constData(), "Port", transport.port);
        const char* security = transport.security == TransportSettings::ImplicitTls ? "tls"
                               : transport.security == TransportSettings::Plain     ? "none"
                                                                                    : "starttls";
        g_key_file_set_string(out.get(), transportKey.constData(), "Security", security);
        setOrRemove(out.get(), transportKey, "User", transport.user);
        setOrRemove(out.get(), transportKey, "Sendmail", transport.sendmailPath);
    }

    gchar* data = g_key_file_to_data(out.get(), &size, nullptr);
    const QByteArray result(data, qsizetype(size));
    g_free(data);
    return result;
}

void ProfileFile::markWritten()
{
    for (ProfileSettings& profile : m_profiles) {
        profile.loadedName = profile.name;
        for (StoreSettings& store : profile.stores) {
            store.loadedName = store.name;
        }
        profile.hasTransport =
            g_key_file_has_group(m_keys.get(), transportGroup(profile.name).constData());
    }
}

int ProfileFile::indexOf(const QString& name) const
{
    for (int i = 0; i < m_profiles.size(); ++i) {
        if (m_profiles[i].name == name) {
            return i;
        }
    }
    return -1;
}

QString ProfileFile::checkProfileName(const QString& name, int except) const
{
    return nameProblem(name, except, int(m_profiles.size()));
}

QString ProfileFile::nameProblem(const QString& name, int except, int end) const
{
    if (name.trimmed().isEmpty()) {
        return tr("Enter a name for the profile.");
    }
    if (name != name.trimmed()) {
        return tr("A profile name cannot begin or end with a space.");
    }
    if (hasForbiddenCharacter(name, QStringLiteral("/[]"))) {
        return tr("A profile name cannot contain '/', '[' or ']'.");
    }
    for (int i = 0; i < end; ++i) {
        if (i != except && m_profiles[i].name.compare(name, Qt::CaseInsensitive) == 0) {
            return tr("There is already a profile named '%1'.").arg(m_profiles[i].name);
        }
    }
    return {};
}

QString ProfileFile::addProfile(const QString& name)
{
    const QString problem = checkProfileName(name);
    if (problem.isEmpty()) {
        ProfileSettings profile;
        profile.name = name;
        profile.isDefault = m_profiles.isEmpty();
        m_profiles << profile;
    }
    return problem;
}

QString ProfileFile::renameProfile(int index, const QString& name)
{
    const QString problem = checkProfileName(name, index);
    if (problem.isEmpty()) {
        m_profiles[index].name = name;
    }
    return problem;
}

void ProfileFile::removeProfile(int index)
{
    const bool wasDefault = m_profiles[index].isDefault;
    m_profiles.removeAt(index);
    if (wasDefault && !m_profiles.isEmpty()) {
        m_profiles.first().isDefault = true;
    }
}

void ProfileFile::setDefaultProfile(int index)
{
    for (int i = 0; i < m_profiles.size(); ++i) {
        m_profiles[i].isDefault = i == index;
    }
}

void ProfileFile::setDetails(int index, const ProfileSettings& details)
{
    ProfileSettings& profile = m_profiles[index];
    profile.identityName = details.identityName;
    profile.identityAddress = details.identityAddress;
    profile.stores = details.stores;
    keepOneDefault(&profile.stores);
    profile.transport = details.transport;
}

QString ProfileFile::addStore(int profile, const QString& name)
{
    const QString problem = checkStoreName(m_profiles[profile], name, -1);
    if (problem.isEmpty()) {
        StoreSettings store;
        store.name = name;
        store.isDefault = m_profiles[profile].stores.isEmpty();
        m_profiles[profile].stores << store;
    }
    return problem;
}

ProfileProblem ProfileFile::validate() const
{
    if (m_profiles.isEmpty()) {
        return {-1, tr("Keep at least one profile: the program cannot log on without one.")};
    }
    static const QRegularExpression address(QStringLiteral("^[^@\\s]+@[^@\\s]+$"));
    for (int i = 0; i < m_profiles.size(); ++i) {
        const ProfileSettings& profile = m_profiles[i];
        // Only against the profiles before it, so that the later of two is the one reported.
        QString problem = nameProblem(profile.name, i, i);
        if (problem.isEmpty() && !profile.identityAddress.isEmpty() &&
            !address.match(profile.identityAddress).hasMatch()) {
            problem = tr("Profile '%1': '%2' is not an e-mail address.")
                          .arg(profile.name, profile.identityAddress);
        }
        if (problem.isEmpty() && profile.stores.isEmpty()) {
            problem = tr("Profile '%1' has no message store; add one.").arg(profile.name);
        }
        for (int s = 0; problem.isEmpty() && s < profile.stores.size(); ++s) {
            problem = checkStore(profile, s);
        }
        if (problem.isEmpty()) {
            problem = checkTransport(profile);
        }
        if (!problem.isEmpty()) {
            return {i, problem};
        }
    }
    return {};
}

} // namespace vntprofiles
