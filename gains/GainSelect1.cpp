#include "gains/GainSelect1.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <limits>

#include "ui/ErrorReport.h"
#include "platform/RunError.h"

TForm3* Form3 = nullptr;

namespace {
constexpr int kGainValues[] = {1, 2, 5, 10, 20, 40, 100, 200};
} // namespace

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("Form3");
    setWindowTitle("Form3 Выбор усилений каналов");
    setFixedSize(420, 150);
    const char* captions[] = {"Радио1", "Радио2", "Радио3", "Радио4", "Радио5", "Радио6",
                              "Фон1", "Фон2", "Фон3", "Фон4"};
    for (int k = 1; k <= 10; ++k) {
        const int row = k <= 6 ? 0 : 1;
        const int col = k <= 6 ? k - 1 : k - 7;
        auto* label = new QLabel(captions[k - 1], this);
        label->setObjectName(QString("Label%1").arg(k));
        label->setGeometry(10 + col * 68, 8 + row * 54, 62, 16);
        auto* box = new QComboBox(this);
        box->setObjectName(QString("ComboBox%1").arg(k));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setGeometry(10 + col * 68, 26 + row * 54, 62, 24);
        if (k != 10)
            box->setToolTip("Выбрать усиление");
        connect(box, &QComboBox::currentTextChanged, this, [this] { ComboBox1Change(); });
        ComboBox[k - 1] = box;
    }
    Button1 = new QPushButton("Сброс", this);
    Button1->setObjectName("Button1");
    Button1->setToolTip("Отменить изменения");
    Button1->setGeometry(290, 70, 120, 26);
    Button2 = new QPushButton("Выход", this);
    Button2->setObjectName("Button2");
    Button2->setToolTip("Сохранить изменения и выйти");
    Button2->setGeometry(290, 110, 120, 26);
    connect(Button1, &QPushButton::clicked, this, [this] { ui::Guard([this] { Create(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { ui::Guard([this] { Button2Click(); }); });
    Create();
}

void TForm3::Create()
{
    setWindowTitle("Выбор усиления");
    for (int k = 1; k <= 10; ++k) {
        QComboBox* box = ComboBox[k - 1];
        box->clear();
        for (int g : kGainValues)
            box->addItem(QString::number(g));
        box->setEditText(selection_ ? QString::number(selection_->Selection(k)) : QString());
    }
}

void TForm3::ComboBox1Change() {}

void TForm3::Button2Click()
{
    for (int k = 1; k <= 10; ++k) {
        const QString text = ComboBox[k - 1]->currentText();
        const int32_t value = rt::StrToInt(text);
        // A gain is stored in 16 bits; a value that does not fit is refused
        // so no label ever shows a gain other than the one recorded.
        if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
            throw rt::EConvertError(
                QString("«%1» вне пределов усиления (-32768…32767)").arg(text).toStdString());
        if (selection_)
            selection_->Selection(k) = value;
    }
    if (selection_)
        selection_->GainChanged = true;
    hide();
}

void TForm3::SetSelection(TGainSelection* selection)
{
    selection_ = selection;
    Create();
}
