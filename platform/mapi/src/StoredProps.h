// Properties kept in a message file beyond what its standard headers say: each travels in an
// "X-Vantrel-Prop-<tag in hex>" header so that a message saved here and opened again gives it
// back.
#pragma once

#include "Property.h"

#include <functional>
#include <gmime/gmime.h>
#include <string>

namespace vntmapi {

// Computed from the file and its place (ids, size, flags from the file name): never written.
bool isComputedProp(ULONG tag);

// Written as a standard header by the message writer (subject, From, Sender, Date, bodies...).
bool hasStandardHeader(const Prop& prop, const PropList& all);

// Properties from the SPropValue a caller passes to SetProps; false for types not kept.
bool propFromValue(const SPropValue& value, Prop* out);

// Adds one private header per property that is neither computed nor standard.
void writePrivateHeaders(GMimeObject* message, const PropList& props);

// Reads the private headers back, replacing properties of the same id in `props`.
void readPrivateHeaders(GMimeObject* message, PropList* props);

bool isPrivateHeader(const char* name);

// The name of the private header that keeps `tag`.
std::string privateHeaderName(ULONG tag);

// A whole message file with the tags in the names of its private headers passed through `map`
// (same length, so nothing else moves); every other byte stays as it is.
std::string remapPrivateHeaders(std::string message, const std::function<ULONG(ULONG)>& map);

} // namespace vntmapi
