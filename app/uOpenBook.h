#pragma once
// Start-up's open of the book named by the settings: embedded as before,
// or on a Firebird server after signing in (the dialog comes back after a
// refused password until the user cancels).

#include "uCredentials.h"
#include "udmDB.h"

// True when dm is connected; otherwise the user has been told why (or
// cancelled the sign-in) and start-up ends.
bool OpenBook(TdmDB& dm, TCredentialLookup& credentials);

// The sign-in dialog as the lookup's prompt.
bool AskWithSignInDialog(const TSignInQuestion& question);
