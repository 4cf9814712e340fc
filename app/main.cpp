// Program entry: creates the main window, the spectrum window and the gain
// dialog in this order, shows the main window and runs the event loop until
// the main window is closed.
#include <QApplication>

#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "spectrum/Unit2.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Form1 = new TForm1;
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form1->show();
    const int rc = app.exec();
    delete Form3;
    delete Form2;
    delete Form1;
    return rc;
}
