#include "uikit/SectionClickSelect.h"

#include <QDateTimeEdit>
#include <QEvent>
#include <QLineEdit>

namespace {

class SectionClickFilter : public QObject {
public:
    explicit SectionClickFilter(QDateTimeEdit* edit) : QObject(edit), m_edit(edit) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // After the release: the press has already moved the cursor, and a
        // drag that selected text on purpose is left alone.
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* line = static_cast<QLineEdit*>(watched);
            if (!line->hasSelectedText() && m_edit->currentSection() != QDateTimeEdit::NoSection)
                m_edit->setSelectedSection(m_edit->currentSection());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QDateTimeEdit* m_edit;
};

}  // namespace

void SelectSectionOnClick(QDateTimeEdit* edit)
{
    if (auto* line = edit->findChild<QLineEdit*>())
        line->installEventFilter(new SectionClickFilter(edit));
}
