#ifndef TOLVARIS_RUNMODULE_H
#define TOLVARIS_RUNMODULE_H

#include "tolvaris/export.h"

/* Runs one JSON request {"action":..., "addon":..., "args":{...}}: a built-in
 * action, or a coin action forwarded to the add-on registered under "addon".
 * Returns 0 on success, 1181 for a null request, 1196 for a request that does
 * not parse, 1203 when the action failed or no add-on is registered under the
 * name (or memory ran out). When `result` is not null, *result receives the
 * result envelope
 * {"action":...,"addon":...,"result":"success"|"fail","return":{...}}, a
 * NUL-terminated text that the caller releases with FreeMem; when the library
 * cannot allocate it, *result is null and the code is 1212, whatever the
 * action gave. */
TOLVARIS_API int RunModule(const char* request, char** result);

/* Releases a text that RunModule returned. Returns 1 for a null pointer,
 * otherwise 0. */
TOLVARIS_API int FreeMem(char* text);

/* No-ops kept for hosts that still call them. */
TOLVARIS_API void PrintHex(void);
TOLVARIS_API void PrintDec(void);
TOLVARIS_API void BCMPrintHex(void);
TOLVARIS_API void BCMPrintDec(void);

#endif
