#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <string>

class CMainFrame;
class CTarnwickApp;
class QAction;
class QMenu;

// The main window's undo and redo: the "编辑(&E)" menu with "撤销" and
// "重做" (each naming the step it would restore, "撤销 移动单位"), the keys
// Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z, and the document's modified flag as the
// history moves. The history itself is the application's CEditHistory.
//
// Undo and redo never run while the clock runs: the menu items are disabled
// then, and the keys only say so in the status bar.
class CUndoRedoCommands : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kUndo = "撤销";
    static constexpr const char* kRedo = "重做";
    static constexpr const char* kRunningUndo = "预案正在推演, 不能撤销; 请先暂停";
    static constexpr const char* kRunningRedo = "预案正在推演, 不能重做; 请先暂停";
    static constexpr const char* kNothingToUndo = "没有可撤销的操作";
    static constexpr const char* kNothingToRedo = "没有可重做的操作";
    static constexpr const char* kStartTimeStep = "修改开始时间";
    static constexpr const char* kEndTimeStep = "修改结束时间";

    // Builds the menu (after "文件", or first) and the keys on the frame.
    CUndoRedoCommands(CTarnwickApp& app, CMainFrame& frame);
    ~CUndoRedoCommands() override;

    QMenu* EditMenu() const { return m_menu; }
    QAction* UndoAction() const { return m_undo; }
    QAction* RedoAction() const { return m_redo; }

    // Before an edit of the units numbered `unitNo` in the current plan's
    // first layer: makes it a step of the history under `name`. Call it
    // without holding the layer gate.
    static void RecordEdit(CTarnwickApp& app, const std::string& name, int32_t unitNo);
    // Changes the current plan's start and end times as a step of the history
    // under `name`; nothing when they are what the plan has already.
    static void SetPlanTimes(CTarnwickApp& app, const std::string& name, int64_t start, int64_t end);

    // Menu text for a step name: "撤销 移动单位"; the bare word without one.
    static QString MenuText(const char* verb, const std::string& stepName);

public slots:
    // The menu commands and the keys. False when nothing was restored.
    bool OnUndo();
    bool OnRedo();
    // Texts and enable state from the history and the clock.
    void UpdateActions();

private:
    bool Run(bool undo);
    bool ClockRunning() const;
    void OnHistoryChanged();
    void SettleLater();

    CTarnwickApp& m_app;
    CMainFrame& m_frame;
    QMenu* m_menu = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    bool m_settlePending = false;
    bool m_historyModified = false;
};
