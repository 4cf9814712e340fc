#pragma once
// Hints of a menu bar's titles. A menu's items show their hints as tool tips
// (QMenu::setToolTipsVisible), but a menu bar shows none for its titles; a
// window without a status bar would not show their status tips either.
class QMenuBar;

namespace ui {

/// Makes `bar` show the hint (status tip) of the title under the pointer as
/// a tool tip, for as long as the application's hint pause says. Titles
/// without a hint show none.
void ShowMenuTitleHints(QMenuBar* bar);

} // namespace ui
