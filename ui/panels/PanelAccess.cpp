#include "ui/panels/PanelAccess.h"

#include "config/MessageReporter.h"
#include "app/TarnwickApp.h"
#include "config/TextNumber.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"

#include <QLineEdit>
#include <QtDebug>

#include <cmath>

namespace panels {

const char* const kNotANumber = "请键入一个数。";
const char* const kNotAnInteger = "请键入一个整数。";
const char* const kAngleRange = "请键入一个0到360之间的数。";
const char* const kFieldCaption = "提示";

CFirstLayerAccess::CFirstLayerAccess(const CTarnwickApp& app, uint32_t timeoutMs)
{
    CPlan* plan = app.GetPlan();
    CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    if (!layer)
        return;
    if (!layer->LockShared(timeoutMs)) {
        qDebug("It is busying now. ");
        return;
    }
    m_layer = layer;
}

CFirstLayerAccess::~CFirstLayerAccess()
{
    if (m_layer)
        m_layer->UnlockShared();
}

CUnitCanLoad* CFirstLayerAccess::FindUnit(int32_t unitNo) const
{
    if (!m_layer)
        return nullptr;
    for (size_t i = 0; i < m_layer->GetUnitCount(); ++i)
        if (CUnitCanLoad* unit = m_layer->GetUnitAt(i); unit->m_UnitNo == unitNo)
            return unit;
    return nullptr;
}

bool ModelEditable(const CTarnwickApp& app)
{
    return app.m_ClockService.IsRunning() == 0;
}

std::optional<double> FieldDouble(const QLineEdit* edit)
{
    bool ok = false;
    const double value = edit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int32_t> FieldInt(const QLineEdit* edit)
{
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return int32_t(value);
}

QString NumberText(double value)
{
    return QString::number(value, 'g', 15);
}

QString FixedText(double value)
{
    return QString::fromStdString(textnum::FormatFixed(value));
}

namespace {

template <class T>
std::optional<T> Rejected(CTarnwickApp& app, QLineEdit* edit, const char* text)
{
    app.Reporter().Report({text, kFieldCaption, MessageIcon::Warning, MessageButtons::Ok});
    edit->setFocus();
    edit->selectAll();
    return std::nullopt;
}

}  // namespace

std::optional<double> ReadDouble(CTarnwickApp& app, QLineEdit* edit)
{
    if (auto value = FieldDouble(edit))
        return value;
    return Rejected<double>(app, edit, kNotANumber);
}

std::optional<int32_t> ReadInt(CTarnwickApp& app, QLineEdit* edit)
{
    if (auto value = FieldInt(edit))
        return value;
    return Rejected<int32_t>(app, edit, kNotAnInteger);
}

std::optional<double> ReadAngle(CTarnwickApp& app, QLineEdit* edit)
{
    const auto value = FieldDouble(edit);
    if (!value)
        return Rejected<double>(app, edit, kNotANumber);
    if (*value < 0.0 || *value > 360.0)
        return Rejected<double>(app, edit, kAngleRange);
    return value;
}

}  // namespace panels
