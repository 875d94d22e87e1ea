// The error the program raises and catches; its message is what the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An input/output error of a file, with the program's own error number.
class IoError : public Error {
 public:
  IoError(int code, const std::string& message) : Error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

}  // namespace platform
