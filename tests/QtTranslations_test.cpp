// Qt's own dialogs speak Russian like the program, whatever the locale.
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include "ui/QtTranslations.h"
#include "support/Fixtures.h"

TEST(QtTranslations, StandardButtonsSpeakRussian)
{
    testing_support::EnsureApp();
    ASSERT_TRUE(ui::InstallQtTranslations(*QCoreApplication::instance())) << "qtbase_ru.qm (qt6-translations-l10n)";
    QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Save)->text(), "Сохранить");
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), "Отмена");
}
