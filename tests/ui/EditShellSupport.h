#pragma once

// The whole shell with a new editable plan on the bundled bitmap map, its view
// 800 x 600, and the view's dialogs replaced by scripted answers.
#include "ShellTestSupport.h"

#include "engine/WGAction.h"
#include "ui/TarnwickView.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QStringList>
#include <QTest>

struct EditShell : Shell {
    CTarnwickView* view = nullptr;
    CPlanLayer* layer = nullptr;
    // What the replaced dialogs answer and were asked.
    bool speedAccept = true;
    double speedAnswer = 45.0;
    bool speedBoxAnswer = true;
    double speedPreset = -1;
    bool speedBoxPreset = false;
    int speedAsked = 0, strikeAsked = 0, targetAsked = 0;
    std::string weaponAnswer = "03.01";
    int countAnswer = 3;
    int targetAnswer = 0;
    bool targetAccept = true;
    int menuCommand = 0;  // 0: the menu is dismissed
    QStringList menuTexts;
    int menuShown = 0;

    EditShell()
    {
        layer = NewEditablePlan("编辑");
        view = frame->View();
        Picture();  // a paint settles the map's source rectangle, which conversions use

        ViewDialogs& d = frame->GetDialogs().view;
        d.speed = [this](double& speed, bool& asDefault) {
            ++speedAsked;
            speedPreset = speed;
            speedBoxPreset = asDefault;
            speed = speedAnswer;
            asDefault = speedBoxAnswer;
            return speedAccept;
        };
        d.strike = [this](std::string& weapon, int& count) {
            ++strikeAsked;
            weapon = weaponAnswer;
            count = countAnswer;
            return true;
        };
        d.target = [this](int& unitNo) {
            ++targetAsked;
            unitNo = targetAnswer;
            return targetAccept;
        };
        d.contextMenu = [this](QMenu& menu, const QPoint&) -> QAction* {
            ++menuShown;
            menuTexts.clear();
            QAction* chosen = nullptr;
            for (QAction* a : menu.actions()) {
                menuTexts << a->text();
                if (a->data().toInt() == menuCommand)
                    chosen = a;
            }
            return chosen;
        };
    }

    // A 20x20 unit placed at a view point, appearing at `appear`.
    CUnitCanLoad* AddUnit(int unitNo, QPoint at, int appear = 0, const char* classId = "02-02.01")
    {
        return AddUnitAt(unitNo, at, appear, classId);
    }
    QPoint ViewPos(const CUnitCanLoad& unit) const
    {
        int px = 0, py = 0;
        app->GetMap()->MapToView(unit.m_CurX, unit.m_CurY, px, py);
        return {px, py};
    }
    // The view's picture at the size the maps were given (grab() would let
    // the hidden frame's layout resize the view first).
    QImage Picture()
    {
        QImage image(800, 600, QImage::Format_RGB32);
        QPainter painter(&image);
        view->Render(painter, image.size());
        return image;
    }
    void Click(QPoint p, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseClick(view, b, Qt::NoModifier, p); }
    void Menu(int command)
    {
        menuCommand = command;
        view->OpenContextMenu(view->mapToGlobal(QPoint(5, 5)));
    }
    WGAction* LastAction(CUnitCanLoad* unit) { return unit->m_Actions.empty() ? nullptr : unit->m_Actions.back().get(); }
};

