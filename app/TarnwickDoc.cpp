#include "app/TarnwickDoc.h"

#include "app/TarnwickApp.h"

void CTarnwickDoc::SetTitle(const QString& title)
{
    m_title = title;
    emit titleChanged(title);
}

bool CTarnwickDoc::OnSaveDocument(const QString& path)
{
    if (!m_app.GetPlan())
        return false;
    m_app.SavePlan(path.toStdString());
    return true;
}
