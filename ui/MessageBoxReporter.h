#pragma once

#include "config/MessageReporter.h"

class QWidget;

// Shows the model's messages as modal message boxes.
class MessageBoxReporter : public IMessageReporter {
public:
    explicit MessageBoxReporter(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }
    MessageAnswer Report(const ReportedMessage& message) override;

private:
    QWidget* m_parent;
};
