#pragma once

#include <ctime>

// What the application object tells the window that shows it. The user
// interface implements it and registers with CTarnwickApp::SetWindow; the
// application object never knows the window's type.
class IApplicationWindow {
public:
    virtual ~IApplicationWindow() = default;
    // The current plan was closed: panels forget its units, the view its picture.
    virtual void OnPlanClosed() = 0;
    // A plan was opened: the time panel shows its start and end.
    virtual void SetPlanTimes(std::time_t start, std::time_t end) = 0;
    // A normal end of the program: the copy of unsaved work is no longer needed.
    virtual void EndRecovery() = 0;
};
