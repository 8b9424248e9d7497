#ifndef QUENMOD_SAMPLE_SAMPLE_ENTRY_H
#define QUENMOD_SAMPLE_SAMPLE_ENTRY_H

#include <json/json.h>

// "TestAction": adds "retvalue1" = "arg1" + "=>TestAction Run1" and
// "retvalue2" = "arg2" + "=>TestAction Run2" to `args` (overwriting them);
// 1 without adding them when either argument is missing or not a string.
int TestAction(Json::Value& args);

// "TestBCModule": runs the self-test named by "bcmodule" (exact match) and
// returns its result; 1 when the name is missing, not a string or unknown.
int TestBCModule(const Json::Value& args);

extern "C" {
// The add-on's exports: 0 or 1 with a reply in *out (null `out`: 1 and
// nothing allocated); FreeMem_SAMPLE wipes and releases a reply.
int RunModule_SAMPLE(const char* action, const char* addon, const char* request, char** out);
int FreeMem_SAMPLE(char* text);
}

#endif
