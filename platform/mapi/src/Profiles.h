// Mail profiles, read from an INI file:
//
//   [Profile Vantrel]
//   Default=true
//   Stores=Personal Folders;Archive
//   Name=Jo Bloggs                (the identity messages are sent as)
//   Address=support@example.com
//
//   [Store Vantrel/Personal Folders]
//   Path=/home/me/.local/share/Korvane/Vantrel/Mail
//   Default=true
//   Outbox=.Outbox            (optional; also SentItems, DeletedItems, Drafts; without them
//                              the folders other mail programs made for these roles are used)
//   Contacts=/home/me/.local/share/Korvane/Vantrel/Contacts   (optional vCard directory)
//   RichText=true             (optional; the store then says it handles rich text, and keeps a
//                              message's plain and RTF bodies in step itself when it is saved)
//
//   [Transport Vantrel]        (optional; without it the system's sendmail)
//   Kind=smtp                  (or sendmail)
//   Host=mail.example.com
//   Port=587
//   Security=starttls          (or tls, or none)
//   User=support@example.com   (the password comes from the desktop keyring or a prompt)
//   CaFile=/etc/ssl/extra.pem  (optional, trusted besides the system's certificates)
//   Sendmail=/usr/sbin/sendmail
//   RetrySeconds=60            (first wait after a server said "later"; doubles each time)
//
// The file is VANTREL_MAPI_PROFILES, else <config dir>/Korvane/vntmapi-profiles.ini. When it does
// not exist it is created with one profile whose store is the program directory's Mail/ folder,
// with the program directory's Contacts/ folder as its contacts.
#pragma once

#include "EntryId.h"

#include <string>
#include <vector>

namespace vntmapi {

struct TransportConfig
{
    enum Kind { Smtp, Sendmail };
    enum Security { Plain, StartTls, ImplicitTls };

    Kind kind = Sendmail;
    std::string host;
    int port = 587;
    Security security = StartTls;
    std::string user;
    std::string caFile;
    std::string sendmailPath = "/usr/sbin/sendmail";
    double retrySeconds = 60;
    // Known for this session only (keyring or prompt); never read from or written to a file.
    std::string password;

    // Whether messages can leave at all: an SMTP host, or a sendmail that can be run.
    bool isUsable() const;
};

struct StoreConfig
{
    std::string name;
    std::string path;
    bool isDefault = false;
    // Maildir++ folders of the special roles; empty: none. resolveFolderRoles fills in
    // those the profile does not name.
    std::string outbox;
    std::string sentItems;
    std::string deletedItems;
    std::string drafts;
    std::string contacts; // vCard directory; empty when the store has no contacts folder
    // STORE_RTF_OK and STORE_UNCOMPRESSED_RTF: saving a message with only one body changed
    // rebuilds the other from it.
    bool richText = false;
    StoreKey key{};
    // From the profile: whom messages are sent as, and how.
    std::string identityName;
    std::string identityAddress;
    TransportConfig transport;
};

struct Profile
{
    std::string name;
    bool isDefault = false;
    std::string identityName;
    std::string identityAddress;
    std::vector<StoreConfig> stores;
};

std::string profileFilePath();

// Reads every profile (creating the default file first when there is none). Exactly one profile
// and, within each profile, exactly one store come back marked default when any exist.
HRESULT loadProfiles(std::vector<Profile>* profiles);

} // namespace vntmapi
