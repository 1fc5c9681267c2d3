#include "engine/Plan.h"

#include "app/MessageReporter.h"
#include "app/TextNumber.h"
#include "engine/PlanXmlWriter.h"
#include "engine/PlayState.h"
#include "engine/XmlPullReader.h"

CPlan::CPlan(PlanContext context) : m_Context(std::move(context)) {}

CPlan::~CPlan() = default;

bool CPlan::AddNewLayer(const std::string& mapName, const std::string& mapSource, int gisFlag, double widthKm,
                        double heightKm)
{
    auto layer = std::make_unique<CPlanLayer>();
    layer->m_MapName = mapName;
    layer->m_MapSource = mapSource;
    if (gisFlag == 0) {
        layer->m_MapType = 0;
        layer->m_WidthKm = widthKm;
        layer->m_HeightKm = heightKm;
    } else {
        layer->m_MapType = 1;
    }
    if (!layer->LoadLayerMap(m_Context, false))
        return false;
    layer->m_Plan = this;
    m_Layers.push_back(std::move(layer));
    return true;
}

void CPlan::CancelAllActions()
{
    for (const auto& layer : m_Layers)
        layer->CancelAllActions(GetFirstLayer());
}

bool CPlan::Load(XmlPullReader& r, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    // Views into the reader's buffer; they stay valid to the end.
    const std::string_view startTime = r.Attribute("StartTime");
    const std::string_view endTime = r.Attribute("EndTime");

    PlanReadState state(m_Context);
    std::vector<std::unique_ptr<CPlanLayer>> layers;
    size_t children = 0;
    while (r.NextChild()) {
        if (++children > kMaxRootChildren)
            return fail("more than " + std::to_string(kMaxRootChildren) + " elements under the root");
        if (EqualsNoCase(r.Name(), "layer")) {
            auto layer = std::make_unique<CPlanLayer>();
            if (!layer->Load(r, state))
                break;
            layers.push_back(std::move(layer));
        } else {
            r.Skip();
        }
    }
    if (!r.Finish())
        return fail(r.Error());
    if (children == 0)
        return fail("the root element has no child elements");

    // Layer i is the i-th `layer` element; the indexes without one come last.
    for (auto& layer : layers) {
        if (layer->LoadLayerMap(m_Context, true)) {
            layer->m_Plan = this;
            m_Layers.push_back(std::move(layer));
        }
    }
    for (size_t i = layers.size(); i < children; ++i)
        ReportError(m_Context.Reporter(), "加载图层失败", "错误提示");

    if (!startTime.empty())
        m_StartTime = textnum::ParseLong(startTime);
    if (!endTime.empty())
        m_EndTime = textnum::ParseLong(endTime);
    return true;
}

void CPlan::Save(PlanXmlWriter& out) const
{
    out.Raw("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n");
    out.StartElement("plan");
    out.AttributeInt("StartTime", m_StartTime);
    out.AttributeInt("EndTime", m_EndTime);
    out.Raw("\r\n");
    for (const auto& layer : m_Layers) {
        out.StartElement("Layer");
        layer->Save(out);
        out.EndElement("Layer");
    }
    out.EndElement("plan");
}

// ---- playback ------------------------------------------------------------------

void CPlan::AdoptLayers()
{
    for (const auto& layer : m_Layers)
        layer->m_Plan = this;
}

int CPlan::RecvClockEvent(uint32_t previousMs, uint32_t nowMs, const void* context)
{
    if (m_Context.play)
        m_Context.play->SetCurrentEpoch(m_StartTime + int64_t(nowMs / 1000));
    int result = 1;
    for (const auto& layer : m_Layers) {
        layer->m_Plan = this;
        if (layer->DispatchClock(previousMs, nowMs, context) == 0) {
            result = 0;
            break;
        }
    }
    EndTick(nowMs);
    return result;
}

void CPlan::CheckHits(FireLineList& fireLines)
{
    for (const auto& layer : m_Layers) {
        layer->m_Plan = this;
        layer->CheckHits(fireLines);
    }
}

// PlayTicks and SeekTo live in PlanSeek.cpp.
