#pragma once
// What the spectrum window shows in its normal display mode, as "Стоп" and
// "Закрыть" leave it.
#include <QColor>
#include <gtest/gtest.h>

#include "ui/Chart.h"
#include "spectrum/Unit2.h"

namespace testing_support {

/// Record buttons shown, "Стоп" hidden, both series empty, linear axes with
/// the left one automatic, bars green, and the left axis title left empty.
inline void ExpectNormalDisplay()
{
    EXPECT_TRUE(spectrum::Form2->bStopInt->isHidden());
    EXPECT_FALSE(spectrum::Form2->Button2->isHidden());
    EXPECT_FALSE(spectrum::Form2->Button3->isHidden());
    ui::TChart* c = spectrum::Form2->Chart2;
    EXPECT_TRUE(c->SeriesAt(spectrum::Form2->Series1).Points().empty());
    EXPECT_TRUE(c->SeriesAt(spectrum::Form2->Series2).Points().empty());
    EXPECT_EQ(c->BottomAxis().Maximum(), 255);
    EXPECT_FALSE(c->BottomAxis().Logarithmic());
    EXPECT_TRUE(c->LeftAxis().Automatic());
    EXPECT_FALSE(c->LeftAxis().Logarithmic());
    EXPECT_FALSE(c->RightAxis().AutomaticMinimum() || c->RightAxis().AutomaticMaximum());
    EXPECT_FALSE(c->RightAxis().Logarithmic());
    EXPECT_EQ(c->SeriesAt(spectrum::Form2->Series1).Color(), QColor(0, 128, 0));
    EXPECT_EQ(c->LeftAxis().Title(), "") << "the title once cleared is not put back";
}

} // namespace testing_support
