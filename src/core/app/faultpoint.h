#pragma once

// Named points inside long operations (an import batch committed, an invoice written, a copy
// made before it replaces a file) where the crash and race tests make this process fail the
// way the world does: killed outright, terminated by a signal, or held while another process
// runs. A point does nothing unless the environment names it:
//
//   TK_FAULT_POINT=<name>[:<n>]   the point, and on which of its hits to act (default 1)
//   TK_FAULT_ACTION=kill | term | hup | int | pause:<ms>   (default kill)
//   TK_FAULT_MARKER=<file>        created when the point acts, before the action, so a test
//                                 waits for the marker instead of guessing at timing
//
// Points are cheap when unused (one cached check), so they may sit on hot paths.
void FaultPoint(const char* name);
