#pragma once
// The program's modal message boxes go through this seam, so that code
// without widgets can show them and tests can read their texts without a
// person pressing a button.

#include <exception>
#include <functional>
#include <string>

enum class TMsgKind { Error, Information, Warning, Confirmation };
enum class TMsgButtons { Ok, OkCancel };
enum class TMsgResult { Ok, Cancel };

struct TMessageRequest {
  TMsgKind Kind;
  TMsgButtons Buttons;
  std::string Text;  // UTF-8, line breaks as "\r\n"
};

using TMessageHandler = std::function<TMsgResult(const TMessageRequest&)>;

// Shows a message box through the installed handler; without one the text
// goes to standard error and the answer is Ok.
TMsgResult ShowMessageBox(const std::string& text, TMsgKind kind = TMsgKind::Error,
                          TMsgButtons buttons = TMsgButtons::Ok);

// The standard error box for an exception no handler caught (nullptr: an
// exception of unknown kind).
void ReportUnhandledError(const std::exception* error);

// Installs a handler and returns the one it replaces.
TMessageHandler SetMessageHandler(TMessageHandler handler);
bool HasMessageHandler();

// Installs a handler for its lifetime (tests, the windowed program).
class TScopedMessageHandler {
 public:
  explicit TScopedMessageHandler(TMessageHandler handler)
      : FPrevious(SetMessageHandler(std::move(handler))) {}
  ~TScopedMessageHandler() { SetMessageHandler(std::move(FPrevious)); }
  TScopedMessageHandler(const TScopedMessageHandler&) = delete;
  TScopedMessageHandler& operator=(const TScopedMessageHandler&) = delete;

 private:
  TMessageHandler FPrevious;
};
