#pragma once
// Small helpers that make the window's controls the way the layouts give
// them: an object name, a caption, a hint and a place.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QString>
#include <QWidget>

namespace ui {

inline QPushButton* Button(QWidget* parent, const char* name, const QString& caption, const QRect& r,
                           const QString& hint = {})
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(r);
    b->setToolTip(hint);
    return b;
}

inline QLabel* Label(QWidget* parent, const char* name, const QString& caption, const QRect& r,
                     const QString& hint = {})
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setGeometry(r);
    l->setToolTip(hint);
    return l;
}

/// A value label: framed, sunken, so a value reads apart from its caption.
inline QLabel* Value(QWidget* parent, const char* name, const QRect& r, const QString& hint = {})
{
    QLabel* l = Label(parent, name, QString(), r, hint);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

inline QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, const QRect& r,
                       const QString& hint = {})
{
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(name);
    e->setGeometry(r);
    e->setToolTip(hint);
    return e;
}

/// A masked number edit: an optional sign or digit followed by up to seven
/// digits, blanks for empty positions. The operator can type nothing else;
/// the program may still put a message such as "?!" into it.
inline QLineEdit* MaskedNumber(QWidget* parent, const char* name, const QString& text, const QRect& r,
                               const QString& hint = {})
{
    QLineEdit* e = Edit(parent, name, text, r, hint);
    e->setMaxLength(8);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression("[-+0-9 ][0-9 ]{0,7}"), e));
    return e;
}

} // namespace ui
