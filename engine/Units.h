#pragma once

#include "engine/FireLine.h"
#include "engine/RelaxedAtomic.h"
#include "engine/WGAction.h"
#include "engine/WGRoute.h"

#include <QImage>
#include <QRect>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CPlanLayer;
class UnitFire;
class CPlayState;
class CUnitImageCache;
class PlanReadState;
class PlanXmlWriter;
class XmlPullReader;
struct UnitClassInfo;

// UnitType values of the unit kinds.
enum UnitTypeValue : int32_t {
    kUnitTypeBase = 0,
    kUnitTypeCarrier = 1,           // UnitCarrier, kind "01"
    kUnitTypeSingle = 2,            // UnitSingle (never created alone)
    kUnitTypeFire = 3,              // UnitFire, kind "03"
    kUnitTypeSingleCarrier = 21,    // UnitSingleCarrier, kind "02-01"
    kUnitTypeSingleSimple = 22,     // UnitSingleSimple, kind "02-02"
};

// Unit numbers index the layer's unit table: 0 .. kMaxUnitNo. Every fire unit carries kFireUnitNo.
constexpr int32_t kMaxUnitNo = 25600;
constexpr int32_t kFireUnitNo = 25600;

// What the view's rectangle tracker keeps for a unit: the rectangle it was
// last given and whether its resize handles are drawn inside it (after the
// unit was first dragged) or outside.
struct UnitRectTracker {
    QRect m_rect;
    bool m_handlesInside = false;
};

struct CustomProperty {
    int32_t ID = 0;
    std::string name;
    std::string value;
    bool operator==(const CustomProperty&) const = default;
};

// One list of a unit's custom properties (in practice a unit has at most one).
class CustomPropertyList {
public:
    std::vector<CustomProperty> m_Properties;

    // Appends the record of a `Property` element (attributes ID, name, value).
    void LoadProperty(const XmlPullReader& property);
    // Writes one `Property` element per record into the open `CustomPropertyList`.
    void Save(PlanXmlWriter& out) const;
};

// A unit on a layer. The base of the five kinds; holds all unit data.
//
// Ownership: a unit owns its actions and custom properties; its layer owns
// the unit. m_Layer, m_ClassInfo and m_CurrentRoute are plain references.
// Playback (the clock thread) changes the position, angle and flags while the
// layer gate is held shared.
class CUnitCanLoad {
public:
    explicit CUnitCanLoad(int32_t unitType = kUnitTypeBase);
    virtual ~CUnitCanLoad();
    CUnitCanLoad(const CUnitCanLoad&) = delete;
    CUnitCanLoad& operator=(const CUnitCanLoad&) = delete;

    // The per-tick step on the clock thread (layer gate held shared): nothing
    // before AppearTime, appeared := 1 in the tick at exactly AppearTime, then
    // every action's Execute in list order. 0 stops the layer's walk.
    virtual int RecvClockEvent(uint32_t previousMs, uint32_t nowMs, const void* context);

    // Hit test of this unit against the fire lines of the tick (list order).
    // Hits that must be reported are appended to `hits` (reported by the
    // caller once the gate is released); the hit flag and last attacker change here.
    struct PendingHit {
        std::string victim;
        std::string attacker;
        double distance = 0;  // metres
        const CUnitCanLoad* unit = nullptr;  // the victim
    };
    void CheckHits(const FireLineList& lines, double hitDistance, std::vector<PendingHit>& hits);
    // Fire units (weapon classes) are never hit.
    bool IsHitImmune() const;

    // Reads the children of a `unit` element (the caller has set the class id
    // from its `class` attribute), then loads the images. 1 on success.
    virtual int Load(XmlPullReader& unit, PlanReadState& state);
    // Writes the unit into its open `unit` element. 1 on success.
    virtual int Save(PlanXmlWriter& out) const;
    // Appends one action per child of an `ActionList` element. 1 on success.
    virtual int ReadActionList(XmlPullReader& actionList);

    // Carrying; only UnitCarrier and UnitSingleCarrier carry, other kinds ignore these.
    virtual void LoadUnit(int32_t unitNo);
    virtual void UnloadUnit(int32_t unitNo, double x, double y, double z);
    // The carried units (not owned), or nullptr for kinds that carry nothing.
    virtual std::vector<CUnitCanLoad*>* GetCarriedUnits() { return nullptr; }
    const std::vector<CUnitCanLoad*>* GetCarriedUnits() const
    {
        return const_cast<CUnitCanLoad*>(this)->GetCarriedUnits();
    }
    // The unit as a fire unit, nullptr for every other kind (no RTTI in per-tick loops).
    virtual UnitFire* AsFire() { return nullptr; }
    const UnitFire* AsFire() const { return const_cast<CUnitCanLoad*>(this)->AsFire(); }

    // Back to the state at plan time 0, before any tick: initial position and
    // heading, not appeared, not carried and carrying nothing, no route, not hit.
    void ResetPlayback();

    // Image and mask from m_UnitBitmap and m_UnitBitmapMask (relative paths
    // from the module folder); the image size from the image, 0 when it does
    // not load. Nothing is reported.
    void LoadBitmaps(const std::string& moduleFolder, CUnitImageCache* cache = nullptr);
    // ActionNo of the last action, 0 without actions.
    int32_t LastActionNo() const;
    // Cancel on every action in list order; `firstLayer` as for WGAction::Cancel.
    void CancelActions(CPlanLayer* firstLayer);
    // Appends an action the editor built: ActionNo := LastActionNo() + 1, this
    // unit becomes its acting unit. Returns the action.
    WGAction* AddNewAction(std::unique_ptr<WGAction> action);
    // Unlinks the first action with that ActionNo and returns it (nullptr when
    // there is none), for the editor's delete. Hold the gate exclusively (or
    // stop the clock). A running move no longer leaves the unit on the
    // action's route, and a running strike's fire unit is marked removed.
    std::unique_ptr<WGAction> RemoveAction(int32_t actionNo);
    // The first custom property list, created when the unit has none (the
    // property panel adds records there).
    CustomPropertyList& FirstCustomPropertyList();

    // ---- the tick's cache line (see the class comment) ----
    // Playback state that painting reads while the clock thread changes it.
    RelaxedAtomic<double> m_CurX = 0;   // position now (playback)
    RelaxedAtomic<double> m_CurY = 0;
    std::vector<std::unique_ptr<WGAction>> m_Actions;
    int32_t m_Removed = 0;           // 1: the layer deletes the unit in its next dispatch
    int32_t m_HitFlag = 0;
    int32_t m_UnitNo = 0;
    // Counts the calls of CUnitCanLoad::RecvClockEvent, so the layer's walk
    // knows whether anything but itself stepped the unit since it last did.
    uint32_t m_StepVisits = 0;
    // ---- end of the tick's cache line ----

    std::string m_ClassId;           // saved as `class`; its text before the first "." is the kind
    int32_t m_UnitType;
    std::string m_UnitName;
    std::string m_UnitBitmap;        // stored image path
    std::string m_UnitBitmapMask;
    QImage m_Image;
    QImage m_Mask;
    int32_t m_ImageWidth = 0;
    int32_t m_ImageHeight = 0;
    double m_InitX = 0;              // position at plan time 0 (saved)
    double m_InitY = 0;
    int32_t m_AppearTime = 0;        // plan seconds
    UnitClassInfo* m_ClassInfo = nullptr;
    std::vector<CustomPropertyList> m_CustomProperties;
    CPlanLayer* m_Layer = nullptr;
    double m_InitAngle = 0;          // heading at plan time 0 (saved as `Angle`)
    RelaxedAtomic<double> m_Angle = 0;  // heading now, degrees (playback)
    RelaxedAtomic<int32_t> m_Appeared = 0;
    QRect m_Rect;                    // screen rectangle (view)
    UnitRectTracker m_RectTracker;
    RelaxedAtomic<int32_t> m_Loaded = 0;     // 1 while carried
    RelaxedAtomic<int32_t> m_CarrierNo = 0;  // UnitNo of the carrier while carried
    RelaxedAtomic<WGRoute*> m_CurrentRoute = nullptr;  // route of the running move
    // Size of the carried-unit list, kept by whoever changes the list (under the
    // gate), for readers that must not look at the list while playback changes it.
    RelaxedAtomic<int32_t> m_CarriedCount = 0;
    std::string m_LastAttacker;
    int32_t m_Selected = 0;

    // Back references, so that deleting a unit reaches what points at it
    // without walking the layer: the carriers whose carried-unit lists hold
    // this unit (one entry per list entry), and the live fire units whose
    // striker this unit is. Kept by whoever changes the lists (under the gate).
    std::vector<CUnitCanLoad*> m_CarriedBy;
    std::vector<UnitFire*> m_Fires;

    // Playback's shortcut between action starts: after a full tick at
    // m_StepFromMs, the ticks before m_StepUntilMs (the next start time) step
    // only the actions that tick left running (none: the unit costs nothing).
    // An action begins running only in its own start tick, so the shortcut
    // holds while the edit count is the one it was taken at and the action
    // list has the same length (removing actions shortens it).
    uint32_t m_StepEdits = 0;
    uint32_t m_StepFromMs = 0;
    uint64_t m_StepUntilMs = 0;  // 0: no shortcut
    uint32_t m_StepActionCount = 0;
    static constexpr int kMaxStepped = 4;
    uint16_t m_SteppedCount = 0;
    uint16_t m_Stepped[kMaxStepped] = {};  // indices into m_Actions, in list order

    // Code that adds an action to any unit or changes an action's start time
    // or running flag outside playback calls this (AddNewAction, action list
    // reads, undo and redo, resets and seeks do), so no unit skips it.
    static void ActionsEdited();
    static uint32_t ActionEditCount();

    // Hints for the tick's walk, which is bound by memory latency at scale:
    // the unit's own fields, its action list, and the first action its
    // shortcut steps. Each reads only what the one before brought in.
    void PrefetchSelf() const
    {
        __builtin_prefetch(this);
        __builtin_prefetch(&m_Actions);
        __builtin_prefetch(&m_StepEdits);
    }
    void PrefetchActionList() const { __builtin_prefetch(m_Actions.data()); }
    void PrefetchSteppedAction() const
    {
        if (m_SteppedCount > 0 && m_Stepped[0] < m_Actions.size()) {
            const char* action = reinterpret_cast<const char*>(m_Actions[m_Stepped[0]].get());
            __builtin_prefetch(action);
            __builtin_prefetch(action + 64);
            __builtin_prefetch(action + 128);
        }
    }

    // Appends `unit` to this unit's carried-unit list (and the back reference).
    void AppendCarried(CUnitCanLoad* unit);
    // Empties this unit's carried-unit list (and the back references).
    void ClearCarried();
};

// Never created alone; its own Load and Save leave the unit as it is.
class UnitSingle : public CUnitCanLoad {
public:
    explicit UnitSingle(int32_t unitType = kUnitTypeSingle) : CUnitCanLoad(unitType) {}
    int Load(XmlPullReader& unit, PlanReadState& state) override;
    int Save(PlanXmlWriter& out) const override;
};

// Kind "01": a carrier platform.
class UnitCarrier : public CUnitCanLoad {
public:
    UnitCarrier() : CUnitCanLoad(kUnitTypeCarrier) {}
    void LoadUnit(int32_t unitNo) override;
    void UnloadUnit(int32_t unitNo, double x, double y, double z) override;
    std::vector<CUnitCanLoad*>* GetCarriedUnits() override { return &m_CarriedUnits; }

    std::vector<CUnitCanLoad*> m_CarriedUnits;
};

// Kind "02-01": a single unit that carries others (drawn with their count).
class UnitSingleCarrier : public UnitSingle {
public:
    UnitSingleCarrier() : UnitSingle(kUnitTypeSingleCarrier) {}
    int Load(XmlPullReader& unit, PlanReadState& state) override;
    int Save(PlanXmlWriter& out) const override;
    void LoadUnit(int32_t unitNo) override;
    void UnloadUnit(int32_t unitNo, double x, double y, double z) override;
    std::vector<CUnitCanLoad*>* GetCarriedUnits() override { return &m_CarriedUnits; }

    std::vector<CUnitCanLoad*> m_CarriedUnits;
};

// Kind "02-02".
class UnitSingleSimple : public UnitSingle {
public:
    UnitSingleSimple() : UnitSingle(kUnitTypeSingleSimple) {}
    int Load(XmlPullReader& unit, PlanReadState& state) override;
    int Save(PlanXmlWriter& out) const override;
};

// Kind "03": the transient fire effect of a strike, numbered kFireUnitNo.
// Saved as an empty `unit` element (which reading skips).
class UnitFire : public CUnitCanLoad {
public:
    UnitFire() : CUnitCanLoad(kUnitTypeFire) {}
    // Unlinks from the striker: its list of fire units, and the strike that
    // still names this fire unit (which then stops running).
    ~UnitFire() override;
    // Enters this fire unit in its striker's list (once); the layer does it
    // when the fire unit is added, so m_Striker must be set before.
    void LinkStriker();
    int Save(PlanXmlWriter& out) const override;
    // True once LinkStriker entered it in its striker's list: only then does
    // the striker clear m_Striker when it dies, so only then may the
    // destructor look at the striker.
    bool m_LinkedToStriker = false;
    // Toggles the flash when 500 ms have passed since the last toggle and puts
    // one fire line, from where the striker stands now, at the head of the
    // play state's fire-line list. A fire unit marked removed emits nothing.
    int RecvClockEvent(uint32_t previousMs, uint32_t nowMs, const void* context) override;
    UnitFire* AsFire() override { return this; }
    // Made by a strike during play (not read from a file): never saved, and
    // gone when playback is reset.
    bool IsTransient() const { return !m_FromFile; }

    double m_KillRadius = 0;          // metres, the weapon class's exploderadius
    RoutePoint m_StartPoint;          // fire line from the striker ...
    RoutePoint m_EndPoint;            // ... to the target
    CUnitCanLoad* m_Striker = nullptr;  // not owned; cleared when the striker is destroyed
    RelaxedAtomic<int32_t> m_OnCount = 0;  // times the flash came on
    RelaxedAtomic<int32_t> m_FlashOn = 1;
    uint32_t m_LastToggleMs = 0;
    bool m_FromFile = false;  // a unit of a weapon class in a plan file
};

// Text of a class id before its first "."; empty when it has none.
std::string_view UnitKindText(std::string_view classId);
// A new unit of the kind named by the kind text ("01", "02-01", "02-02",
// "03", compared exactly); nullptr for any other text.
std::unique_ptr<CUnitCanLoad> CreateUnitOfKind(std::string_view kindText);
// CreateUnitOfKind(UnitKindText(classId)).
std::unique_ptr<CUnitCanLoad> CreateUnitForClassId(std::string_view classId);
