// Opens a reference book file the way start-up does (the data module's
// OpenDatabase) and prints each message box text on a line of its own,
// line breaks written as "\n", then "opened" or "refused". Lets a test
// open a book as another user.

#include <iostream>
#include <string>

#include "uGlobals.h"
#include "uMessages.h"
#include "udmDB.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Globals().DBFile = argv[1];
  TScopedMessageHandler messages([](const TMessageRequest& request) {
    std::string text;
    for (char c : request.Text) {
      if (c == '\r') continue;
      text += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    std::cout << text << std::endl;
    return TMsgResult::Ok;
  });
  TdmDB dm;
  std::cout << (dm.OpenDatabase() ? "opened" : "refused") << std::endl;
  return 0;
}
