#pragma once
// The gain dialog: the operator chooses the gains of the six radio and four
// detector channels; "Выход" stores them in the main window's selection,
// which the main window's timer then puts into effect.
#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QPushButton;

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    /// Fills the fields from the main window's selection ("Сброс" too).
    void Create();
    /// Change of a field: nothing happens until "Выход".
    void ComboBox1Change();
    /// Stores the fields in the selection, sets GainChanged and hides the dialog.
    void Button2Click();

    std::array<QComboBox*, 10> ComboBox{}; ///< ComboBox1 … ComboBox10
    QPushButton* Button1; ///< "Сброс"
    QPushButton* Button2; ///< "Выход"
};

extern TForm3* Form3;
