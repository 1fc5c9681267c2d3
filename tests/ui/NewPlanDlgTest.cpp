// The new plan dialog: enabling by the GIS box, date-time defaults, range
// checks, and the file filters as Qt reads them.
#include "ui/NewPlanDlg.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

TEST(NewPlanDlg, GisBoxSwitchesWhichSourceIsEditable)
{
    CNewPlanDlg dlg(std::time(nullptr));
    EXPECT_FALSE(dlg.UseGisBox()->isChecked());
    EXPECT_FALSE(dlg.GisEdit()->isEnabled());
    EXPECT_FALSE(dlg.GisChooseButton()->isEnabled());
    EXPECT_TRUE(dlg.BitmapEdit()->isEnabled());
    EXPECT_TRUE(dlg.WidthEdit()->isEnabled());
    dlg.UseGisBox()->setChecked(true);
    EXPECT_TRUE(dlg.GisEdit()->isEnabled());
    EXPECT_TRUE(dlg.GisChooseButton()->isEnabled());
    EXPECT_FALSE(dlg.BitmapEdit()->isEnabled());
    EXPECT_FALSE(dlg.BitmapChooseButton()->isEnabled());
    EXPECT_FALSE(dlg.HeightEdit()->isEnabled());
    EXPECT_EQ(dlg.Values().useGis, 1);
}

TEST(NewPlanDlg, EndIsTwoHoursLaterOnTheStartsDateEvenPastMidnight)
{
    const QDateTime at2300(QDate(2024, 5, 20), QTime(23, 0, 0));
    CNewPlanDlg dlg(std::time_t(at2300.toSecsSinceEpoch()));
    const NewPlanValues v = dlg.Values();
    EXPECT_EQ(v.start, at2300.toSecsSinceEpoch());
    EXPECT_EQ(v.end, QDateTime(QDate(2024, 5, 20), QTime(1, 0, 0)).toSecsSinceEpoch());
    EXPECT_LT(v.end, v.start);
}

TEST(NewPlanDlg, DistancesAreRangeChecked)
{
    CNewPlanDlg dlg(std::time(nullptr));
    dlg.WidthEdit()->setText("40");
    dlg.HeightEdit()->setText("30");
    EXPECT_TRUE(dlg.ValidationMessage().isEmpty());
    dlg.WidthEdit()->setText("-1");
    EXPECT_FALSE(dlg.ValidationMessage().isEmpty());
    dlg.WidthEdit()->setText("1e15");
    EXPECT_TRUE(dlg.ValidationMessage().isEmpty());
    dlg.HeightEdit()->setText("2e13");
    EXPECT_FALSE(dlg.ValidationMessage().isEmpty());
    dlg.HeightEdit()->setText("abc");
    EXPECT_FALSE(dlg.ValidationMessage().isEmpty());
}

TEST(NewPlanDlg, FiltersBecomeQtNameFilters)
{
    EXPECT_EQ(QtFilter("(*.pln)|*.pln|All Files (*.*)|*.*||"), "(*.pln);;All Files (*.*)");
    EXPECT_EQ(QtFilter(CNewPlanDlg::BitmapFilter()), "图片文件(*.bmp);;All Files (*.*)");
    EXPECT_EQ(QtFilter("Maps|*.gst||"), "Maps (*.gst)");
}
