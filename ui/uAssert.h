#pragma once
// Assertion failures: errors that should never happen in a correct
// installation. They are raised to the caller like any other error, and their
// text names where they were raised, so a user's report points at the code.

#include <stdexcept>
#include <string>

class EAssertionFailed : public std::runtime_error {
 public:
  // what() is "<message> (<source>, line <line>)".
  EAssertionFailed(const std::string& message, const std::string& source, int line)
      : std::runtime_error(message + " (" + source + ", line " + std::to_string(line) + ")"),
        FMessage(message),
        FSource(source),
        FLine(line) {}

  const std::string& Message() const { return FMessage; }
  const std::string& Source() const { return FSource; }
  int Line() const { return FLine; }

 private:
  std::string FMessage;
  std::string FSource;
  int FLine;
};
