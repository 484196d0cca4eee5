// Changes of the book reach the GUI thread as a queued signal.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QThread>

#include "BookTest.h"
#include "uBookChangeSignal.h"
#include "uDBDirectory.h"

namespace {

class BookChangeSignalTest : public TBookTest {};

TEST_F(BookChangeSignalTest, ASaveArrivesOnTheGuiThread) {
  auto signal = std::make_unique<TBookChangeSignal>(dmDB);
  QThread* seenOn = nullptr;
  QObject::connect(signal.get(), &TBookChangeSignal::BookChanged, [&] { seenOn = QThread::currentThread(); });
  QSignalSpy spy(signal.get(), &TBookChangeSignal::BookChanged);
  spy.wait(300);  // the first answer of a new wait
  spy.clear();

  TDirectory entry;
  entry.Id = 1;
  entry.Title = "новая";
  ASSERT_TRUE(TDBDirectorySaveCmd::Run(&entry));
  ASSERT_TRUE(spy.wait(1000));
  EXPECT_EQ(seenOn, QApplication::instance()->thread());

  // Several changes while the GUI thread is busy come as one signal.
  spy.clear();
  for (int id = 2; id <= 5; ++id) {
    entry.Id = id;
    ASSERT_TRUE(TDBDirectorySaveCmd::Run(&entry));
  }
  QThread::msleep(300);
  QCoreApplication::processEvents();
  EXPECT_GE(spy.count(), 1);
  EXPECT_LE(spy.count(), 2);

  // Destroyed, it tells nothing more and nothing is left running.
  signal.reset();
  entry.Id = 6;
  ASSERT_TRUE(TDBDirectorySaveCmd::Run(&entry));
  QThread::msleep(200);
  QCoreApplication::processEvents();
}

}  // namespace
