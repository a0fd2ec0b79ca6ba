// A first pass over a record's text that holds it to a record's shape before any of it is built:
// its nesting, the fields of each object (each once), the items of each array, its values and
// the bytes of its texts, each counted as it comes. So the file is refused, or read, in time and
// memory that grow with its size alone, whatever it holds.
#pragma once

#include <cstddef>
#include <string>

namespace stats {

struct JsonBounds {
  size_t depth = 8;         // the record nests seven deep; one more for a later minor version
  size_t fields = 64;       // its objects have a dozen fields
  size_t items = 16384;     // kernels, cells and the left-out texts, each at most a few thousand
  size_t values = 1500000;  // a 16 MiB record of four-decimal figures holds about a million
  size_t text_bytes = 12 << 20;  // the names, bytes and assembly of every kernel, and more
};

// Empty when `text` is JSON within `bounds`; else what is wrong, as a reader says it.
std::string CheckJsonBounds(const std::string& text, const JsonBounds& bounds);

}  // namespace stats
