#include "uOpenBook.h"

#include "uGlobals.h"
#include "uMessages.h"
#include "ufSignIn.h"

bool OpenBook(TdmDB& dm, TCredentialLookup& credentials) {
  const TBookLocation& book = Globals().Book;
  if (!book.Error.empty()) {
    ShowMessageBox("Неверное значение Database в файле настроек " + Globals().SettingsFile + ":\r\n" + book.Error,
                   TMsgKind::Error, TMsgButtons::Ok);
    return false;
  }
  if (!book.OnServer) return dm.OpenDatabase();
  std::string refusal;
  for (;;) {
    std::optional<TCredentials> signIn = credentials.Next(book, Globals().DatabaseUser, refusal);
    if (!signIn) return false;
    std::string detail;
    const TDbFailure failure = dm.OpenServerBook(book, signIn->User, signIn->Password, &detail);
    if (failure == TDbFailure::None) {
      std::string note = credentials.Succeeded(book, *signIn);
      if (!note.empty()) ShowMessageBox(note, TMsgKind::Information, TMsgButtons::Ok);
      return true;
    }
    if (failure != TDbFailure::WrongLogin) {
      ShowMessageBox(ServerFailureMessage(failure, book, detail), TMsgKind::Error, TMsgButtons::Ok);
      return false;
    }
    refusal = ServerFailureMessage(failure, book, detail);
  }
}

bool AskWithSignInDialog(const TSignInQuestion& question) {
  TSignInRequest request;
  request.Server = question.Book->ServerName();
  request.Book = question.Book->Book;
  request.Reason = question.Reason;
  request.User = question.Answer->User;
  if (!TfSignIn::Ask(request)) return false;
  question.Answer->User = request.User;
  question.Answer->Password = request.Password;
  question.Answer->Remember = request.Remember;
  return true;
}
