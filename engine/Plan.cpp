#include "engine/Plan.h"

#include "config/MessageReporter.h"
#include "config/TextNumber.h"
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

    // Every child of the root in document order: a read layer, or none for
    // an element of another kind, with where its bytes are in the file.
    struct Child {
        std::unique_ptr<CPlanLayer> layer;
        size_t begin = 0, end = 0;
    };
    PlanReadState state(m_Context);
    std::vector<Child> children;
    while (r.NextChild()) {
        Child child;
        child.begin = r.ElementOffset();
        if (EqualsNoCase(r.Name(), "layer")) {
            child.layer = std::make_unique<CPlanLayer>();
            if (!child.layer->Load(r, state))
                break;
        } else {
            r.Skip();
        }
        child.end = r.Offset();
        children.push_back(std::move(child));
    }
    if (!r.Finish())
        return fail(r.Error());
    if (children.empty())
        return fail("根元素没有子元素");

    // The maps' messages come in the order of the layers, then one message
    // per element of another kind.
    size_t others = 0;
    for (Child& child : children) {
        if (child.layer && child.layer->LoadLayerMap(m_Context, true)) {
            child.layer->m_Plan = this;
            m_Layers.push_back(std::move(child.layer));
            continue;
        }
        if (!child.layer)
            ++others;
        child.layer.reset();
        m_KeptElements.push_back({m_Layers.size(), r.OriginalText(child.begin, child.end)});
    }
    for (size_t i = 0; i < others; ++i)
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
    size_t kept = 0;
    for (size_t i = 0; i < m_Layers.size(); ++i) {
        for (; kept < m_KeptElements.size() && m_KeptElements[kept].beforeLayer <= i; ++kept)
            out.Raw(m_KeptElements[kept].text);
        out.StartElement("Layer");
        m_Layers[i]->Save(out);
        out.EndElement("Layer");
    }
    for (; kept < m_KeptElements.size(); ++kept)
        out.Raw(m_KeptElements[kept].text);
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
    if (m_Context.play) {
        m_Context.play->SetCurrentEpoch(m_StartTime + int64_t(nowMs / 1000));
        m_Context.play->SetCurrentMs(nowMs);
    }
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
