#pragma once

class QApplication;

// Names, language and locale of the program; main(), the benchmarks and the screenshot tool
// start the same way.
void setUpApplication(QApplication &app);

// Loads Qt's own German texts (file dialogs, standard buttons, context menus, "Strg").
// False when the translation files are not installed; the program then still runs.
bool loadQtTranslations(QApplication &app);
