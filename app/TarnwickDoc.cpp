#include "app/TarnwickDoc.h"

#include "app/TarnwickApp.h"

void CTarnwickDoc::SetTitle(const QString& title)
{
    m_title = title;
    emit titleChanged(title);
}

void CTarnwickDoc::SetModifiedFlag(bool modified)
{
    if (m_modified == modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

void CTarnwickDoc::SetPlanFile(const QString& path)
{
    m_planFile = path;
    emit planFileChanged(path);
}

void CTarnwickDoc::NotifySaved(const QString& path)
{
    SetModifiedFlag(false);
    SetPlanFile(path);
    emit saved(path);
}

bool CTarnwickDoc::OnSaveDocument(const QString& path)
{
    if (!m_app.GetPlan())
        return false;
    m_app.SavePlan(path.toStdString());
    return true;
}
