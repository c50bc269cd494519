#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// The page's files (src/server/assets/), compiled into the program at build
// time by cmake/embed_assets.cmake: the server reads nothing from disk.
struct asset {
  std::string_view path; // "/index.html"
  std::string_view type; // its media type
  const unsigned char *data;
  std::size_t size;
};
std::span<const asset> page_assets();
