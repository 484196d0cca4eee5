#pragma once
// Changes seen at once: every write transaction of the program posts the
// event "directory_changed" before it commits, so the event fires exactly
// when the change does; every attachment listening for it, on a server or
// embedded, hears of it.

#include <functional>
#include <memory>
#include <string>

class TFbDatabase;
class TFbTransaction;

extern const char* const kDirectoryChangedEvent;  // "directory_changed"

// Posts kDirectoryChangedEvent inside the transaction; delivered when it
// commits, dropped when it rolls back. Raises EDatabaseError.
void PostDirectoryChanged(TFbTransaction& transaction);

// Listens for one event on an open attachment. onEvent runs on a thread of
// the client library, once per delivery (several posts committed close
// together may arrive as one); the listener queues itself again after each
// delivery. Destroying it cancels the wait; the attachment must stay open
// until then.
class TBookEventListener {
 public:
  TBookEventListener(TFbDatabase& database, const std::string& eventName, std::function<void()> onEvent);
  ~TBookEventListener();
  TBookEventListener(const TBookEventListener&) = delete;
  TBookEventListener& operator=(const TBookEventListener&) = delete;

  class TCallback;

 private:
  TCallback* FCallback;  // reference-counted: the library may hold it longer
};
