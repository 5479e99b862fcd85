#pragma once
// The known-name tables of the checker: which names the system and library give a meaning to.

// Checks the tables for consistency before the first lookup; an inconsistent table ends the
// run with status 127.  For now there is nothing to check.
void known_self_check();
