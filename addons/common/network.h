#ifndef QUENMOD_COMMON_NETWORK_H
#define QUENMOD_COMMON_NETWORK_H

#include <json/json.h>

#include <string>

// "test" when "args"."network" is exactly "test"; otherwise "args"."network"
// is set to "main" and "main" returned.
std::string GetNetwork(Json::Value& args);

#endif
