#pragma once
// The gain dialog: the operator chooses the gains of the six radio and four
// detector channels; "Выход" stores them in the selection it was handed (the
// main window's), which the main window's timer then puts into effect.
#include <QWidget>
#include <array>

#include "gains/GainSelection.h"

class QComboBox;
class QLabel;
class QPushButton;

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    /// The selection the dialog fills its fields from and stores into; the
    /// fields are filled from it at once.
    void SetSelection(TGainSelection* selection);

    /// Fills the fields from the main window's selection ("Сброс" too).
    void Create();
    /// Change of a field: nothing happens until "Выход".
    void ComboBox1Change();
    /// Stores the fields in the selection, sets GainChanged and hides the dialog.
    void Button2Click();

    std::array<QComboBox*, 10> ComboBox{}; ///< ComboBox1 … ComboBox10
    QPushButton* Button1; ///< "Сброс"
    QPushButton* Button2; ///< "Выход"

private:
    TGainSelection* selection_ = nullptr;
};

extern TForm3* Form3;
