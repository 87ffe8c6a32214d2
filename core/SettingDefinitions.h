#pragma once

#include <QString>
#include <array>
#include <cstdint>

// The integer settings of "Internal data", by the index their writer takes.
enum IntSetting {
    CurrentPath = 0,
    AutoRecordUpdate,
    OpenDatabaseAtStart,
    LogonAtStartup,
    PreviewOn,
    GridOn,
    MonthStyle,
    OutgoingTextType,
    PlainFontSize,
    PlainWrapLength,
    ReplyDisplayOptions,
    AddAttachmentToForward,
    ReadHtmlCode,
    ProfileOption,
    DatabaseType,
    RtfFontSize,
    AddinWarning,
    IndexAscent,
    ColumnIndex,
    IndexAscentKb,
    ColumnIndexKb,
    MetricMeasure,
    LeftMargin,
    RightMargin,
    TopMargin,
    BottomMargin,
    RunMailClientAtLogon,
    IntSettingCount
};

// How one integer setting is read and written. The read default lies outside the
// accepted range on purpose, so that a missing value takes the fallback and is
// written back at once.
struct IntSettingRule
{
    const char16_t* name;
    int readDefault;
    int loadMin, loadMax, loadFallback;
    // The writer keeps values in writeMin..writeMax and writes writeBelow or
    // writeAbove for values outside.
    int writeMin, writeMax, writeBelow, writeAbove;

    int loaded(int stored) const
    {
        return stored < loadMin || stored > loadMax ? loadFallback : stored;
    }
    int forWriting(int value) const
    {
        if (value < writeMin)
            return writeBelow;
        return value > writeMax ? writeAbove : value;
    }
};

const IntSettingRule& intSettingRule(int index);

// The string settings of "Internal data", by the index their writer takes (1..4).
enum StringSetting {
    PlainFontName = 1,
    DatabasePrintHeading,
    KnowledgePrintHeading,
    RtfFontName,
    StringSettingLast = RtfFontName
};

QString stringSettingName(int index);
// The value an empty string setting takes.
QString stringSettingDefault(int index);

// Text-box colours (0x00BBGGRR) of "Internal data", index 0..3.
enum BoxColour { EditInColour = 0, EditOutColour, EditFileColour, NotePadColour, BoxColourCount };
QString boxColourName(int index);
constexpr std::uint32_t kDefaultBoxColour = 0xFFFFFF;

// Folder kinds with a column mask; bit i of a mask shows column i of the message list.
using ColumnMask = std::uint32_t;
enum class MaskKind { Inbox = 0, Outbox, Sent, Deleted, Others, Imap, Contacts };
constexpr int kMaskKindCount = 7;
QString columnMaskName(MaskKind kind);
ColumnMask defaultColumnMask(MaskKind kind);
ColumnMask allowedColumns(MaskKind kind);

// The two column-width lists of the message list.
enum class WidthList { Messages = 0, Contacts };
constexpr int kColumnCount = 32;
QString columnWidthName(int column, WidthList list);
int defaultColumnWidth(int column, WidthList list);

// Support paths: index 0 is the main path (never stored), 1..9 are "Support path 2"
// .. "Support path 10".
constexpr int kSupportPathCount = 10;
QString supportPathName(int index);
