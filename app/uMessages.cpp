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
