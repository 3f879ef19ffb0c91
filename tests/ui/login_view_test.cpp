#include "ui/login_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QtTest>

#include <filesystem>
#include <fstream>

namespace moltaro::ui {

class LoginViewTest : public QObject {
  Q_OBJECT

 private:
  std::filesystem::path dir_;
  ServerSettings settings_;
  bool accept_ = false;
  int attempts_ = 0;

  std::unique_ptr<TfrmSaPwdView> MakeView() {
    auto view = std::make_unique<TfrmSaPwdView>(
        settings_, dir_,
        [this](const std::string&, const std::string&, const std::string&, const std::string&) {
          ++attempts_;
          return accept_;
        });
    view->Logic().LoadSettings();
    return view;
  }

  // Closes the message box the next failed login opens.
  static void DismissNextMessageBox() {
    QTimer::singleShot(0, [] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) box->accept();
      }
    });
  }

 private slots:
  void init() {
    dir_ = std::filesystem::temp_directory_path() / "moltaro-login-view";
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ / "VELDORAdb_new.ini") << "local$$ZMP_Vorel\r\n";
    attempts_ = 0;
  }
  void cleanup() { std::filesystem::remove_all(dir_); }

  void startsWithDatabaseShownAndRendbenDisabledOutOfTabOrder() {
    auto view = MakeView();
    QCOMPARE(view->windowTitle(), QStringLiteral("Login"));
    QCOMPARE(view->lDbname()->text(), QStringLiteral("ZMP_Vorel"));
    QVERIFY(!view->bRendben()->isEnabled());
    QVERIFY(!(view->bRendben()->focusPolicy() & Qt::TabFocus));
    QCOMPARE(view->ePwd()->echoMode(), QLineEdit::Password);
    QCOMPARE(view->eName()->maxLength(), 100);
  }

  void typingBothFieldsEnablesRendbenAndMakesItDefault() {
    auto view = MakeView();
    view->show();
    QTest::keyClicks(view->eName(), " ");
    QVERIFY(!view->bRendben()->isEnabled());
    QTest::keyClicks(view->ePwd(), " ");
    QVERIFY(view->bRendben()->isEnabled());
    QVERIFY(view->bRendben()->isDefault());
    view->ePwd()->clear();
    QVERIFY(!view->bRendben()->isDefault());
  }

  void escapeCancelsWithTwo() {
    auto view = MakeView();
    QTimer::singleShot(0, [&] { QTest::keyClick(view.get(), Qt::Key_Escape); });
    QCOMPARE(view->exec(), kLoginCancelled);
  }

  void failedLoginKeepsTextAndFocusesNameThenGoodLoginEndsWithHundred() {
    auto view = MakeView();
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QTest::keyClicks(view->eName(), "sa");
    QTest::keyClicks(view->ePwd(), "bad");
    DismissNextMessageBox();
    QTest::mouseClick(view->bRendben(), Qt::LeftButton);
    QCOMPARE(attempts_, 1);
    QCOMPARE(view->eName()->text(), QStringLiteral("sa"));
    QCOMPARE(view->ePwd()->text(), QStringLiteral("bad"));
    QCOMPARE(view->focusWidget(), view->eName());
    QVERIFY(view->isVisible());
    accept_ = true;
    QTimer::singleShot(0, [&] { QTest::keyClick(view->ePwd(), Qt::Key_Return); });
    QCOMPARE(view->exec(), kLoginOk);
    QCOMPARE(settings_.loginName, std::string("sa"));
  }
};

}  // namespace moltaro::ui

QTEST_MAIN(moltaro::ui::LoginViewTest)
#include "login_view_test.moc"
