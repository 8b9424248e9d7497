#include "common/network.h"

#include "common/json_io.h"

std::string GetNetwork(Json::Value& args) {
  const Json::Value& read = args;
  // Read in place: the caller's text, whatever it holds, is not copied.
  if (GetJsonStrView(read["network"], "network") == "test") return "test";
  ReplaceJson(args["network"], "main");
  return "main";
}
