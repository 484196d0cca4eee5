#include "uBookChangeSignal.h"

#include "udmDB.h"

TBookChangeSignal::TBookChangeSignal(TdmDB& dm, QObject* parent) : QObject(parent), FDm(dm) {
  FDm.ListenForChanges([this] {
    // Changes that come while one signal waits are told by that one.
    if (!FPending.exchange(true)) QMetaObject::invokeMethod(this, &TBookChangeSignal::Deliver, Qt::QueuedConnection);
  });
}

// Stopping waits for the listener's thread: no callback runs afterwards,
// and a queued call to a destroyed object is dropped by Qt.
TBookChangeSignal::~TBookChangeSignal() { FDm.StopListening(); }

void TBookChangeSignal::Deliver() {
  FPending = false;
  emit BookChanged();
}
