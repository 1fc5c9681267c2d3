#include "ui/MessageBoxReporter.h"

#include <QMessageBox>

MessageAnswer MessageBoxReporter::Report(const ReportedMessage& m)
{
    QMessageBox::Icon icon = QMessageBox::Critical;
    switch (m.icon) {
    case MessageIcon::Information: icon = QMessageBox::Information; break;
    case MessageIcon::Warning: icon = QMessageBox::Warning; break;
    case MessageIcon::Error: icon = QMessageBox::Critical; break;
    case MessageIcon::Question: icon = QMessageBox::Question; break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (m.buttons == MessageButtons::OkCancel)
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
    else if (m.buttons == MessageButtons::YesNo)
        buttons = QMessageBox::Yes | QMessageBox::No;
    else if (m.buttons == MessageButtons::YesNoCancel)
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    QMessageBox box(icon, QString::fromStdString(m.caption), QString::fromStdString(m.text), buttons, m_parent);
    if (!m.detail.empty())
        box.setInformativeText(QString::fromStdString(m.detail));
    switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    default: return MessageAnswer::Ok;
    }
}
