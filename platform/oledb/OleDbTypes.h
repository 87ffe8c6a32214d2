#pragma once

#include <QtGlobal>

// Result codes, data types, status words and flags of the database interface, with the
// values OLE DB gives them, so that code written against OLE DB reads the same here.
namespace vnt::oledb {

using HRESULT = qint32;
using DBORDINAL = quint32;
using DBLENGTH = quint32;
using DBTYPE = quint16;
using DBSTATUS = quint32;
using DBCOLUMNFLAGS = quint32;
using DBPROPID = quint32;
using DBPROPSTATUS = quint32;
using DBPROPOPTIONS = quint32;

constexpr bool succeeded(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool failed(HRESULT hr)
{
    return hr < 0;
}

constexpr HRESULT hresult(quint32 code)
{
    return HRESULT(code);
}

// Success codes. A move that finds no row answers DB_S_ENDOFROWSET, not S_OK.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT DB_S_ENDOFROWSET = hresult(0x00040EC6);
constexpr HRESULT DB_S_ERRORSOCCURRED = hresult(0x00040EDA);

// Failure codes.
constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
constexpr HRESULT E_FAIL = hresult(0x80004005);
constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
constexpr HRESULT E_INVALIDARG = hresult(0x80070057);
constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
constexpr HRESULT REGDB_E_CLASSNOTREG = hresult(0x80040154);
constexpr HRESULT STG_E_FILENOTFOUND = hresult(0x80030002);
constexpr HRESULT STG_E_ACCESSDENIED = hresult(0x80030005);
constexpr HRESULT STG_E_MEDIUMFULL = hresult(0x80030070);
constexpr HRESULT DB_E_BADACCESSORHANDLE = hresult(0x80040E00);
constexpr HRESULT DB_E_BADROWHANDLE = hresult(0x80040E04);
constexpr HRESULT DB_E_CANTCONVERTVALUE = hresult(0x80040E07);
constexpr HRESULT DB_E_BADBINDINFO = hresult(0x80040E08);
constexpr HRESULT DB_SEC_E_PERMISSIONDENIED = hresult(0x80040E09);
constexpr HRESULT DB_E_NOCOMMAND = hresult(0x80040E0C);
constexpr HRESULT DB_E_ERRORSINCOMMAND = hresult(0x80040E14);
constexpr HRESULT DB_E_ERRORSOCCURRED = hresult(0x80040E21);
constexpr HRESULT DB_E_DELETEDROW = hresult(0x80040E23);
constexpr HRESULT DB_E_CANTFETCHBACKWARDS = hresult(0x80040E24);
constexpr HRESULT DB_E_MULTIPLESTATEMENTS = hresult(0x80040E2E);
constexpr HRESULT DB_E_INTEGRITYVIOLATION = hresult(0x80040E2F);
constexpr HRESULT DB_E_NOTABLE = hresult(0x80040E37);
constexpr HRESULT DB_E_CONCURRENCYVIOLATION = hresult(0x80040E38);
constexpr HRESULT DB_E_ALREADYINITIALIZED = hresult(0x80040E52);
constexpr HRESULT DB_E_NOTSUPPORTED = hresult(0x80040E53);
constexpr HRESULT DB_E_BADORDINAL = hresult(0x80040E55);
constexpr HRESULT DB_E_DATAOVERFLOW = hresult(0x80040E57);
constexpr HRESULT DB_E_RESOURCELOCKED = hresult(0x80040E92);

// Data types of bindings and columns.
constexpr DBTYPE DBTYPE_EMPTY = 0;
constexpr DBTYPE DBTYPE_I4 = 3;
constexpr DBTYPE DBTYPE_R8 = 5;
constexpr DBTYPE DBTYPE_DATE = 7;     // day number since 30 December 1899, fraction = time
constexpr DBTYPE DBTYPE_VARIANT = 12; // a column without a type: each value keeps its own
constexpr DBTYPE DBTYPE_I8 = 20;
constexpr DBTYPE DBTYPE_STR = 129;

// Status words of bound values.
constexpr DBSTATUS DBSTATUS_S_OK = 0;
constexpr DBSTATUS DBSTATUS_E_BADACCESSOR = 1;
constexpr DBSTATUS DBSTATUS_E_CANTCONVERTVALUE = 2;
constexpr DBSTATUS DBSTATUS_S_ISNULL = 3;
constexpr DBSTATUS DBSTATUS_S_TRUNCATED = 4;
constexpr DBSTATUS DBSTATUS_E_DATAOVERFLOW = 6;
constexpr DBSTATUS DBSTATUS_E_PERMISSIONDENIED = 9;
constexpr DBSTATUS DBSTATUS_E_BADSTATUS = 12;
constexpr DBSTATUS DBSTATUS_S_IGNORE = 15;

// Column flags of the column information.
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISBOOKMARK = 0x1;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_WRITE = 0x4;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISFIXEDLENGTH = 0x10;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISNULLABLE = 0x20;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_MAYBENULL = 0x40;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISROWID = 0x100;

// Initialisation properties of a data source.
constexpr DBPROPID DBPROP_AUTH_CACHE_AUTHINFO = 0x05;
constexpr DBPROPID DBPROP_AUTH_ENCRYPT_PASSWORD = 0x06;
constexpr DBPROPID DBPROP_AUTH_MASK_PASSWORD = 0x08;
constexpr DBPROPID DBPROP_AUTH_PASSWORD = 0x09;
constexpr DBPROPID DBPROP_AUTH_USERID = 0x0C;
constexpr DBPROPID DBPROP_INIT_DATASOURCE = 0x3B;
constexpr DBPROPID DBPROP_INIT_MODE = 0x3F;
constexpr DBPROPID DBPROP_INIT_PROMPT = 0x40;
constexpr DBPROPID DBPROP_INIT_PROVIDERSTRING = 0xA0;
constexpr DBPROPID DBPROP_INIT_LCID = 0xBA;

// Rowset properties of a command.
constexpr DBPROPID DBPROP_BOOKMARKS = 0x0E;
constexpr DBPROPID DBPROP_CANFETCHBACKWARDS = 0x12;
constexpr DBPROPID DBPROP_CANSCROLLBACKWARDS = 0x15;
constexpr DBPROPID DBPROP_UPDATABILITY = 0x75;
constexpr DBPROPID DBPROP_IRowsetChange = 0x7F;
constexpr DBPROPID DBPROP_IRowsetLocate = 0x82;
constexpr DBPROPID DBPROP_IRowsetScroll = 0x85;

// Values of DBPROP_INIT_PROMPT, DBPROP_INIT_MODE and DBPROP_UPDATABILITY.
constexpr qint32 DBPROMPT_PROMPT = 1;
constexpr qint32 DBPROMPT_COMPLETE = 2;
constexpr qint32 DBPROMPT_COMPLETEREQUIRED = 3;
constexpr qint32 DBPROMPT_NOPROMPT = 4;
constexpr qint32 DB_MODE_READ = 0x01;
constexpr qint32 DB_MODE_WRITE = 0x02;
constexpr qint32 DB_MODE_READWRITE = 0x03;
constexpr qint32 DB_MODE_SHARE_DENY_NONE = 0x10;
constexpr qint32 DBPROPVAL_UP_CHANGE = 0x1;
constexpr qint32 DBPROPVAL_UP_DELETE = 0x2;
constexpr qint32 DBPROPVAL_UP_INSERT = 0x4;

// Property options and statuses.
constexpr DBPROPOPTIONS DBPROPOPTIONS_REQUIRED = 0;
constexpr DBPROPOPTIONS DBPROPOPTIONS_OPTIONAL = 1;
constexpr DBPROPSTATUS DBPROPSTATUS_OK = 0;
constexpr DBPROPSTATUS DBPROPSTATUS_NOTSUPPORTED = 1;
constexpr DBPROPSTATUS DBPROPSTATUS_BADVALUE = 2;
constexpr DBPROPSTATUS DBPROPSTATUS_NOTSET = 7;

} // namespace vnt::oledb
