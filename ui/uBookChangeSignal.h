#pragma once
// The change listener of the data module handed to the GUI thread: the
// listener's callback runs on a thread of its own, this object turns it
// into the queued signal BookChanged, at most one waiting at a time.

#include <QObject>
#include <atomic>

class TdmDB;

class TBookChangeSignal : public QObject {
  Q_OBJECT

 public:
  // Starts listening on dm's connection (kept across dm.Reconnect); stops
  // when destroyed. dm must outlive this object.
  explicit TBookChangeSignal(TdmDB& dm, QObject* parent = nullptr);
  ~TBookChangeSignal() override;
  TBookChangeSignal(const TBookChangeSignal&) = delete;
  TBookChangeSignal& operator=(const TBookChangeSignal&) = delete;

 signals:
  // Some copy of the program (this one too) committed a change of the book.
  void BookChanged();

 private:
  void Deliver();
  TdmDB& FDm;
  std::atomic<bool> FPending{false};
};
