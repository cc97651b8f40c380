// The handle suite: the handles of the record's handleProcs under the table
// form plug-ins ask for by name. Version 1 of the name is also used by old
// plug-ins for the handleProcs record itself (with its version and count
// words); this table answers with the bare six-procedure form the current
// interface declares for version 1, as every table handed out by name is
// bare here, and a plug-in that wants the record finds it in handleProcs.
#include "services.h"
#include "suites/registry.h"

namespace plug {
namespace {

// Blocks never move while a plug-in holds their address except when it
// resizes them, so there is no lock to keep: a handle reads as unlocked.
void PI_CDECL HandleSetLock(PIHandle handle, PIBoolean, char **address, PIBoolean *oldLock) {
    if (address) *address = handle ? *handle : nullptr;
    if (oldLock) *oldLock = 0;
}

}  // namespace

const PSHandleSuite1 kHandleSuite1 = {HandleNew,     HandleDispose, HandleSetLock,
                                      HandleGetSize, HandleSetSize, HandleRecoverSpace};

// Every handle of this host is a regular one: both disposals are the same.
const PSHandleSuite2 kHandleSuite2 = {HandleNew,         HandleDispose, HandleDispose,
                                      HandleSetLock,     HandleGetSize, HandleSetSize,
                                      HandleRecoverSpace};

}  // namespace plug
