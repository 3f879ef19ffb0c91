// The three small dialogs of the main window on their logic: what the
// operator's clicks, typing, Esc and the close box leave in the logic.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QtTest>
#include <functional>

#include "shown_text.h"
#include "typing.h"

#include "ui/confirm_dialog_view.h"
#include "ui/new_company_view.h"
#include "ui/program_start.h"
#include "ui/report_dir_view.h"

namespace moltaro::ui {

using testing::Shown;
using testing::Type;

namespace {

// Runs `act` once the modal dialog about to open is running its loop.
void WhenShown(std::function<void()> act) {
  QTimer::singleShot(0, std::move(act));
}

}  // namespace

class DialogsViewTest : public QObject {
  Q_OBJECT

 private slots:
  void confirmAnswersWithTheButtonPressedAndClosingCountsAsNem() {
    TfrmDialogusView view;
    instances::TfrmDialogus dialog(view);
    QVERIFY(view.windowTitle().trimmed().isEmpty());
    QCOMPARE(view.size(), QSize(218, 128));
    QCOMPARE(view.lSzoveg()->text(), QString::fromUtf8("Valóban töröljem ?"));
    QCOMPARE(view.lSzoveg()->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);

    WhenShown([&] { QTest::mouseClick(view.bIgen(), Qt::LeftButton); });
    QCOMPARE(dialog.Confirm("Mehet a verzióváltás ?"), std::string("IGEN"));
    QCOMPARE(view.lSzoveg()->text(), QString::fromUtf8("Mehet a verzióváltás ?"));
    QVERIFY(!view.isVisible());

    WhenShown([&] { QTest::mouseClick(view.bNem(), Qt::LeftButton); });
    QCOMPARE(dialog.Confirm("Valóban töröljem ?"), std::string("NEM"));

    // The answer of an earlier "Igen" must not survive a closed dialog.
    WhenShown([&] { QTest::mouseClick(view.bIgen(), Qt::LeftButton); });
    dialog.Confirm("első");
    WhenShown([&] { view.close(); });
    QCOMPARE(dialog.Confirm("második"), std::string("NEM"));
    WhenShown([&] { QTest::keyClick(&view, Qt::Key_Escape); });
    QCOMPARE(dialog.Confirm("harmadik"), std::string("NEM"));
  }

  // Enter answers "Igen" only where "Igen" destroys nothing.
  void enterAnswersNemToAQuestionThatDestroysData() {
    TfrmDialogusView view;
    instances::TfrmDialogus dialog(view);
    WhenShown([&] { QTest::keyClick(&view, Qt::Key_Return); });
    QCOMPARE(dialog.Confirm("Valóban töröljem ?", instances::DefaultButton::Nem),
             std::string("NEM"));
    WhenShown([&] { QTest::keyClick(&view, Qt::Key_Return); });
    QCOMPARE(dialog.Confirm("Mehet a verzióváltás ?"), std::string("IGEN"));
    WhenShown([&] { QTest::keyClick(&view, Qt::Key_Return); });
    QCOMPARE(dialog.Confirm("Valóban töröljem ?", instances::DefaultButton::Nem),
             std::string("NEM"));
  }

  void reportDirectoryIsConfirmedTrimmedOnlyWithTextInTheField() {
    TfrmRepUtView view;
    instances::TfrmRepUt dialog(view);
    QCOMPARE(view.windowTitle(), QString::fromUtf8("Riport könyvtár"));
    QVERIFY(view.bRendben()->isDefault());

    dialog.SetDirectory("  ");
    QCOMPARE(view.eDir()->text(), QString());
    QVERIFY(!view.bRendben()->isEnabled());

    WhenShown([&] {
      Type(view.eDir(), "  D:\\Riport  ");
      QVERIFY(view.bRendben()->isEnabled());
      QTest::keyClick(view.eDir(), Qt::Key_Return);  // the default button
    });
    QVERIFY(dialog.ShowModal());
    QCOMPARE(dialog.Result(), std::string("D:\\Riport"));

    dialog.SetDirectory(" C:\\Régi ");
    QCOMPARE(view.eDir()->text(), QString::fromUtf8("C:\\Régi"));
    QVERIFY(view.bRendben()->isEnabled());
    WhenShown([&] {
      view.eDir()->clear();
      QVERIFY(!view.bRendben()->isEnabled());
      QTest::mouseClick(view.bRendben(), Qt::LeftButton);  // disabled: nothing happens
      QVERIFY(view.isVisible());
      QTest::keyClick(&view, Qt::Key_Escape);
    });
    QVERIFY(!dialog.ShowModal());

    dialog.SetDirectory("C:\\Régi");
    WhenShown([&] { view.close(); });
    QVERIFY(!dialog.ShowModal());
    WhenShown([&] { QTest::mouseClick(view.bMegsem(), Qt::LeftButton); });
    QVERIFY(!dialog.ShowModal());
  }

  void browseButtonFillsTheFieldWithThePickedFolder() {
    QTemporaryDir picked;
    QVERIFY(picked.isValid());
    TfrmRepUtView view;
    instances::TfrmRepUt dialog(view);
    dialog.SetDirectory("");
    WhenShown([&] {
      // The picker opens inside the dialog's loop; choose the folder there.
      QTimer::singleShot(0, [&] {
        auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(picker != nullptr);
        picker->setDirectory(picked.path());
        picker->selectFile(picked.path());
        QMetaObject::invokeMethod(picker, "accept");
      });
      QTest::mouseClick(view.bTallozas(), Qt::LeftButton);
      QCOMPARE(QDir::fromNativeSeparators(view.eDir()->text()), picked.path());
      QVERIFY(view.bRendben()->isEnabled());
      QTest::mouseClick(view.bRendben(), Qt::LeftButton);
    });
    QVERIFY(dialog.ShowModal());
    QCOMPARE(QDir::fromNativeSeparators(QString::fromStdString(dialog.Result())), picked.path());
  }

  void newCompanyFieldsTakeFifteenAndTheFieldChangedLastDecides() {
    TfrmDBBeView view;
    instances::TfrmDBBe dialog(view);
    QCOMPARE(view.windowTitle(), QString::fromUtf8("Új database"));
    QCOMPARE(view.eCegnev()->maxLength(), 15);
    QCOMPARE(view.eDatabase()->maxLength(), 15);

    dialog.ResetFields();
    WhenShown([&] {
      QVERIFY(!view.bRendben()->isEnabled());
      QCOMPARE(view.focusWidget(), view.eCegnev());
      Type(view.eCegnev(), "Ab");
      QVERIFY(!view.bRendben()->isEnabled());
      Type(view.eDatabase(), "cegé");  // four characters, not bytes
      QVERIFY(view.bRendben()->isEnabled());
      Type(view.eCegnev(), "c");  // "Abc": three are not enough
      QVERIFY(!view.bRendben()->isEnabled());
      Type(view.eCegnev(), "dé Kereskedelmi Kft");
      QCOMPARE(view.eCegnev()->text(), QString::fromUtf8("Abcdé Kereskede"));
      QVERIFY(view.bRendben()->isEnabled());
      QTest::mouseClick(view.bRendben(), Qt::LeftButton);
    });
    QVERIFY(dialog.ShowModal());
    QCOMPARE(dialog.Result(), std::string("cegé"));
    QCOMPARE(dialog.Cegnev(), std::string("Abcdé Kereskede"));

    dialog.ResetFields();
    QCOMPARE(view.eCegnev()->text(), QString());
    QCOMPARE(view.eDatabase()->text(), QString());
    WhenShown([&] {
      Type(view.eCegnev(), "Második");
      Type(view.eDatabase(), "ceg2");
      view.close();
    });
    QVERIFY(!dialog.ShowModal());
    QCOMPARE(dialog.Result(), std::string());
    WhenShown([&] { QTest::keyClick(&view, Qt::Key_Escape); });
    QVERIFY(!dialog.ShowModal());
  }

  // Last: it sets up the application as the program does.
  void captionsStayTheWindowsOwnAndQtSpeaksHungarian() {
    ConfigureApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
    // Qt adds to captions only a display name that was set; one that was not
    // follows the application name.
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
    QCoreApplication::setApplicationName(name);

    // The question's caption is blank, not empty: an empty one would show
    // the program's name in its place.
    TfrmDialogusView question;
    QVERIFY(!question.windowTitle().isEmpty());
    QCOMPARE(question.windowTitle().trimmed(), QString());
    QCOMPARE(TfrmDBBeView().windowTitle(), QString::fromUtf8("Új database"));
    QCOMPARE(TfrmRepUtView().windowTitle(), QString::fromUtf8("Riport könyvtár"));

    QDialogButtonBox standard(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(Shown(standard.button(QDialogButtonBox::Cancel)->text()), QString::fromUtf8("Mégse"));
  }
};

}  // namespace moltaro::ui

QTEST_MAIN(moltaro::ui::DialogsViewTest)
#include "dialogs_view_test.moc"
