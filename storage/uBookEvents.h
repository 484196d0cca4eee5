#pragma once
// Changes seen at once: every write transaction of the program posts the
// event "directory_changed" before it commits, so the event fires exactly
// when the change does; every attachment listening for it, on a server or
// embedded, hears of it.

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class TFbDatabase;
class TFbTransaction;
namespace Firebird {
class IAttachment;
class IEvents;
class IEventCallback;
}  // namespace Firebird

extern const char* const kDirectoryChangedEvent;  // "directory_changed"

// Posts kDirectoryChangedEvent inside the transaction; delivered when it
// commits, dropped when it rolls back. Raises EDatabaseError.
void PostDirectoryChanged(TFbTransaction& transaction);

// Listens for one event on an open attachment. onEvent runs on the
// listener's own thread, once per delivery (several posts committed close
// together may arrive as one; the server also answers the first wait at
// once, so a new listener tells of a change once at its start); the listener queues itself again after each
// delivery. Destroying it cancels the wait; the attachment must stay open
// until then.
class TBookEventListener {
 public:
  TBookEventListener(TFbDatabase& database, const std::string& eventName, std::function<void()> onEvent);
  ~TBookEventListener();
  TBookEventListener(const TBookEventListener&) = delete;
  TBookEventListener& operator=(const TBookEventListener&) = delete;

  struct TShared;

 private:
  void Queue();
  void Deliver();

  Firebird::IAttachment* FAttachment;
  std::function<void()> FOnEvent;
  std::shared_ptr<TShared> FShared;
  std::vector<unsigned char> FRequest;
  unsigned FLength = 0;
  Firebird::IEventCallback* FCallback = nullptr;  // reference-counted: the library may hold it longer
  Firebird::IEvents* FEvents = nullptr;           // the wait queued now; touched by FThread only while it runs
  std::thread FThread;
};
