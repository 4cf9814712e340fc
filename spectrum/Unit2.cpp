#include "spectrum/Unit2.h"

#include "mainwindow/VFonPCI2.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("Form2");
    setWindowTitle("Окно гистограммы");
}

void TForm1::bForm2Click() {}
