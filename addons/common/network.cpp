#include "common/network.h"

#include "common/json_io.h"

std::string GetNetwork(Json::Value& args) {
  const Json::Value& read = args;
  if (GetJsonStr(read["network"], "network") == "test") return "test";
  args["network"] = "main";
  return "main";
}
