// The documents every handler may answer with.
#include "server/serve_reply.h"

#include "report/export.h"

std::string json_text(const nlohmann::ordered_json &doc) {
  return json_dump(doc, 2) + "\n";
}

reply error_reply(int status, const std::string &why) {
  return {status, "application/json", json_text(json_error(why))};
}

reply stopping_reply() {
  return error_reply(503, "the server is stopping");
}
