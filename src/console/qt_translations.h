// Qt's own texts in Russian: the standard buttons and dialogs.
#pragma once

#include <QString>

class QCoreApplication;
class QTranslator;

namespace traklin {

/// Where Qt keeps its Russian texts: qtbase_ru.qm in Qt's translations folder (the Debian
/// package qt6-translations-l10n installs it).
QString QtTranslationFile();

/// Installs Qt's Russian texts on the application, so that standard buttons and dialogs read
/// "Отмена", "Открыть" and so on. Returns the translator, owned by app, or nullptr when the file
/// is missing or unreadable: Qt's texts then stay English.
QTranslator* InstallQtTranslations(QCoreApplication& app);

}  // namespace traklin
