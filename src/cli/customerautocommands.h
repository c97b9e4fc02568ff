#pragma once
#include "cli/cliparser.h"

// customer create-from-sessions and customer create-from-accounts: customers for the logon
// names of imported sessions or of this computer's login accounts, with the customer defaults.
CliSpec CreateFromSessionsCommand();
CliSpec CreateFromAccountsCommand();
