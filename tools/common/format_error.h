#pragma once
// The one failure the format libraries throw: the input is broken or holds
// something that cannot be written. The text (UTF-8) says why, without the
// file's name; the caller, which knows the file, adds it.
#include <stdexcept>

namespace common {

class FormatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace common
