// Qt's Hungarian translation found where the program looks for it: a system
// without one falls back to the copy the build puts beside the program.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include "ui/qt_translation.h"

namespace moltaro::ui {

namespace {

QString ProgramTranslations() {
  return QDir(QStringLiteral(MOLTARO_PROGRAM_DIR))
      .filePath(QString::fromUtf8(kShippedTranslationsFolder));
}

QString CancelText() {
  return QCoreApplication::translate("QPlatformTheme", "Cancel");
}

}  // namespace

class QtTranslationTest : public QObject {
  Q_OBJECT

 private slots:
  // Kept first: it needs an application that has no translation yet.
  void noFolderWithATranslationLeavesQtsTextsAsTheyAre() {
    QTemporaryDir systemWithout;
    QVERIFY(systemWithout.isValid());
    QCOMPARE(InstallQtTranslation(*qApp, {systemWithout.path(), systemWithout.path()}), QString());
    QCOMPARE(CancelText(), QStringLiteral("Cancel"));
  }

  void systemWithoutOneFallsBackToTheCopyBesideTheProgram() {
    QTemporaryDir systemWithout;
    QVERIFY(systemWithout.isValid());
    QVERIFY(QFileInfo::exists(QDir(ProgramTranslations()).filePath("qtbase_hu.qm")));
    QCOMPARE(InstallQtTranslation(*qApp, {systemWithout.path(), ProgramTranslations()}),
             ProgramTranslations());
    QCOMPARE(CancelText(), QString::fromUtf8("Mégse"));
    // The line edit's context menu, one of the texts an operator meets.
    QCOMPARE(QCoreApplication::translate("QLineEdit", "Select All"),
             QString::fromUtf8("Összes kijelölése"));
  }
};

}  // namespace moltaro::ui

QTEST_MAIN(moltaro::ui::QtTranslationTest)
#include "qt_translation_test.moc"
