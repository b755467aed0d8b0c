#pragma once
#include <stdexcept>
#include <string>

namespace velboot {

// A failure whose message is the ready-to-show text (UTF-8).
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace velboot
