// Viewer handlers not built yet.
#include "mainwindow/VFonPCI2.h"

void TForm1::bViewClick() {}
void TForm1::bViewRadClick() {}
void TForm1::ParamSelect() {}
void TForm1::FileSelect1() {}
void TForm1::FileSelect2() {}
void TForm1::ViewKadr() {}
void TForm1::ViewKadrEAS() {}
void TForm1::usr3() {}
void TForm1::usr5() {}
void TForm1::Button2Click() {}
void TForm1::bDownClick() {}
void TForm1::bUpClick() {}
void TForm1::bReadFonClick() {}
void TForm1::bReadRadClick() {}
void TForm1::Button1Click() {}
void TForm1::bWriteClick() {}
void TForm1::bWrite1Click() {}
