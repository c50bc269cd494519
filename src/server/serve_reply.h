#pragma once

#include <nlohmann/json.hpp>
#include <string>

// What a handler answers, apart from HTTP.
struct reply {
  int status = 200;
  std::string type = "application/json";
  std::string body;
};

// A JSON document as the command line writes it; a message may echo any bytes
// of the query, and invalid UTF-8 is replaced rather than fatal.
std::string json_text(const nlohmann::ordered_json &doc);

// The command line's JSON document for a failure, with `why` as its "error".
reply error_reply(int status, const std::string &why);

// 503: a computation cancelled because the server stops.
reply stopping_reply();
