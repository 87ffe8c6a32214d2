// Restrictions for the table tests, built by name into storage that outlives the call.
#pragma once

#include "MapiFixture.h"

namespace mapitest {

// Storage for one restriction tree built by a test row.
struct RestrictionBuilder
{
    std::vector<SPropValue> values = std::vector<SPropValue>(8);
    std::vector<SRestriction> nodes = std::vector<SRestriction>(8);
    QByteArray text;

    SRestriction* property(int slot, ULONG relop, ULONG tag, const SPropValue& value)
    {
        values[slot] = value;
        nodes[slot].rt = RES_PROPERTY;
        nodes[slot].res.resProperty = {relop, tag, &values[slot]};
        return &nodes[slot];
    }
    SRestriction* content(int slot, ULONG fuzzy, ULONG tag, const char* needle)
    {
        text = needle;
        values[slot].ulPropTag = tag;
        values[slot].Value.lpszA = text.data();
        nodes[slot].rt = RES_CONTENT;
        nodes[slot].res.resContent = {fuzzy, tag, &values[slot]};
        return &nodes[slot];
    }
    SRestriction* combine(int slot, ULONG rt, int first, ULONG count)
    {
        nodes[slot].rt = rt;
        nodes[slot].res.resAnd = {count, &nodes[first]};
        return &nodes[slot];
    }
};

inline SPropValue longValue(ULONG tag, LONG v)
{
    SPropValue p{};
    p.ulPropTag = tag;
    p.Value.l = v;
    return p;
}

inline SPropValue timeValue(ULONG tag, std::uint64_t ft)
{
    SPropValue p{};
    p.ulPropTag = tag;
    p.Value.ft = {static_cast<std::uint32_t>(ft), static_cast<std::uint32_t>(ft >> 32)};
    return p;
}

inline SRestriction* buildRestriction(const QByteArray& kind, RestrictionBuilder* b)
{
    const ULONG icase = FL_IGNORECASE;
    if (kind == "unread") {
        return b->property(0, RELOP_EQ, PR_MESSAGE_FLAGS, longValue(PR_MESSAGE_FLAGS, 0));
    }
    if (kind == "high importance") {
        return b->property(0, RELOP_EQ, PR_IMPORTANCE, longValue(PR_IMPORTANCE, 2));
    }
    if (kind == "substring, any case") {
        return b->content(0, FL_SUBSTRING | icase, PR_SUBJECT, "LOCK");
    }
    if (kind == "substring, exact case") {
        return b->content(0, FL_SUBSTRING, PR_SUBJECT, "LOCK");
    }
    if (kind == "prefix of sender name") {
        return b->content(0, FL_PREFIX | icase, PR_SENT_REPRESENTING_NAME, "a");
    }
    if (kind == "whole name") {
        return b->content(0, FL_FULLSTRING | icase, PR_SENT_REPRESENTING_NAME, "dee");
    }
    if (kind == "sharp s folds to ss") {
        return b->content(0, FL_FULLSTRING | icase, CHANGE_PROP_TYPE(PR_SUBJECT, PT_UNICODE),
                          "GR\xC3\x9CSSE");
    }
    if (kind == "sent within the time window") {
        // As the message list builds it: +-3 in the upper 32 bits around a message's time.
        const std::uint64_t t = fileTimeOf(QDateTime(QDate(2024, 3, 4), QTime(9, 0), Qt::UTC));
        const std::uint64_t delta = std::uint64_t{3} << 32;
        b->property(1, RELOP_GE, PR_CLIENT_SUBMIT_TIME,
                    timeValue(PR_CLIENT_SUBMIT_TIME, t - delta));
        b->property(2, RELOP_LE, PR_CLIENT_SUBMIT_TIME,
                    timeValue(PR_CLIENT_SUBMIT_TIME, t + delta));
        return b->combine(0, RES_AND, 1, 2);
    }
    if (kind == "not read") {
        b->nodes[1].rt = RES_BITMASK;
        b->nodes[1].res.resBitMask = {BMR_NEZ, PR_MESSAGE_FLAGS, MSGFLAG_READ};
        b->nodes[0].rt = RES_NOT;
        b->nodes[0].res.resNot = {0, &b->nodes[1]};
        return &b->nodes[0];
    }
    if (kind == "low or high") {
        b->property(1, RELOP_EQ, PR_IMPORTANCE, longValue(PR_IMPORTANCE, 0));
        b->property(2, RELOP_EQ, PR_IMPORTANCE, longValue(PR_IMPORTANCE, 2));
        return b->combine(0, RES_OR, 1, 2);
    }
    if (kind == "has a sent time") {
        b->nodes[0].rt = RES_EXIST;
        b->nodes[0].res.resExist = {0, PR_CLIENT_SUBMIT_TIME, 0};
        return &b->nodes[0];
    }
    if (kind == "value of another type") {
        return b->property(0, RELOP_NE, PR_SUBJECT, longValue(PR_MESSAGE_SIZE, 0));
    }
    if (kind == "unsupported kind leaves the last one") {
        b->nodes[0].rt = RES_SUBRESTRICTION;
        b->nodes[0].res.resSub = {PR_MESSAGE_RECIPIENTS, &b->nodes[1]};
        return &b->nodes[0];
    }
    return nullptr; // "none": remove the restriction
}

} // namespace mapitest
