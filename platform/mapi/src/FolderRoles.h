// The folders of the special roles (Outbox, Sent Items, Deleted Items, Drafts) of a store.
#pragma once

#include "Profiles.h"

namespace vntmapi {

// Fills in the roles the profile leaves open with the folders other mail programs made for
// them ("Sent", "Trash", "Sent Messages", ...), so that no duplicate is added beside them. A
// new store (no folders and no messages yet) gets the four folders made when `create` is set,
// as does any store the folders its profile names.
void resolveFolderRoles(StoreConfig* config, bool create);

} // namespace vntmapi
