#pragma once

#include "oledb/OleDbTypes.h"

#include <QString>
#include <span>
#include <vector>

namespace vantrel::database {

// How a bound column is shown: a number box, a text box, a date picker or a list of
// priority or status texts.
enum class FieldKind { Number, Text, Date, Priority, Status };

// One bound column of a record and the control that shows it.
struct FieldSpec
{
    vnt::oledb::DBORDINAL ordinal;
    FieldKind kind;
    int maxLength; // text bindings: characters including the terminating null
    int controlId;
    int dateTextId = 0; // the hidden text box that shows a date as text
};

// Job columns by index (ordinal - 2).
enum JobField {
    JobNumber = 0,
    Problem,
    Solution,
    CustomerName,
    CustomerEmail,
    StartDate,
    EndDate,
    Notes,
    Priority,
    Status,
    Category,
    Product
};

// Knowledge columns by index (ordinal - 2).
enum KnowledgeField { Reference = 0, Type, FactOrProblem, Note1, Note2, Note3 };

std::span<const FieldSpec> JobFields();
std::span<const FieldSpec> KnowledgeFields();

// One bound value: its text, status, integer and date places.
struct RecordSlot
{
    QString text;
    vnt::oledb::DBSTATUS status = vnt::oledb::DBSTATUS_S_OK;
    qint32 integer = 0;
    double date = 0;

    bool operator==(const RecordSlot&) const = default;
};

// The values of one record, one slot per field.
using RecordValues = std::vector<RecordSlot>;

} // namespace vantrel::database
