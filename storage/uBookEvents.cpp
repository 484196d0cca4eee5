#include "uBookEvents.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "uFbClient.h"

using namespace Firebird;

const char* const kDirectoryChangedEvent = "directory_changed";

void PostDirectoryChanged(TFbTransaction& transaction) {
  TFbQuery query(transaction.DefaultDatabase, &transaction);
  query.SetSQL(std::string("EXECUTE BLOCK AS BEGIN POST_EVENT '") + kDirectoryChangedEvent + "'; END");
  query.ExecNoResult();
}

// What the library's callback and the listener's thread share.
struct TBookEventListener::TShared {
  std::mutex Mutex;
  std::condition_variable Delivered;
  std::vector<ISC_UCHAR> Result;  // the last delivered event block
  bool Pending = false;
  bool Stopping = false;
};

namespace {

std::string StatusText(IStatus* status) {
  char buffer[1024];
  fb_get_master_interface()->getUtilInterface()->formatStatus(buffer, sizeof buffer, status);
  return buffer;
}

// The library's callback only copies the delivered block and wakes the
// listener's thread: queuing again from inside a delivery may deliver
// again on the same thread. Reference-counted, as the library may hold it
// after the listener has gone.
class TCallback final : public IEventCallbackImpl<TCallback, CheckStatusWrapper> {
 public:
  explicit TCallback(std::shared_ptr<TBookEventListener::TShared> shared) : FShared(std::move(shared)) {}

  void addRef() override { ++FReferences; }
  int release() override {
    if (--FReferences == 0) {
      std::unique_ptr<TCallback> last(this);  // the last reference ends it
      return 0;
    }
    return 1;
  }

  void eventCallbackFunction(unsigned length, const unsigned char* events) override {
    std::lock_guard lock(FShared->Mutex);
    if (FShared->Stopping || length == 0 || !events) return;  // cancelled, or the connection is gone
    std::memcpy(FShared->Result.data(), events, std::min<size_t>(length, FShared->Result.size()));
    FShared->Pending = true;
    FShared->Delivered.notify_all();
  }

 private:
  std::shared_ptr<TBookEventListener::TShared> FShared;
  std::atomic<int> FReferences{1};
};

}  // namespace

TBookEventListener::TBookEventListener(TFbDatabase& database, const std::string& eventName,
                                       std::function<void()> onEvent)
    : FAttachment(database.Attachment()), FOnEvent(std::move(onEvent)), FShared(std::make_shared<TShared>()) {
  ISC_UCHAR* request = nullptr;
  ISC_UCHAR* result = nullptr;
  FLength = static_cast<unsigned>(isc_event_block(&request, &result, 1, eventName.c_str()));
  FRequest.assign(request, request + FLength);
  FShared->Result.assign(result, result + FLength);
  isc_free(reinterpret_cast<ISC_SCHAR*>(request));
  isc_free(reinterpret_cast<ISC_SCHAR*>(result));
  FCallback = new TCallback(FShared);
  try {
    Queue();
  } catch (...) {
    FCallback->release();
    throw;
  }
  FThread = std::thread([this] { Deliver(); });
}

TBookEventListener::~TBookEventListener() {
  {
    std::lock_guard lock(FShared->Mutex);
    FShared->Stopping = true;
    FShared->Delivered.notify_all();
  }
  FThread.join();
  if (FEvents) {
    CheckStatusWrapper status(fb_get_master_interface()->getStatus());
    FEvents->cancel(&status);
    if (status.getState() & IStatus::STATE_ERRORS) FEvents->release();  // the connection is gone
    status.dispose();
  }
  FCallback->release();
}

void TBookEventListener::Queue() {
  CheckStatusWrapper status(fb_get_master_interface()->getStatus());
  IEvents* events = FAttachment->queEvents(&status, FCallback, FLength, FRequest.data());
  const bool failed = (status.getState() & IStatus::STATE_ERRORS) != 0;
  const std::string text = failed ? StatusText(&status) : std::string();
  status.dispose();
  if (failed) throw EDatabaseError(text);
  FEvents = events;
}

// The listener's thread: counts each delivery, tells of posts and queues
// the wait again. The server answers the first wait at once: that tells of
// a change once more, which costs a listener no more than one reload.
void TBookEventListener::Deliver() {
  std::unique_lock lock(FShared->Mutex);
  for (;;) {
    FShared->Delivered.wait(lock, [this] { return FShared->Stopping || FShared->Pending; });
    if (FShared->Stopping) return;
    FShared->Pending = false;
    std::vector<ISC_UCHAR> result = FShared->Result;
    lock.unlock();
    ISC_ULONG counts[ISC_STATUS_LENGTH] = {};
    isc_event_counts(counts, static_cast<short>(FLength), FRequest.data(), result.data());
    if (counts[0] > 0 && FOnEvent) FOnEvent();
    // The fired wait is let go before the next is queued: letting it go
    // afterwards would cancel the new one as well (remote provider).
    if (FEvents) {
      FEvents->release();
      FEvents = nullptr;
    }
    try {
      Queue();
    } catch (...) {
      // The attachment is gone; a reconnect makes a new listener.
      lock.lock();
      return;
    }
    lock.lock();
  }
}
