// Qt's own texts (standard buttons, the line edit's menu, the folder picker)
// in Hungarian, like every other text of the program.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace moltaro::ui {

// The folder beside the program that the build and the installation put
// Qt's Hungarian translation in.
inline constexpr const char* kShippedTranslationsFolder = "translations";

// Where the translation is looked for, in order: the system's Qt
// translations, then the copy shipped beside the program.
QStringList QtTranslationFolders();

// Loads Qt's Hungarian translation from the first of `folders` that holds
// one and installs it in `app`, which owns it from then on. Returns the
// folder it came from, or an empty text when none has it (Qt's texts then
// stay in English).
QString InstallQtTranslation(QCoreApplication& app, const QStringList& folders);

}  // namespace moltaro::ui
