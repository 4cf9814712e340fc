#pragma once
// Qt's own texts (the buttons and labels of its standard dialogs: "Save as",
// message boxes, file dialogs) in the program's language.
class QCoreApplication;

namespace ui {

/// Installs Qt's Russian translations (qtbase_ru.qm from Qt's translations
/// folder) into `app`. The program's own texts are Russian whatever the
/// locale, so Qt's dialogs follow them, not the locale: a Russian window
/// with an English "Save"/"Cancel" reads as two programs. The locale still
/// decides the number and date formats. False when the file is missing
/// (Qt's texts then stay English).
bool InstallQtTranslations(QCoreApplication& app);

} // namespace ui
