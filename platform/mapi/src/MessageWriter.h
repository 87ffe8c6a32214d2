// Writing message files into a Maildir folder. Every write goes to tmp/ first and is renamed
// into cur/, so readers never see a partial file and a failed write leaves the old one intact.
#pragma once

#include "Maildir.h"
#include "MimeContent.h"
#include "Property.h"
#include "Recipients.h"
#include "vntmapi/MapiDefs.h"

#include <functional>
#include <string>

namespace vntmapi {

// A fresh Maildir unique name: time, microseconds, process and a counter, and the host.
std::string newUniqueName();

// The info letters for `flags` (S read, D unsent), keeping the other letters of `oldInfo`.
std::string infoLetters(const std::string& oldInfo, std::uint32_t flags);

struct SaveTarget
{
    std::string folderDir;
    std::string baseName; // kept when a file is replaced, so entry ids stay valid
    MessageFile old;      // the file replaced; empty path for a new message
};

// Serialises `props` and `attachments` to MIME (headers the old file has and this library
// does not manage are carried over) and puts it in place of the old file and its copies.
HRESULT saveMessageFile(const SaveTarget& target, const PropList& props,
                        const RecipientList& recipients,
                        const std::vector<AttachmentData>& attachments = {});

// The MIME that goes out for a message saved at `savedPath` (its Message-ID and other headers
// are kept): CRLF line ends, long lines encoded, no Bcc header and none of the private ones.
std::string renderForSending(const PropList& props, const RecipientList& recipients,
                             const std::vector<AttachmentData>& attachments,
                             const std::string& savedPath);

// The message as saveMessageFile would write it, into memory: the bytes of an attached
// message. The headers of `oldBytes` that this library does not manage are carried over.
std::vector<BYTE> renderMessageBytes(const PropList& props, const RecipientList& recipients,
                                     const std::vector<AttachmentData>& attachments,
                                     const std::vector<BYTE>& oldBytes);

// Puts `bytes` into `folderDir` as a new message under `baseName`: in new/ when `info` is
// empty (unread, as delivered mail), else in cur/ with those letters.
HRESULT deliverMessageBytes(const std::string& folderDir, const std::string& baseName,
                            const std::string& bytes, const std::string& info);

// Changes a message file's bytes on their way into another folder.
using FileRewrite = std::function<std::string(std::string)>;

// Puts a copy of `file` into `destDir` under `baseName` with the same flags and delivery time,
// its bytes passed through `rewrite` when one is given. On failure `failure` gets the errno.
HRESULT copyMessageFile(const MessageFile& file, const std::string& destDir,
                        const std::string& baseName, const FileRewrite& rewrite = {},
                        int* failure = nullptr);

// Moves `file` into `destDir` under a new unique name with the same flags; with a `rewrite` it
// is copied through it and the original removed. On failure `failure` gets the errno.
HRESULT moveMessageFile(const MessageFile& file, const std::string& destDir,
                        const FileRewrite& rewrite = {}, int* failure = nullptr);

// Deletes a message: its file and any stale copies; false when one of them stays.
bool removeMessageFile(const MessageFile& file);

// Sets or clears the S letter; the file moves to cur/ as a message with info must.
HRESULT setSeenFlag(const MessageFile& file, bool read);

} // namespace vntmapi
