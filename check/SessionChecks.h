// The checks around the session: loading the module, starting up as the workstation does,
// logging in, and shutting down.
#pragma once

#include "check/Checker.h"
#include "check/Checks.h"
#include "token/Pkcs11Module.h"

#include <memory>

namespace check {

// Loads the module by its bare name and looks for every entry the workstation calls. Null
// when the module cannot be loaded; a failure of the loader itself is explained with what the
// probe finds.
std::unique_ptr<Pkcs11Module> checkModule(Checker& checker, const LoadFailureProbe& probe);

// initializeToken with that module, then the token's identity as the main window shows it.
// False when no session was started.
bool checkStartup(Checker& checker, std::unique_ptr<Pkcs11Module> module);

// Asks for the PIN once and logs in; without a PIN the login is skipped. A refused PIN is
// reported with what the token then says of the PIN's retries. False unless logged in.
bool checkLogin(Checker& checker, const PinReader& readPin);

// finalizeToken: the session closed, the module finalised and unloaded; also after a stop.
void checkShutdown(Checker& checker);

} // namespace check
