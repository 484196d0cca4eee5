// The sign-in dialog, a real window offscreen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "ufSignIn.h"

namespace {

TEST(SignInDialogTest, ShowsServerBookAndReasonAndTakesTheAnswer) {
  TSignInRequest request{"db.example.org/3051", "/srv/team.fdb", "Сервер не принял пароль.\r\nПроверьте.", "ALICE", "", false};
  bool checked = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<TfSignIn*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->lblBook->text().contains(QStringLiteral("db.example.org/3051")));
    EXPECT_TRUE(dialog->lblBook->text().contains(QStringLiteral("/srv/team.fdb")));
    EXPECT_EQ(dialog->lblReason->text(), QStringLiteral("Сервер не принял пароль.\nПроверьте."));
    EXPECT_EQ(dialog->eUser->text(), QStringLiteral("ALICE"));
    EXPECT_EQ(dialog->ePassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog->cbRemember->text(), QStringLiteral("Запомнить пароль"));
    EXPECT_EQ(dialog->focusWidget(), dialog->ePassword) << "the user is known: the password is asked";
    QTest::keyClicks(dialog->ePassword, QStringLiteral("secret 1"));
    QTest::keyClick(dialog->ePassword, Qt::Key_Tab);
    EXPECT_EQ(dialog->focusWidget(), dialog->cbRemember);
    QTest::keyClick(dialog->focusWidget(), Qt::Key_Space);  // ticks the box by keyboard
    QTest::keyClick(dialog->ePassword, Qt::Key_Return);
    checked = true;
  });
  EXPECT_TRUE(TfSignIn::Ask(request));
  EXPECT_TRUE(checked);
  EXPECT_EQ(request.User, "ALICE");
  EXPECT_EQ(request.Password, "secret 1");
  EXPECT_TRUE(request.Remember);
}

TEST(SignInDialogTest, WithoutAUserTheUserFieldHasFocusAndEscCancels) {
  TSignInRequest request{"srv", "team", "", "", "", false};
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<TfSignIn*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->lblReason->isVisible());
    EXPECT_EQ(dialog->focusWidget(), dialog->eUser);
    QTest::keyClicks(dialog->eUser, QStringLiteral("bob"));
    QTest::keyClick(dialog->eUser, Qt::Key_Escape);
  });
  EXPECT_FALSE(TfSignIn::Ask(request));
  EXPECT_EQ(request.User, "") << "Cancel leaves the request as it was";
}

}  // namespace
