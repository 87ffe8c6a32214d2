// Reading a Maildir++ tree: its folders, the message files of a folder and their summaries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vntmapi {

std::string joinPath(const std::string& a, const std::string& b);
bool isDirectory(const std::string& path);

// Makes `dir` (and its parents) a Maildir folder: its cur/, new/ and tmp/.
bool makeMaildir(const std::string& dir);

// A folder name as IMAP servers write it on disk: modified UTF-7 ("Entwürfe" -> "Entw&APw-rfe").
std::string encodeFolderName(const std::string& name);

// Maildir++ folder names (".A", ".A.B"), sorted; a parent missing on disk is listed as well.
std::vector<std::string> listFolders(const std::string& root);

// "" for the Inbox, the parent of ".A.B" is ".A", of ".A" the IPM subtree "/".
std::string parentFolder(const std::string& folder);
std::string folderLeafName(const std::string& folder);
std::string folderDirectory(const std::string& root, const std::string& folder);

struct MessageFile
{
    std::string path;        // full path as found
    std::string baseName;    // unique name, the part before ":2,"
    std::string info;        // flag letters after ":2,"
    std::uint64_t inode = 0; // as listed; a rewritten file gets a new one, a rename keeps it
    // Read only when a listing asks for them: a file rewritten in place keeps its inode, and a
    // save may keep the size and set the old modification time (the delivery time) again; the
    // change time moves with every write (nanoseconds since the epoch, all three).
    std::int64_t size = -1;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    // Other files under the same unique name (a save interrupted between its rename and its
    // unlink, by another program): stale versions of this message, removed with it.
    std::vector<std::string> copies;
};

enum class ListDetail { NamesOnly, WithStat };

// Messages of new/ and cur/, names starting with "." skipped, one per unique name: of files
// sharing one, the one in cur/ that changed last is the message and the others its copies.
std::vector<MessageFile> listMessages(const std::string& folderDir,
                                      ListDetail detail = ListDetail::NamesOnly);
// Finds the file whose unique name is `baseName`, whatever its flags.
bool findMessage(const std::string& folderDir, const std::string& baseName, MessageFile* file);

// Removes files of tmp/ not touched for 36 hours, left by saves that never finished; files
// younger than that may still be written by a running program.
void removeStaleTemporaries(const std::string& folderDir);

struct MessageSummary
{
    std::string subject;
    std::string fromName;
    std::string fromAddress;
    std::string senderName;
    std::string senderAddress;
    std::string displayTo;
    std::string displayCc;
    std::uint64_t submitTime = 0;   // FILETIME of Date:, 0 when missing
    std::uint64_t deliveryTime = 0; // FILETIME of the file's modification time
    std::int64_t size = 0;
    std::int64_t modified = 0; // the modification and change times in nanoseconds, as read
    std::int64_t changed = 0;
    std::uint32_t flags = 0; // MSGFLAG_*
    std::int32_t importance = 1;
    bool hasAttachments = false;
    std::string messageClass = "IPM.Note";
    std::int32_t sensitivity = 0;
    bool readReceipt = false;
    std::string replyToNames;
    // Who the message was delivered to, from Delivered-To or X-Original-To; the name is the
    // one the To or Cc line gives that address.
    std::string receivedByName;
    std::string receivedByAddress;
};

struct MessageContent;

// The MSGFLAG_* bits a message has from its info letters and its attachments.
std::uint32_t messageFlags(std::string_view info, bool hasAttachments);

// Parses the headers and Maildir flags of one message, and its bodies when `content` is given;
// false if the file cannot be read. A file that is not a message still gives a summary.
bool readMessage(const MessageFile& file, MessageSummary* summary, MessageContent* content);

// Parses a message held in memory (an attached message) as readMessage parses a file; it has
// no flag letters and counts as read.
void readMessageBytes(const std::vector<std::uint8_t>& bytes, MessageSummary* summary,
                      MessageContent* content);

} // namespace vntmapi
