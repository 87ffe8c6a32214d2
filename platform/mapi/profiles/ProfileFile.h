// The mail library's profile file as the profile editor sees it: the profiles, their stores
// and how their mail is sent, read from and written back to the INI file that libvntmapi.so
// reads (the format is described in ../src/Profiles.h). Groups and keys the editor does not
// know stay as they were; a file that another program changed after it was read is never
// overwritten.
#pragma once

#include "fileio/AtomicFile.h"

#include <QList>
#include <QString>
#include <memory>

typedef struct _GKeyFile GKeyFile;

namespace vntprofiles {

struct TransportSettings
{
    enum Kind { Sendmail, Smtp };
    enum Security { StartTls, ImplicitTls, Plain };

    Kind kind = Sendmail;
    QString host;
    int port = 587; // outside 1..65535 when the user typed something else
    Security security = StartTls;
    QString user;
    QString sendmailPath = QStringLiteral("/usr/sbin/sendmail");
};

struct StoreSettings
{
    QString name;
    QString path;
    bool isDefault = false;
    QString contacts; // vCard folder; empty for none
    // Maildir++ names of the special folders; empty lets the library choose.
    QString outbox;
    QString sentItems;
    QString deletedItems;
    QString drafts;
    QString loadedName; // the name in the file as read; empty for a new store
};

struct ProfileSettings
{
    QString name;
    bool isDefault = false;
    QString identityName;
    QString identityAddress;
    QList<StoreSettings> stores;
    TransportSettings transport;
    bool hasTransport = false; // a [Transport] group was read, or one is needed now
    QString loadedName;        // the name in the file as read; empty for a new profile
};

// What is wrong with the profiles, and which profile (-1: the file as a whole).
struct ProfileProblem
{
    int profile = -1;
    QString message;

    bool isEmpty() const { return message.isEmpty(); }
};

class ProfileFile
{
public:
    ProfileFile();
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    // $VANTREL_MAPI_PROFILES, else <config dir>/Korvane/vntmapi-profiles.ini, as the library.
    static QString defaultPath();

    // Reads `path`; a file that does not exist reads as no profiles. False with a message
    // when the file cannot be read or is not a key file.
    bool load(const QString& path, QString* error = nullptr);
    // Writes the profiles to the file read last. False with a message, and the file left as
    // it was, when the profiles are not valid, another program changed the file since it was
    // read or written here, or the write fails.
    bool save(QString* error = nullptr);

    const QString& path() const { return m_path; }
    const QList<ProfileSettings>& profiles() const { return m_profiles; }
    int indexOf(const QString& name) const;

    // Each returns an empty text on success, else why nothing was changed.
    QString addProfile(const QString& name);
    QString renameProfile(int index, const QString& name);
    void removeProfile(int index);
    void setDefaultProfile(int index);
    // Replaces the details (identity, stores, transport) of a profile; its name and default
    // mark are changed only through the calls above.
    void setDetails(int index, const ProfileSettings& details);
    QString addStore(int profile, const QString& name);

    // Why the profile name is not acceptable for a profile other than `except`; empty if fine.
    QString checkProfileName(const QString& name, int except = -1) const;
    // The first problem that keeps the profiles from being written; empty when there is none.
    ProfileProblem validate() const;

private:
    struct KeyFileDeleter
    {
        void operator()(GKeyFile* keys) const;
    };
    using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;

    // Why `name` does not fit, compared with the profiles before `end` other than `except`.
    QString nameProblem(const QString& name, int except, int end) const;
    QByteArray render() const;
    void markWritten();

    QString m_path;
    KeyFilePtr m_keys; // the file as read or last written
    vnt::fileio::FileIdentity m_stamp;
    QList<ProfileSettings> m_profiles;
};

} // namespace vntprofiles
