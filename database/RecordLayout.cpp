#include "database/RecordLayout.h"

namespace vantrel::database {

namespace {

constexpr int kLongText = 255;
constexpr int kShortText = 80;
constexpr int kTypeText = 50;

constexpr FieldSpec kJobFields[] = {
    {2, FieldKind::Number, 0, 1018},         {3, FieldKind::Text, kLongText, 1017},
    {4, FieldKind::Text, kLongText, 1015},   {5, FieldKind::Text, kLongText, 1016},
    {6, FieldKind::Text, kLongText, 1023},   {7, FieldKind::Date, 0, 1070, 1024},
    {8, FieldKind::Date, 0, 1071, 1025},     {9, FieldKind::Text, kLongText, 1042},
    {10, FieldKind::Priority, 0, 1047},      {11, FieldKind::Status, 0, 1048},
    {12, FieldKind::Text, kShortText, 1049}, {13, FieldKind::Text, kShortText, 1050},
};

constexpr FieldSpec kKnowledgeFields[] = {
    {2, FieldKind::Number, 0, 1041},       {3, FieldKind::Text, kTypeText, 1059},
    {4, FieldKind::Text, kLongText, 1038}, {5, FieldKind::Text, kLongText, 1039},
    {6, FieldKind::Text, kLongText, 1040}, {7, FieldKind::Text, kLongText, 1058},
};

} // namespace

std::span<const FieldSpec> JobFields()
{
    return kJobFields;
}

std::span<const FieldSpec> KnowledgeFields()
{
    return kKnowledgeFields;
}

} // namespace vantrel::database
