#include "uDesktop.h"

#include <QFileDialog>

#include <QDesktopServices>
#include <csignal>
#include <pthread.h>

namespace {
TUrlOpener& Opener() {
  static TUrlOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  return opener;
}

// The program reads its end endSignals as data and keeps them blocked; the
// helper the desktop starts (and the browser it starts) must not inherit
// that, so they are unblocked while the helper is started.
class TChildSignals {
 public:
  TChildSignals() {
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    pthread_sigmask(SIG_UNBLOCK, &endSignals, &FPrevious);
  }
  ~TChildSignals() { pthread_sigmask(SIG_SETMASK, &FPrevious, nullptr); }
  TChildSignals(const TChildSignals&) = delete;
  TChildSignals& operator=(const TChildSignals&) = delete;

 private:
  sigset_t FPrevious;
};
}  // namespace

bool OpenAddress(const QString& address) {
  TChildSignals childSignals;
  return Opener()(QUrl(address, QUrl::TolerantMode));
}

TUrlOpener SetUrlOpener(TUrlOpener opener) {
  TUrlOpener previous = std::move(Opener());
  Opener() = std::move(opener);
  return previous;
}

namespace {
TFileChooser gFileChooser;
const char* const kExchangeFileFilter = "Тексты обмена (*.txt);;Все файлы (*)";
}  // namespace

QString ChooseExchangeFile(QWidget* parent, TFileChoice choice, const QString& caption) {
  if (gFileChooser) return gFileChooser(choice, caption);
  const QString filter = QString::fromUtf8(kExchangeFileFilter);
  return choice == TFileChoice::Save ? QFileDialog::getSaveFileName(parent, caption, QString(), filter)
                                     : QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

TFileChooser SetFileChooser(TFileChooser chooser) {
  TFileChooser previous = std::move(gFileChooser);
  gFileChooser = std::move(chooser);
  return previous;
}
