// Every numeric field of the dialogs given text that is not a finite number:
// the dialog answers with its prompt, stays open and keeps its values.

#include "../ui/ShellTestSupport.h"

#include "config/UnitClassCatalog.h"
#include "ui/EditingDialogs.h"
#include "ui/NewPlanDlg.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <ctime>
#include <vector>

namespace {

// Text that is no number, text that the C locale reads as a number only in
// part, and the spellings of values that are not finite.
const char* const kNotNumbers[] = {"", "abc", "12abc", "1,5", "nan", "NaN", "inf", "-inf", "infinity", "1e999"};

// Closes the next modal prompt as soon as it shows and remembers its text.
class PromptCatcher {
public:
    PromptCatcher()
    {
        QTimer::singleShot(0, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    texts.push_back(box->text());
                    box->reject();
                }
            }
        });
    }
    std::vector<QString> texts;
};

}  // namespace

TEST(BadFieldInput, NewPlanDistances)
{
    CNewPlanDlg dlg(std::time(nullptr));
    for (QLineEdit* edit : {dlg.WidthEdit(), dlg.HeightEdit()}) {
        for (const char* text : kNotNumbers) {
            SCOPED_TRACE(text);
            dlg.WidthEdit()->setText("40");
            dlg.HeightEdit()->setText("30");
            edit->setText(text);
            EXPECT_FALSE(dlg.ValidationMessage().isEmpty());
        }
    }
}

TEST(BadFieldInput, SpeedIsRefusedAndTheOldValueKept)
{
    for (const char* text : kNotNumbers) {
        SCOPED_TRACE(text);
        CDialogSpeedInput d;
        d.m_Speed = 30;
        d.show();
        d.SpeedEdit()->setText(text);
        PromptCatcher prompt;
        d.accept();
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(d.m_Speed, 30.0);
        ASSERT_EQ(prompt.texts.size(), 1u);
        EXPECT_EQ(prompt.texts[0], "请键入一个数。");
    }
}

TEST(BadFieldInput, StrikeCountIsRefused)
{
    Shell s;
    // Beyond 32 bits is no count either.
    std::vector<const char*> texts(std::begin(kNotNumbers), std::end(kNotNumbers));
    texts.push_back("2.5");
    texts.push_back("4294967296");
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        CDialogStrikeParam d(s.app->m_UnitClassCatalog);
        d.CountEdit()->setText(text);
        PromptCatcher prompt;
        d.accept();
        EXPECT_NE(d.result(), QDialog::Accepted);
        ASSERT_EQ(prompt.texts.size(), 1u);
        EXPECT_EQ(prompt.texts[0], "请键入一个整数。");
    }
}

TEST(BadFieldInput, RoutePointIsRefusedAndNothingSent)
{
    Shell s;
    CDialogRouteSelect d(*s.app, 1.5, 2.5);
    d.show();
    int sent = 0;
    QObject::connect(&d, &CDialogRouteSelect::pointChosen, [&](double, double, double) { ++sent; });
    for (QLineEdit* edit : {d.XEdit(), d.YEdit()}) {
        for (const char* text : kNotNumbers) {
            SCOPED_TRACE(text);
            d.XEdit()->setText("1.5");
            d.YEdit()->setText("2.5");
            edit->setText(text);
            PromptCatcher prompt;
            d.OkButton()->click();
            ASSERT_EQ(prompt.texts.size(), 1u);
            EXPECT_EQ(prompt.texts[0], "请键入一个数。");
            EXPECT_TRUE(d.isVisible());
        }
    }
    EXPECT_EQ(sent, 0);
}
