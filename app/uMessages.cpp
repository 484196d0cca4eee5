#include "uMessages.h"

#include <iostream>

namespace {
TMessageHandler& Handler() {
  static TMessageHandler handler;
  return handler;
}
}  // namespace

TMsgResult ShowMessageBox(const std::string& text, TMsgKind kind, TMsgButtons buttons) {
  if (Handler()) return Handler()({kind, buttons, text});
  std::cerr << text << std::endl;
  return TMsgResult::Ok;
}

TMessageHandler SetMessageHandler(TMessageHandler handler) {
  TMessageHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

bool HasMessageHandler() { return static_cast<bool>(Handler()); }

void ReportUnhandledError(const std::exception* error) {
  std::string text = error ? error->what() : "Неизвестная ошибка.";
  try {
    ShowMessageBox(text, TMsgKind::Error, TMsgButtons::Ok);
  } catch (...) {
    // Nothing sensible is left to do when even the box fails.
  }
}
