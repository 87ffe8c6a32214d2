// Result codes, flags, property tags and the plain data types shared by the mail library and
// the program. Layouts follow the MAPI ones so that code written against MAPI reads the same.
// Strings are UTF-8 in both PT_STRING8 and PT_UNICODE values (lpszA).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

using ULONG = std::uint32_t;
using LONG = std::int32_t;
using BYTE = std::uint8_t;
using USHORT = std::uint16_t;
using BOOL = int;
using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using ULONG_PTR = std::uintptr_t;
using LPBYTE = BYTE*;

constexpr HRESULT vntCode(std::uint32_t value)
{
    return static_cast<HRESULT>(value);
}

inline bool FAILED(HRESULT hr)
{
    return hr < 0;
}
inline bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}

// Result codes.
constexpr HRESULT S_OK = 0;
constexpr HRESULT MAPI_E_CALL_FAILED = vntCode(0x80004005);
constexpr HRESULT E_FAIL = MAPI_E_CALL_FAILED;
constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = vntCode(0x8007000E);
constexpr HRESULT E_OUTOFMEMORY = MAPI_E_NOT_ENOUGH_MEMORY;
constexpr HRESULT MAPI_E_INVALID_PARAMETER = vntCode(0x80070057);
constexpr HRESULT E_INVALIDARG = MAPI_E_INVALID_PARAMETER;
constexpr HRESULT MAPI_E_INTERFACE_NOT_SUPPORTED = vntCode(0x80004002);
constexpr HRESULT E_NOINTERFACE = MAPI_E_INTERFACE_NOT_SUPPORTED;
constexpr HRESULT MAPI_E_NO_ACCESS = vntCode(0x80070005);
constexpr HRESULT E_ACCESSDENIED = MAPI_E_NO_ACCESS;
constexpr HRESULT MAPI_E_NO_SUPPORT = vntCode(0x80040102);
constexpr HRESULT MAPI_E_INVALID_ENTRYID = vntCode(0x80040107);
constexpr HRESULT MAPI_E_INVALID_OBJECT = vntCode(0x80040108);
constexpr HRESULT MAPI_E_OBJECT_CHANGED = vntCode(0x80040109);
constexpr HRESULT MAPI_E_OBJECT_DELETED = vntCode(0x8004010A);
constexpr HRESULT MAPI_E_BUSY = vntCode(0x8004010B);
constexpr HRESULT MAPI_E_NOT_ENOUGH_DISK = vntCode(0x8004010D);
constexpr HRESULT MAPI_E_NOT_FOUND = vntCode(0x8004010F);
constexpr HRESULT MAPI_E_LOGON_FAILED = vntCode(0x80040111);
constexpr HRESULT MAPI_E_USER_CANCEL = vntCode(0x80040113);
constexpr HRESULT MAPI_E_UNABLE_TO_ABORT = vntCode(0x80040114);
constexpr HRESULT MAPI_E_NETWORK_ERROR = vntCode(0x80040115);
constexpr HRESULT MAPI_E_DISK_ERROR = vntCode(0x80040116);
constexpr HRESULT MAPI_E_TOO_COMPLEX = vntCode(0x80040117);
constexpr HRESULT MAPI_E_BAD_COLUMN = vntCode(0x80040118);
constexpr HRESULT MAPI_E_CORRUPT_DATA = vntCode(0x8004011B);
constexpr HRESULT MAPI_E_UNKNOWN_ENTRYID = vntCode(0x80040201);
constexpr HRESULT MAPI_E_BAD_VALUE = vntCode(0x80040301);
constexpr HRESULT MAPI_E_INVALID_TYPE = vntCode(0x80040302);
constexpr HRESULT MAPI_E_TOO_BIG = vntCode(0x80040305);
constexpr HRESULT MAPI_W_ERRORS_RETURNED = vntCode(0x00040380);
constexpr HRESULT MAPI_E_TIMEOUT = vntCode(0x80040401);
constexpr HRESULT MAPI_E_TABLE_EMPTY = vntCode(0x80040402);
constexpr HRESULT MAPI_E_INVALID_BOOKMARK = vntCode(0x80040405);
constexpr HRESULT MAPI_W_POSITION_CHANGED = vntCode(0x00040481);
constexpr HRESULT MAPI_E_CORRUPT_STORE = vntCode(0x80040600);
constexpr HRESULT MAPI_E_NOT_IN_QUEUE = vntCode(0x80040601);
constexpr HRESULT MAPI_E_COLLISION = vntCode(0x80040604);
constexpr HRESULT MAPI_E_NOT_INITIALIZED = vntCode(0x80040605);
constexpr HRESULT MAPI_E_NO_RECIPIENTS = vntCode(0x80040607);
constexpr HRESULT MAPI_E_SUBMITTED = vntCode(0x80040608);
constexpr HRESULT MAPI_W_PARTIAL_COMPLETION = vntCode(0x00040680);
constexpr HRESULT MAPI_E_AMBIGUOUS_RECIP = vntCode(0x80040700);

// Property types and tags.
constexpr ULONG PT_UNSPECIFIED = 0x0000;
constexpr ULONG PT_NULL = 0x0001;
constexpr ULONG PT_I2 = 0x0002;
constexpr ULONG PT_LONG = 0x0003;
constexpr ULONG PT_R4 = 0x0004;
constexpr ULONG PT_DOUBLE = 0x0005;
constexpr ULONG PT_CURRENCY = 0x0006;
constexpr ULONG PT_APPTIME = 0x0007;
constexpr ULONG PT_ERROR = 0x000A;
constexpr ULONG PT_BOOLEAN = 0x000B;
constexpr ULONG PT_OBJECT = 0x000D;
constexpr ULONG PT_I8 = 0x0014;
constexpr ULONG PT_STRING8 = 0x001E;
constexpr ULONG PT_UNICODE = 0x001F;
constexpr ULONG PT_SYSTIME = 0x0040;
constexpr ULONG PT_CLSID = 0x0048;
constexpr ULONG PT_BINARY = 0x0102;
constexpr ULONG MV_FLAG = 0x1000;
constexpr ULONG MV_INSTANCE = 0x2000;
constexpr ULONG PT_MV_LONG = MV_FLAG | PT_LONG;
constexpr ULONG PT_MV_BINARY = MV_FLAG | PT_BINARY;
constexpr ULONG PT_MV_STRING8 = MV_FLAG | PT_STRING8;
constexpr ULONG PT_MV_UNICODE = MV_FLAG | PT_UNICODE;
constexpr ULONG PROP_ID_NULL = 0;
constexpr ULONG PROP_ID_INVALID = 0xFFFF;

constexpr ULONG PROP_TAG(ULONG type, ULONG id)
{
    return (id << 16) | type;
}
constexpr ULONG PROP_TYPE(ULONG tag)
{
    return tag & 0xFFFF;
}
constexpr ULONG PROP_ID(ULONG tag)
{
    return tag >> 16;
}
constexpr ULONG CHANGE_PROP_TYPE(ULONG tag, ULONG type)
{
    return (tag & 0xFFFF0000) | type;
}

// String properties are listed with PT_STRING8; PT_UNICODE forms are accepted as well.
constexpr ULONG PR_NULL = PROP_TAG(PT_NULL, 0);
constexpr ULONG PR_INSTANCE_KEY = PROP_TAG(PT_BINARY, 0x0FF6);
constexpr ULONG PR_ENTRYID = PROP_TAG(PT_BINARY, 0x0FFF);
constexpr ULONG PR_RECORD_KEY = PROP_TAG(PT_BINARY, 0x0FF9);
constexpr ULONG PR_STORE_ENTRYID = PROP_TAG(PT_BINARY, 0x0FFB);
constexpr ULONG PR_OBJECT_TYPE = PROP_TAG(PT_LONG, 0x0FFE);
constexpr ULONG PR_IMPORTANCE = PROP_TAG(PT_LONG, 0x0017);
constexpr ULONG PR_SENSITIVITY = PROP_TAG(PT_LONG, 0x0036);
constexpr ULONG PR_HASATTACH = PROP_TAG(PT_BOOLEAN, 0x0E1B);
constexpr ULONG PR_MESSAGE_FLAGS = PROP_TAG(PT_LONG, 0x0E07);
constexpr ULONG PR_MESSAGE_CLASS = PROP_TAG(PT_STRING8, 0x001A);
constexpr ULONG PR_SUBJECT = PROP_TAG(PT_STRING8, 0x0037);
constexpr ULONG PR_NORMALIZED_SUBJECT = PROP_TAG(PT_STRING8, 0x0E1D);
constexpr ULONG PR_CONVERSATION_TOPIC = PROP_TAG(PT_STRING8, 0x0070);
constexpr ULONG PR_CONVERSATION_INDEX = PROP_TAG(PT_BINARY, 0x0071);
constexpr ULONG PR_SENT_REPRESENTING_NAME = PROP_TAG(PT_STRING8, 0x0042);
constexpr ULONG PR_SENT_REPRESENTING_EMAIL_ADDRESS = PROP_TAG(PT_STRING8, 0x0065);
constexpr ULONG PR_SENT_REPRESENTING_ADDRTYPE = PROP_TAG(PT_STRING8, 0x0064);
constexpr ULONG PR_SENT_REPRESENTING_SEARCH_KEY = PROP_TAG(PT_BINARY, 0x003B);
constexpr ULONG PR_SENT_REPRESENTING_ENTRYID = PROP_TAG(PT_BINARY, 0x0041);
constexpr ULONG PR_SENDER_NAME = PROP_TAG(PT_STRING8, 0x0C1A);
constexpr ULONG PR_SENDER_EMAIL_ADDRESS = PROP_TAG(PT_STRING8, 0x0C1F);
constexpr ULONG PR_SENDER_ADDRTYPE = PROP_TAG(PT_STRING8, 0x0C1E);
constexpr ULONG PR_SENDER_ENTRYID = PROP_TAG(PT_BINARY, 0x0C19);
constexpr ULONG PR_SENDER_SEARCH_KEY = PROP_TAG(PT_BINARY, 0x0C1D);
constexpr ULONG PR_DISPLAY_TO = PROP_TAG(PT_STRING8, 0x0E04);
constexpr ULONG PR_DISPLAY_CC = PROP_TAG(PT_STRING8, 0x0E03);
constexpr ULONG PR_MESSAGE_DELIVERY_TIME = PROP_TAG(PT_SYSTIME, 0x0E06);
constexpr ULONG PR_CLIENT_SUBMIT_TIME = PROP_TAG(PT_SYSTIME, 0x0039);
constexpr ULONG PR_CREATION_TIME = PROP_TAG(PT_SYSTIME, 0x3007);
constexpr ULONG PR_RECEIPT_TIME = PROP_TAG(PT_SYSTIME, 0x002A);
constexpr ULONG PR_MESSAGE_SIZE = PROP_TAG(PT_LONG, 0x0E08);
constexpr ULONG PR_READ_RECEIPT_REQUESTED = PROP_TAG(PT_BOOLEAN, 0x0029);
constexpr ULONG PR_ORIGINATOR_DELIVERY_REPORT_REQUESTED = PROP_TAG(PT_BOOLEAN, 0x0023);
constexpr ULONG PR_RECEIVED_BY_EMAIL_ADDRESS = PROP_TAG(PT_STRING8, 0x0076);
constexpr ULONG PR_RECEIVED_BY_NAME = PROP_TAG(PT_STRING8, 0x0040);
constexpr ULONG PR_RCVD_REPRESENTING_NAME = PROP_TAG(PT_STRING8, 0x0044);
constexpr ULONG PR_RCVD_REPRESENTING_EMAIL_ADDRESS = PROP_TAG(PT_STRING8, 0x0078);
constexpr ULONG PR_REPLY_RECIPIENT_NAMES = PROP_TAG(PT_STRING8, 0x0050);
constexpr ULONG PR_REPLY_RECIPIENT_ENTRIES = PROP_TAG(PT_BINARY, 0x004F);
constexpr ULONG PR_INTERNET_MESSAGE_ID = PROP_TAG(PT_STRING8, 0x1035);
constexpr ULONG PR_IN_REPLY_TO_ID = PROP_TAG(PT_STRING8, 0x1042);
constexpr ULONG PR_INTERNET_REFERENCES = PROP_TAG(PT_STRING8, 0x1039);
constexpr ULONG MAPI_ONE_OFF_UNICODE = 0x8000;
constexpr ULONG MAPI_ONE_OFF_NO_RICH_INFO = 0x0001;
constexpr ULONG PR_TRANSPORT_MESSAGE_HEADERS = PROP_TAG(PT_STRING8, 0x007D);
constexpr ULONG PR_BODY = PROP_TAG(PT_STRING8, 0x1000);
constexpr ULONG PR_BODY_HTML = PROP_TAG(PT_STRING8, 0x1013);
constexpr ULONG PR_HTML = PROP_TAG(PT_BINARY, 0x1013);
constexpr ULONG PR_RTF_COMPRESSED = PROP_TAG(PT_BINARY, 0x1009);
constexpr ULONG PR_RTF_IN_SYNC = PROP_TAG(PT_BOOLEAN, 0x0E1F);
constexpr ULONG PR_RECIPIENT_TYPE = PROP_TAG(PT_LONG, 0x0C15);
constexpr ULONG PR_ROWID = PROP_TAG(PT_LONG, 0x3000);
constexpr ULONG PR_MESSAGE_ATTACHMENTS = PROP_TAG(PT_OBJECT, 0x0E13);
constexpr ULONG PR_MESSAGE_RECIPIENTS = PROP_TAG(PT_OBJECT, 0x0E12);
constexpr ULONG PR_ORIGINAL_AUTHOR_ENTRYID = PROP_TAG(PT_BINARY, 0x004C);
constexpr ULONG PR_ORIGINAL_AUTHOR_NAME = PROP_TAG(PT_STRING8, 0x004D);
constexpr ULONG PR_SENTMAIL_ENTRYID = PROP_TAG(PT_BINARY, 0x0E0A);
constexpr ULONG PR_DELETE_AFTER_SUBMIT = PROP_TAG(PT_BOOLEAN, 0x0E01);
constexpr ULONG PR_SEND_RICH_INFO = PROP_TAG(PT_BOOLEAN, 0x3A40);
constexpr ULONG PR_DISPLAY_NAME = PROP_TAG(PT_STRING8, 0x3001);
constexpr ULONG PR_ADDRTYPE = PROP_TAG(PT_STRING8, 0x3002);
constexpr ULONG PR_EMAIL_ADDRESS = PROP_TAG(PT_STRING8, 0x3003);
constexpr ULONG PR_SEARCH_KEY = PROP_TAG(PT_BINARY, 0x300B);
constexpr ULONG PR_DISPLAY_TYPE = PROP_TAG(PT_LONG, 0x3900);
constexpr ULONG PR_GIVEN_NAME = PROP_TAG(PT_STRING8, 0x3A06);
constexpr ULONG PR_SURNAME = PROP_TAG(PT_STRING8, 0x3A11);
constexpr ULONG PR_TITLE = PROP_TAG(PT_STRING8, 0x3A17);
constexpr ULONG PR_MIDDLE_NAME = PROP_TAG(PT_STRING8, 0x3A44);
constexpr ULONG PR_COMPANY_NAME = PROP_TAG(PT_STRING8, 0x3A16);
constexpr ULONG PR_DEPARTMENT_NAME = PROP_TAG(PT_STRING8, 0x3A18);
constexpr ULONG PR_OFFICE_LOCATION = PROP_TAG(PT_STRING8, 0x3A19);
constexpr ULONG PR_GENERATION = PROP_TAG(PT_STRING8, 0x3A05);
constexpr ULONG PR_DISPLAY_NAME_PREFIX = PROP_TAG(PT_STRING8, 0x3A45);
constexpr ULONG PR_HOME_TELEPHONE_NUMBER = PROP_TAG(PT_STRING8, 0x3A09);
constexpr ULONG PR_BUSINESS_TELEPHONE_NUMBER = PROP_TAG(PT_STRING8, 0x3A08);
constexpr ULONG PR_ASSISTANT_TELEPHONE_NUMBER = PROP_TAG(PT_STRING8, 0x3A2E);
constexpr ULONG PR_MOBILE_TELEPHONE_NUMBER = PROP_TAG(PT_STRING8, 0x3A1C);
constexpr ULONG PR_BUSINESS_FAX_NUMBER = PROP_TAG(PT_STRING8, 0x3A24);
constexpr ULONG PR_BUSINESS_HOME_PAGE = PROP_TAG(PT_STRING8, 0x3A51);
constexpr ULONG PR_BUSINESS_ADDRESS_STREET = PROP_TAG(PT_STRING8, 0x3A29);
constexpr ULONG PR_BUSINESS_ADDRESS_CITY = PROP_TAG(PT_STRING8, 0x3A27);
constexpr ULONG PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE = PROP_TAG(PT_STRING8, 0x3A28);
constexpr ULONG PR_BUSINESS_ADDRESS_COUNTRY = PROP_TAG(PT_STRING8, 0x3A26);
constexpr ULONG PR_BUSINESS_ADDRESS_POSTAL_CODE = PROP_TAG(PT_STRING8, 0x3A2A);
constexpr ULONG PR_HOME_ADDRESS_STREET = PROP_TAG(PT_STRING8, 0x3A5D);
constexpr ULONG PR_HOME_ADDRESS_CITY = PROP_TAG(PT_STRING8, 0x3A59);
constexpr ULONG PR_HOME_ADDRESS_STATE_OR_PROVINCE = PROP_TAG(PT_STRING8, 0x3A5C);
constexpr ULONG PR_HOME_ADDRESS_COUNTRY = PROP_TAG(PT_STRING8, 0x3A5A);
constexpr ULONG PR_HOME_ADDRESS_POSTAL_CODE = PROP_TAG(PT_STRING8, 0x3A5B);
constexpr ULONG PR_LAST_MODIFICATION_TIME = PROP_TAG(PT_SYSTIME, 0x3008);
constexpr ULONG PR_DEFAULT_PROFILE = PROP_TAG(PT_BOOLEAN, 0x3D04);
constexpr ULONG PR_RESOURCE_FLAGS = PROP_TAG(PT_LONG, 0x3009);
constexpr ULONG PR_PROVIDER_DISPLAY = PROP_TAG(PT_STRING8, 0x3006);
constexpr ULONG PR_RESOURCE_TYPE = PROP_TAG(PT_LONG, 0x3E03);
constexpr ULONG PR_DEFAULT_STORE = PROP_TAG(PT_BOOLEAN, 0x3400);
constexpr ULONG PR_STORE_SUPPORT_MASK = PROP_TAG(PT_LONG, 0x340D);
constexpr ULONG PR_VALID_FOLDER_MASK = PROP_TAG(PT_LONG, 0x35DF);
constexpr ULONG PR_IPM_SUBTREE_ENTRYID = PROP_TAG(PT_BINARY, 0x35E0);
constexpr ULONG PR_IPM_OUTBOX_ENTRYID = PROP_TAG(PT_BINARY, 0x35E2);
constexpr ULONG PR_IPM_WASTEBASKET_ENTRYID = PROP_TAG(PT_BINARY, 0x35E3);
constexpr ULONG PR_IPM_SENTMAIL_ENTRYID = PROP_TAG(PT_BINARY, 0x35E4);
constexpr ULONG PR_IPM_APPOINTMENT_ENTRYID = PROP_TAG(PT_BINARY, 0x36D0);
constexpr ULONG PR_IPM_CONTACT_ENTRYID = PROP_TAG(PT_BINARY, 0x36D1);
constexpr ULONG PR_IPM_JOURNAL_ENTRYID = PROP_TAG(PT_BINARY, 0x36D2);
constexpr ULONG PR_IPM_NOTE_ENTRYID = PROP_TAG(PT_BINARY, 0x36D3);
constexpr ULONG PR_IPM_TASK_ENTRYID = PROP_TAG(PT_BINARY, 0x36D4);
constexpr ULONG PR_IPM_DRAFTS_ENTRYID = PROP_TAG(PT_BINARY, 0x36D7);
constexpr ULONG PR_CONTAINER_CLASS = PROP_TAG(PT_STRING8, 0x3613);
constexpr ULONG PR_CONTAINER_HIERARCHY = PROP_TAG(PT_OBJECT, 0x360E);
constexpr ULONG PR_CONTAINER_CONTENTS = PROP_TAG(PT_OBJECT, 0x360F);
constexpr ULONG PR_SUBFOLDERS = PROP_TAG(PT_BOOLEAN, 0x360A);
constexpr ULONG PR_PARENT_ENTRYID = PROP_TAG(PT_BINARY, 0x0E09);
constexpr ULONG PR_CONTAINER_FLAGS = PROP_TAG(PT_LONG, 0x3600);
constexpr ULONG PR_ANR = PROP_TAG(PT_STRING8, 0x360C);
constexpr ULONG PR_CONTENT_COUNT = PROP_TAG(PT_LONG, 0x3602);
constexpr ULONG PR_CONTENT_UNREAD = PROP_TAG(PT_LONG, 0x3603);
constexpr ULONG PR_DEPTH = PROP_TAG(PT_LONG, 0x3005);
constexpr ULONG PR_ASSISTANT = PROP_TAG(PT_STRING8, 0x3A30);
constexpr ULONG PR_BUSINESS2_TELEPHONE_NUMBER = PROP_TAG(PT_STRING8, 0x3A1B);
constexpr ULONG PR_OTHER_TELEPHONE_NUMBER = PROP_TAG(PT_STRING8, 0x3A1F);
constexpr ULONG PR_MANAGER_NAME = PROP_TAG(PT_STRING8, 0x3A4E);
constexpr ULONG PR_PERSONAL_HOME_PAGE = PROP_TAG(PT_STRING8, 0x3A50);
constexpr ULONG PR_POSTAL_ADDRESS = PROP_TAG(PT_STRING8, 0x3A15);

// Message flags.
constexpr ULONG MSGFLAG_READ = 0x1;
constexpr ULONG MSGFLAG_UNMODIFIED = 0x2;
constexpr ULONG MSGFLAG_SUBMIT = 0x4;
constexpr ULONG MSGFLAG_UNSENT = 0x8;
constexpr ULONG MSGFLAG_HASATTACH = 0x10;
constexpr ULONG MSGFLAG_FROMME = 0x20;
constexpr ULONG MSGFLAG_ASSOCIATED = 0x40;
constexpr ULONG MSGFLAG_RESEND = 0x80;
constexpr ULONG MSGFLAG_RN_PENDING = 0x100;
constexpr ULONG MSGFLAG_NRN_PENDING = 0x200;

// Recipient, object and display types.
constexpr ULONG MAPI_ORIG = 0;
constexpr ULONG MAPI_TO = 1;
constexpr ULONG MAPI_CC = 2;
constexpr ULONG MAPI_BCC = 3;
constexpr ULONG MAPI_SUBMITTED = 0x80000000;
constexpr ULONG MAPI_STORE = 1;
constexpr ULONG MAPI_ADDRBOOK = 2;
constexpr ULONG MAPI_FOLDER = 3;
constexpr ULONG MAPI_ABCONT = 4;
constexpr ULONG MAPI_MESSAGE = 5;
constexpr ULONG MAPI_MAILUSER = 6;
constexpr ULONG MAPI_ATTACH = 7;
constexpr ULONG MAPI_DISTLIST = 8;
constexpr ULONG MAPI_PROFSECT = 9;
constexpr ULONG MAPI_STATUS = 0xA;
constexpr ULONG MAPI_SESSION = 0xB;
constexpr ULONG DT_MAILUSER = 0;
constexpr ULONG DT_DISTLIST = 1;
constexpr ULONG DT_FORUM = 2;
constexpr ULONG DT_AGENT = 3;
constexpr ULONG DT_ORGANIZATION = 4;
constexpr ULONG DT_PRIVATE_DISTLIST = 5;
constexpr ULONG DT_REMOTE_MAILUSER = 6;
constexpr ULONG DT_MODIFIABLE = 0x10000;
constexpr ULONG DT_GLOBAL = 0x20000;
constexpr ULONG DT_LOCAL = 0x30000;
constexpr ULONG DT_FOLDER = 0x1000000;
constexpr ULONG IMPORTANCE_LOW = 0;
constexpr ULONG IMPORTANCE_NORMAL = 1;
constexpr ULONG IMPORTANCE_HIGH = 2;
constexpr ULONG SENSITIVITY_NONE = 0;
constexpr ULONG SENSITIVITY_PERSONAL = 1;
constexpr ULONG SENSITIVITY_PRIVATE = 2;
constexpr ULONG SENSITIVITY_COMPANY_CONFIDENTIAL = 3;
constexpr ULONG MAPI_STORE_PROVIDER = 33;
constexpr ULONG STATUS_DEFAULT_STORE = 0x1;
constexpr ULONG MAPI_AB = 34;
constexpr ULONG MAPI_AB_PROVIDER = 35;
constexpr ULONG MAPI_TRANSPORT_PROVIDER = 36;

// Store support mask and valid folder mask.
constexpr ULONG STORE_ENTRYID_UNIQUE = 0x1;
constexpr ULONG STORE_READONLY = 0x2;
constexpr ULONG STORE_SEARCH_OK = 0x4;
constexpr ULONG STORE_MODIFY_OK = 0x8;
constexpr ULONG STORE_CREATE_OK = 0x10;
constexpr ULONG STORE_ATTACH_OK = 0x20;
constexpr ULONG STORE_OLE_OK = 0x40;
constexpr ULONG STORE_SUBMIT_OK = 0x80;
constexpr ULONG STORE_NOTIFY_OK = 0x100;
constexpr ULONG STORE_MV_PROPS_OK = 0x200;
constexpr ULONG STORE_CATEGORIZE_OK = 0x400;
constexpr ULONG STORE_RTF_OK = 0x800;
constexpr ULONG STORE_RESTRICTION_OK = 0x1000;
constexpr ULONG STORE_SORT_OK = 0x2000;
constexpr ULONG STORE_PUBLIC_FOLDERS = 0x4000;
constexpr ULONG STORE_UNCOMPRESSED_RTF = 0x8000;
constexpr ULONG STORE_HTML_OK = 0x10000;
constexpr ULONG STORE_ANSI_OK = 0x20000;
constexpr ULONG STORE_UNICODE_OK = 0x40000;
constexpr ULONG FOLDER_IPM_SUBTREE_VALID = 0x1;
constexpr ULONG FOLDER_IPM_INBOX_VALID = 0x2;
constexpr ULONG FOLDER_IPM_OUTBOX_VALID = 0x4;
constexpr ULONG FOLDER_IPM_WASTEBASKET_VALID = 0x8;
constexpr ULONG FOLDER_IPM_SENTMAIL_VALID = 0x10;
constexpr ULONG FOLDER_VIEWS_VALID = 0x20;
constexpr ULONG FOLDER_COMMON_VIEWS_VALID = 0x40;
constexpr ULONG FOLDER_FINDER_VALID = 0x80;

// Method flags.
constexpr ULONG SUPPRESS_RECEIPT = 0x1;
constexpr ULONG CLEAR_READ_FLAG = 0x4;
constexpr ULONG MAPI_DEFERRED_ERRORS = 0x8;
constexpr ULONG GENERATE_RECEIPT_ONLY = 0x10;
constexpr ULONG CLEAR_RN_PENDING = 0x20;
constexpr ULONG CLEAR_NRN_PENDING = 0x40;
constexpr ULONG MESSAGE_MOVE = 0x1;
constexpr ULONG FOLDER_GENERIC = 1;
constexpr ULONG OPEN_IF_EXISTS = 0x1;
constexpr ULONG DEL_FOLDERS = 0x4;
constexpr ULONG DEL_MESSAGES = 0x8;
constexpr ULONG MESSAGE_DIALOG = 0x2;
constexpr ULONG KEEP_OPEN_READONLY = 0x1;
constexpr ULONG KEEP_OPEN_READWRITE = 0x2;
constexpr ULONG FORCE_SAVE = 0x4;
constexpr ULONG FORCE_SUBMIT = 0x1;
constexpr ULONG MAPI_MODIFY = 0x1;
constexpr ULONG MAPI_CREATE = 0x2;
constexpr ULONG STREAM_APPEND = 0x4;
constexpr ULONG MAPI_BEST_ACCESS = 0x10;
constexpr ULONG MAPI_UNICODE = 0x80000000;
constexpr ULONG MAPI_LOGON_UI = 0x1;
constexpr ULONG MAPI_NEW_SESSION = 0x2;
constexpr ULONG MAPI_ALLOW_OTHERS = 0x8;
constexpr ULONG MAPI_EXPLICIT_PROFILE = 0x10;
constexpr ULONG MAPI_EXTENDED = 0x20;
constexpr ULONG MAPI_USE_DEFAULT = 0x40;
constexpr ULONG MAPI_NO_MAIL = 0x8000;
constexpr ULONG MAPI_PASSWORD_UI = 0x20000;
constexpr ULONG MAPI_LOGOFF_SHARED = 0x1;
constexpr ULONG MAPI_LOGOFF_UI = 0x2;
constexpr ULONG MDB_NO_DIALOG = 0x1;
constexpr ULONG MDB_WRITE = 0x4;
constexpr ULONG MDB_NO_MAIL = 0x80;
constexpr ULONG CONVENIENT_DEPTH = 0x1;
constexpr ULONG MODRECIP_ADD = 0x2;
constexpr ULONG MODRECIP_MODIFY = 0x4;
constexpr ULONG MODRECIP_REMOVE = 0x8;
constexpr ULONG RTF_SYNC_RTF_CHANGED = 0x1;
constexpr ULONG RTF_SYNC_BODY_CHANGED = 0x2;
constexpr ULONG MAPI_SEND_NO_RICH_INFO = 0x00010000;
constexpr ULONG MAPI_UNRESOLVED = 0;
constexpr ULONG MAPI_AMBIGUOUS = 1;
constexpr ULONG MAPI_RESOLVED = 2;

// Address book: container flags (PR_CONTAINER_FLAGS) and the flags of IAddrBook::Address.
constexpr ULONG AB_RECIPIENTS = 0x1;
constexpr ULONG AB_SUBCONTAINERS = 0x2;
constexpr ULONG AB_MODIFIABLE = 0x4;
constexpr ULONG AB_UNMODIFIABLE = 0x8;
constexpr ULONG DIALOG_MODAL = 0x1;
constexpr ULONG DIALOG_SDI = 0x2;
constexpr ULONG ADDRESS_ONE = 0x8;
constexpr ULONG AB_SELECTONLY = 0x10;
constexpr ULONG AB_RESOLVE = 0x20;

// Notifications.
constexpr ULONG fnevCriticalError = 0x1;
constexpr ULONG fnevNewMail = 0x2;
constexpr ULONG fnevObjectCreated = 0x4;
constexpr ULONG fnevObjectDeleted = 0x8;
constexpr ULONG fnevObjectModified = 0x10;
constexpr ULONG fnevObjectMoved = 0x20;
constexpr ULONG fnevObjectCopied = 0x40;
constexpr ULONG fnevTableModified = 0x100;
constexpr ULONG TABLE_CHANGED = 1;
constexpr ULONG TABLE_ERROR = 2;
constexpr ULONG TABLE_ROW_ADDED = 3;
constexpr ULONG TABLE_ROW_DELETED = 4;
constexpr ULONG TABLE_ROW_MODIFIED = 5;
constexpr ULONG TABLE_SORT_DONE = 6;
constexpr ULONG TABLE_RESTRICT_DONE = 7;
constexpr ULONG TABLE_SETCOL_DONE = 8;
constexpr ULONG TABLE_RELOAD = 9;

// Tables.
using BOOKMARK = ULONG;
constexpr ULONG TBL_NOADVANCE = 0x1;
constexpr BOOKMARK BOOKMARK_BEGINNING = 0;
constexpr BOOKMARK BOOKMARK_CURRENT = 1;
constexpr BOOKMARK BOOKMARK_END = 2;
constexpr ULONG TABLE_SORT_ASCEND = 0;
constexpr ULONG TABLE_SORT_DESCEND = 1;
// What WaitForCompletion reports: a folder's contents table asked for with
// MAPI_DEFERRED_ERRORS is still reading the folder (QueryPosition then gives the messages read
// so far over the messages listed) until it is complete.
constexpr ULONG TBLSTAT_COMPLETE = 0;
constexpr ULONG TBLSTAT_SORTING = 9;

// Restrictions.
constexpr ULONG RES_AND = 0;
constexpr ULONG RES_OR = 1;
constexpr ULONG RES_NOT = 2;
constexpr ULONG RES_CONTENT = 3;
constexpr ULONG RES_PROPERTY = 4;
constexpr ULONG RES_COMPAREPROPS = 5;
constexpr ULONG RES_BITMASK = 6;
constexpr ULONG RES_SIZE = 7;
constexpr ULONG RES_EXIST = 8;
constexpr ULONG RES_SUBRESTRICTION = 9;
constexpr ULONG RELOP_LT = 0;
constexpr ULONG RELOP_LE = 1;
constexpr ULONG RELOP_GT = 2;
constexpr ULONG RELOP_GE = 3;
constexpr ULONG RELOP_EQ = 4;
constexpr ULONG RELOP_NE = 5;
constexpr ULONG RELOP_RE = 6;
constexpr ULONG FL_FULLSTRING = 0;
constexpr ULONG FL_SUBSTRING = 1;
constexpr ULONG FL_PREFIX = 2;
constexpr ULONG FL_IGNORECASE = 0x10000;
constexpr ULONG FL_IGNORENONSPACE = 0x20000;
constexpr ULONG FL_LOOSE = 0x40000;
constexpr ULONG BMR_EQZ = 0;
constexpr ULONG BMR_NEZ = 1;
constexpr ULONG MNID_ID = 0;
constexpr ULONG MNID_STRING = 1;

// Interface and property set identifiers.
struct GUID
{
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using MAPIUID = GUID;
using LPCIID = const IID*;
using LPGUID = GUID*;

inline bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::equal(a.Data4, a.Data4 + 8, b.Data4);
}

inline constexpr GUID PS_MAPI = {0x00020328, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID PS_PUBLIC_STRINGS = {0x00020329, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID PSETID_Address = {0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID MAPI_ONE_OFF_UID = {
    0xA41F2B81, 0xA3BE, 0x1910, {0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02}};
// Interfaces that OpenProperty can hand out; the values are this library's own.
inline constexpr IID IID_IMAPITable = {
    0x6F1A1C01, 0x5E7B, 0x4C2D, {0x9A, 0x10, 0x56, 0x4E, 0x54, 0x00, 0x00, 0x01}};
inline constexpr IID IID_IStream = {
    0x6F1A1C01, 0x5E7B, 0x4C2D, {0x9A, 0x10, 0x56, 0x4E, 0x54, 0x00, 0x00, 0x02}};
inline constexpr IID IID_IMessage = {
    0x6F1A1C01, 0x5E7B, 0x4C2D, {0x9A, 0x10, 0x56, 0x4E, 0x54, 0x00, 0x00, 0x03}};
inline constexpr IID IID_IMailUser = {
    0x6F1A1C01, 0x5E7B, 0x4C2D, {0x9A, 0x10, 0x56, 0x4E, 0x54, 0x00, 0x00, 0x10}};
inline constexpr IID IID_IABContainer = {
    0x6F1A1C01, 0x5E7B, 0x4C2D, {0x9A, 0x10, 0x56, 0x4E, 0x54, 0x00, 0x00, 0x11}};

// Values.
struct FILETIME
{
    std::uint32_t dwLowDateTime;
    std::uint32_t dwHighDateTime;
};

struct SBinary
{
    ULONG cb;
    LPBYTE lpb;
};

struct SLongArray
{
    ULONG cValues;
    LONG* lpl;
};

struct SBinaryArray
{
    ULONG cValues;
    SBinary* lpbin;
};

struct SLPSTRArray
{
    ULONG cValues;
    char** lppszA;
};

union PropValueUnion {
    short i;
    LONG l;
    ULONG ul;
    float flt;
    double dbl;
    unsigned short b;
    double at;
    std::int64_t li;
    std::int64_t cur;
    FILETIME ft;
    char* lpszA; // UTF-8, for PT_STRING8 and PT_UNICODE alike
    SBinary bin;
    GUID* lpguid;
    SCODE err;
    LONG x;
    SLongArray MVl;
    SBinaryArray MVbin;
    SLPSTRArray MVszA;
};

struct SPropValue
{
    ULONG ulPropTag;
    ULONG dwAlignPad;
    PropValueUnion Value;
};
using LPSPropValue = SPropValue*;

struct SPropTagArray
{
    ULONG cValues;
    ULONG aulPropTag[1];
};
using LPSPropTagArray = SPropTagArray*;

constexpr std::size_t CbNewSPropTagArray(ULONG count)
{
    return offsetof(SPropTagArray, aulPropTag) + count * sizeof(ULONG);
}

struct SRow
{
    ULONG ulAdrEntryPad;
    ULONG cValues;
    LPSPropValue lpProps;
};
using LPSRow = SRow*;

struct SRowSet
{
    ULONG cRows;
    SRow aRow[1];
};
using LPSRowSet = SRowSet*;

constexpr std::size_t CbNewSRowSet(ULONG count)
{
    return offsetof(SRowSet, aRow) + count * sizeof(SRow);
}

struct SSortOrder
{
    ULONG ulPropTag;
    ULONG ulOrder;
};

struct SSortOrderSet
{
    ULONG cSorts;
    ULONG cCategories;
    ULONG cExpanded;
    SSortOrder aSort[1];
};
using LPSSortOrderSet = SSortOrderSet*;

constexpr std::size_t CbNewSSortOrderSet(ULONG count)
{
    return offsetof(SSortOrderSet, aSort) + count * sizeof(SSortOrder);
}

struct SRestriction;
using LPSRestriction = SRestriction*;

struct SAndRestriction
{
    ULONG cRes;
    LPSRestriction lpRes;
};
using SOrRestriction = SAndRestriction;

struct SNotRestriction
{
    ULONG ulReserved;
    LPSRestriction lpRes;
};

struct SContentRestriction
{
    ULONG ulFuzzyLevel;
    ULONG ulPropTag;
    LPSPropValue lpProp;
};

struct SPropertyRestriction
{
    ULONG relop;
    ULONG ulPropTag;
    LPSPropValue lpProp;
};

struct SComparePropsRestriction
{
    ULONG relop;
    ULONG ulPropTag1;
    ULONG ulPropTag2;
};

struct SBitMaskRestriction
{
    ULONG relBMR;
    ULONG ulPropTag;
    ULONG ulMask;
};

struct SSizeRestriction
{
    ULONG relop;
    ULONG ulPropTag;
    ULONG cb;
};

struct SExistRestriction
{
    ULONG ulReserved1;
    ULONG ulPropTag;
    ULONG ulReserved2;
};

struct SSubRestriction
{
    ULONG ulSubObject;
    LPSRestriction lpRes;
};

struct SRestriction
{
    ULONG rt;
    union {
        SAndRestriction resAnd;
        SOrRestriction resOr;
        SNotRestriction resNot;
        SContentRestriction resContent;
        SPropertyRestriction resProperty;
        SComparePropsRestriction resCompareProps;
        SBitMaskRestriction resBitMask;
        SSizeRestriction resSize;
        SExistRestriction resExist;
        SSubRestriction resSub;
    } res;
};

// Entry identifiers: four flag bytes, then provider data.
struct ENTRYID
{
    BYTE abFlags[4];
    BYTE ab[1];
};
using LPENTRYID = ENTRYID*;

struct ENTRYLIST
{
    ULONG cValues;
    SBinary* lpbin;
};
using LPENTRYLIST = ENTRYLIST*;

struct ADRENTRY
{
    ULONG ulReserved1;
    ULONG cValues;
    LPSPropValue rgPropVals;
};

struct ADRLIST
{
    ULONG cEntries;
    ADRENTRY aEntries[1];
};
using LPADRLIST = ADRLIST*;

// What IAddrBook::Address shows: caption, the destination wells (their titles and recipient
// types), and the containers offered (lpHierRestriction on the root's hierarchy table). Only
// modal dialogs exist here, so the modeless callbacks stay null.
struct ADRPARM
{
    ULONG cbABContEntryID;
    LPENTRYID lpABContEntryID;
    ULONG ulFlags;
    void* lpReserved;
    ULONG ulHelpContext;
    char* lpszHelpFileName;
    void* lpfnABSDI;
    void* lpfnDismiss;
    void* lpvDismissContext;
    char* lpszCaption;
    char* lpszNewEntryTitle;
    char* lpszDestWellsTitle;
    ULONG cDestFields;
    ULONG nDestFieldFocus;
    char** lppszDestTitles;
    ULONG* lpulDestComps;
    LPSRestriction lpContRestriction;
    LPSRestriction lpHierRestriction;
};
using LPADRPARM = ADRPARM*;

constexpr std::size_t CbNewADRLIST(ULONG count)
{
    return offsetof(ADRLIST, aEntries) + count * sizeof(ADRENTRY);
}

struct MAPINAMEID
{
    LPGUID lpguid;
    ULONG ulKind;
    union {
        LONG lID;
        char* lpwstrName; // UTF-8
    } Kind;
};
using LPMAPINAMEID = MAPINAMEID*;

// Notifications delivered to IMAPIAdviseSink::OnNotify.
struct OBJECT_NOTIFICATION
{
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    ULONG ulObjType;
    ULONG cbParentID;
    LPENTRYID lpParentID;
    ULONG cbOldID;
    LPENTRYID lpOldID;
    ULONG cbOldParentID;
    LPENTRYID lpOldParentID;
    LPSPropTagArray lpPropTagArray;
};

struct TABLE_NOTIFICATION
{
    ULONG ulTableEvent;
    HRESULT hResult;
    SPropValue propIndex;
    SPropValue propPrior;
    SRow row;
    ULONG ulPad;
};

struct NEWMAIL_NOTIFICATION
{
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    ULONG cbParentID;
    LPENTRYID lpParentID;
    ULONG ulFlags;
    char* lpszMessageClass;
    ULONG ulMessageFlags;
};

struct ERROR_NOTIFICATION
{
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    SCODE scode;
    ULONG ulFlags;
};

struct NOTIFICATION
{
    ULONG ulEventType;
    ULONG ulAlignPad;
    union {
        ERROR_NOTIFICATION err;
        NEWMAIL_NOTIFICATION newmail;
        OBJECT_NOTIFICATION obj;
        TABLE_NOTIFICATION tab;
    } info;
};
using LPNOTIFICATION = NOTIFICATION*;

// Attachments, RTF and property copying.
constexpr HRESULT MAPI_E_UNKNOWN_FLAGS = vntCode(0x80040106);
constexpr ULONG PR_ATTACH_DATA_BIN = PROP_TAG(PT_BINARY, 0x3701);
constexpr ULONG PR_ATTACH_DATA_OBJ = PROP_TAG(PT_OBJECT, 0x3701);
constexpr ULONG PR_ATTACH_EXTENSION = PROP_TAG(PT_STRING8, 0x3703);
constexpr ULONG PR_ATTACH_FILENAME = PROP_TAG(PT_STRING8, 0x3704);
constexpr ULONG PR_ATTACH_METHOD = PROP_TAG(PT_LONG, 0x3705);
constexpr ULONG PR_ATTACH_LONG_FILENAME = PROP_TAG(PT_STRING8, 0x3707);
constexpr ULONG PR_RENDERING_POSITION = PROP_TAG(PT_LONG, 0x370B);
constexpr ULONG PR_ATTACH_MIME_TAG = PROP_TAG(PT_STRING8, 0x370E);
constexpr ULONG PR_ATTACH_CONTENT_ID = PROP_TAG(PT_STRING8, 0x3712);
constexpr ULONG PR_ATTACH_NUM = PROP_TAG(PT_LONG, 0x0E21);
constexpr ULONG PR_ATTACH_SIZE = PROP_TAG(PT_LONG, 0x0E20);
constexpr ULONG NO_ATTACHMENT = 0;
constexpr ULONG ATTACH_BY_VALUE = 1;
constexpr ULONG ATTACH_EMBEDDED_MSG = 5;
inline constexpr IID IID_IAttachment = {
    0x6F1A1C01, 0x5E7B, 0x4C2D, {0x9A, 0x10, 0x56, 0x4E, 0x54, 0x00, 0x00, 0x04}};
inline constexpr IID IID_IMAPIProp = {
    0x6F1A1C01, 0x5E7B, 0x4C2D, {0x9A, 0x10, 0x56, 0x4E, 0x54, 0x00, 0x00, 0x05}};

// The properties CopyTo and CopyProps could not copy, with the reason for each.
struct SPropProblem
{
    ULONG ulIndex;
    ULONG ulPropTag;
    SCODE scode;
};

struct SPropProblemArray
{
    ULONG cProblem;
    SPropProblem aProblem[1];
};
using LPSPropProblemArray = SPropProblemArray*;

constexpr std::size_t CbNewSPropProblemArray(ULONG count)
{
    return offsetof(SPropProblemArray, aProblem) + count * sizeof(SPropProblem);
}
constexpr HRESULT MAPI_E_COMPUTED = vntCode(0x8004011A);
// CopyTo / CopyProps flags.
constexpr ULONG MAPI_MOVE = 0x1;
constexpr ULONG MAPI_NOREPLACE = 0x2;
constexpr ULONG MAPI_DECLINE_OK = 0x4;
constexpr ULONG MAPI_DIALOG = 0x8;

// What IMAPIProp::GetLastError tells about a failure: a sentence a user can act on (what failed
// and why), the component that failed and the system error behind it (errno, 0 when none). One
// buffer; freed with MAPIFreeBuffer.
struct MAPIERROR
{
    ULONG ulVersion;
    char* lpszError;
    char* lpszComponent;
    ULONG ulLowLevelError;
    ULONG ulContext;
};
using LPMAPIERROR = MAPIERROR*;
constexpr ULONG MAPI_ERROR_VERSION = 0;
