#include "ui/qt_translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace moltaro::ui {

QStringList QtTranslationFolders() {
  // The system's translation first: it is kept in step with the Qt libraries
  // the program runs on, while the shipped copy is the one of the build.
  return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QDir(QCoreApplication::applicationDirPath())
              .filePath(QString::fromUtf8(kShippedTranslationsFolder))};
}

QString InstallQtTranslation(QCoreApplication& app, const QStringList& folders) {
  const QLocale hungarian(QLocale::Hungarian, QLocale::Hungary);
  for (const QString& folder : folders) {
    auto translation = std::make_unique<QTranslator>();
    if (translation->load(hungarian, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
      translation->setParent(&app);
      QCoreApplication::installTranslator(translation.release());
      return folder;
    }
  }
  return {};
}

}  // namespace moltaro::ui
