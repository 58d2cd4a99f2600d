#pragma once
#include <stdexcept>

// A command that could not be carried out or an expectation that did not
// hold; what() says which and what was found instead.
class TDriverFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
