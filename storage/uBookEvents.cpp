#include "uBookEvents.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <atomic>
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

// The event block of the legacy API (isc_event_block) is the format that
// queEvents takes and delivers; isc_event_counts tells how often the event
// fired since the last delivery and makes the result the next request.
class TBookEventListener::TCallback final : public IEventCallbackImpl<TCallback, CheckStatusWrapper> {
 public:
  TCallback(IAttachment* attachment, const std::string& eventName, std::function<void()> onEvent)
      : FAttachment(attachment), FOnEvent(std::move(onEvent)) {
    ISC_UCHAR* request = nullptr;
    ISC_UCHAR* result = nullptr;
    FLength = static_cast<unsigned>(isc_event_block(&request, &result, 1, eventName.c_str()));
    FRequest.assign(request, request + FLength);
    FResult.assign(result, result + FLength);
    isc_free(reinterpret_cast<ISC_SCHAR*>(request));
    isc_free(reinterpret_cast<ISC_SCHAR*>(result));
    FAttachment->addRef();
  }

  void Queue() {
    std::lock_guard lock(FMutex);
    QueueLocked();
  }

  void Cancel() {
    IEvents* events = nullptr;
    {
      std::lock_guard lock(FMutex);
      FCancelled = true;
      events = FEvents;
      FEvents = nullptr;
    }
    if (!events) return;
    CheckStatusWrapper status(fb_get_master_interface()->getStatus());
    events->cancel(&status);
    if (status.getState() & IStatus::STATE_ERRORS) events->release();  // the connection is gone
    status.dispose();
  }

  void addRef() override { ++FReferences; }
  int release() override {
    if (--FReferences == 0) {
      std::unique_ptr<TCallback> last(this);  // the last reference ends it
      return 0;
    }
    return 1;
  }

  void eventCallbackFunction(unsigned length, const unsigned char* events) override {
    std::unique_lock lock(FMutex);
    if (FCancelled || length == 0 || !events) return;  // cancelled or the connection is gone
    std::memcpy(FResult.data(), events, std::min<size_t>(length, FResult.size()));
    ISC_ULONG counts[ISC_STATUS_LENGTH] = {};
    isc_event_counts(counts, static_cast<short>(FLength), FRequest.data(), FResult.data());
    // The first delivery only tells the count the event had when the
    // listener started; later ones are posts.
    const bool posted = FPrimed && counts[0] > 0;
    FPrimed = true;
    if (FEvents) {
      FEvents->release();
      FEvents = nullptr;
    }
    try {
      QueueLocked();
    } catch (...) {
      // The attachment is gone; a reconnect makes a new listener.
    }
    lock.unlock();
    if (posted && FOnEvent) FOnEvent();
  }

  ~TCallback() override { FAttachment->release(); }

 private:

  void QueueLocked() {
    if (FCancelled) return;
    CheckStatusWrapper status(fb_get_master_interface()->getStatus());
    IEvents* events = FAttachment->queEvents(&status, this, FLength, FRequest.data());
    bool failed = (status.getState() & IStatus::STATE_ERRORS) != 0;
    std::string text;
    if (failed) {
      char buffer[1024];
      fb_get_master_interface()->getUtilInterface()->formatStatus(buffer, sizeof buffer, &status);
      text = buffer;
    }
    status.dispose();
    if (failed) throw EDatabaseError(text);
    FEvents = events;
  }

  IAttachment* FAttachment;
  std::function<void()> FOnEvent;
  std::vector<ISC_UCHAR> FRequest;
  std::vector<ISC_UCHAR> FResult;
  unsigned FLength = 0;
  std::mutex FMutex;
  IEvents* FEvents = nullptr;
  bool FCancelled = false;
  bool FPrimed = false;
  std::atomic<int> FReferences{1};
};

TBookEventListener::TBookEventListener(TFbDatabase& database, const std::string& eventName,
                                       std::function<void()> onEvent)
    : FCallback(new TCallback(database.Attachment(), eventName, std::move(onEvent))) {
  try {
    FCallback->Queue();
  } catch (...) {
    FCallback->release();
    throw;
  }
}

TBookEventListener::~TBookEventListener() {
  FCallback->Cancel();
  FCallback->release();
}
