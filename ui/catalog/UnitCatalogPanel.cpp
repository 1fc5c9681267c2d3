#include "ui/catalog/UnitCatalogPanel.h"

#include "config/ModulePaths.h"
#include "app/TarnwickApp.h"
#include "config/UnitClassCatalog.h"
#include "ui/TarnwickView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace {

enum ItemRole { KindRole = Qt::UserRole, RecordRole, IconRole };
enum ItemKind { CategoryItem = 1, ClassItem = 2 };

bool SameId(const std::string& a, const std::string& b)
{
    return QString::compare(QString::fromStdString(a), QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::string TextBefore(const std::string& text, char separator)
{
    return text.substr(0, text.find(separator));
}

}  // namespace

// ---- tree ----------------------------------------------------------------------------

CUnitClassTree::CUnitClassTree(CTarnwickApp& app, QWidget* parent) : QTreeWidget(parent), m_app(app)
{
    setObjectName("UnitClassTree");
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(kIconSize, kIconSize));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(false);  // our own drag: it has to reach the plan view, not a drop site
    setUniformRowHeights(true);
    setIndentation(16);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

CUnitClassTree::~CUnitClassTree()
{
    if (m_dragging)
        viewport()->releaseMouse();
}

void CUnitClassTree::Fill()
{
    clear();
    m_icons.clear();

    CUnitImageIndex images;
    images.Scan(modulepaths::InModuleFolder(m_app.m_ModuleFolder, "UnitBitmap"));
    for (const CUnitImageIndex::Entry& entry : images.GetEntries()) {
        QPixmap pixmap(QString::fromStdString(entry.path));
        if (!pixmap.isNull() && pixmap.size() != QSize(kIconSize, kIconSize))
            pixmap = pixmap.scaled(kIconSize, kIconSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // A file that does not load keeps its slot, so later files keep their icons.
        m_icons.push_back(pixmap.isNull() ? QIcon() : QIcon(pixmap));
    }
    CUnitClassCatalog& catalog = m_app.m_UnitClassCatalog;
    catalog.AssignImagePaths(images);

    auto decorate = [&](QTreeWidgetItem* item, const std::string& name) {
        const int icon = images.FindTitle(name);
        item->setData(0, IconRole, icon);
        if (icon >= 0 && !m_icons[size_t(icon)].isNull())
            item->setIcon(0, m_icons[size_t(icon)]);
        item->setText(0, QString::fromStdString(name));
    };

    // Top-level categories first, so a sub-category finds its parent whatever the file order.
    std::vector<std::pair<UnitCategory*, QTreeWidgetItem*>> categories;
    for (const auto& category : catalog.GetCategories()) {
        if (category->id.find('-') != std::string::npos)
            continue;
        auto* item = new QTreeWidgetItem(this);
        item->setData(0, KindRole, CategoryItem);
        item->setData(0, RecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(category.get())));
        decorate(item, category->name);
        categories.emplace_back(category.get(), item);
    }
    const size_t topLevelCount = categories.size();
    for (const auto& category : catalog.GetCategories()) {
        if (category->id.find('-') == std::string::npos)
            continue;
        const std::string parentId = TextBefore(category->id, '-');
        QTreeWidgetItem* parent = nullptr;
        for (size_t i = 0; i < topLevelCount && !parent; ++i)
            if (SameId(categories[i].first->id, parentId))
                parent = categories[i].second;
        // A sub-category without its parent still shows, at the top.
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setData(0, KindRole, CategoryItem);
        item->setData(0, RecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(category.get())));
        decorate(item, category->name);
        categories.emplace_back(category.get(), item);
    }

    for (const auto& unitClass : catalog.GetUnitClasses()) {
        const std::string categoryId = TextBefore(unitClass->id, '.');
        QTreeWidgetItem* parent = nullptr;
        for (const auto& [category, item] : categories)
            if (SameId(category->id, categoryId)) {
                parent = item;
                break;
            }
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setData(0, KindRole, ClassItem);
        item->setData(0, RecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(unitClass.get())));
        item->setToolTip(0, ToolTipOf(*unitClass));
        decorate(item, unitClass->name);
    }
    expandAll();
}

CatalogueRecord CUnitClassTree::RecordOf(const QTreeWidgetItem* item)
{
    CatalogueRecord record;
    if (!item)
        return record;
    const quintptr p = item->data(0, RecordRole).value<quintptr>();
    switch (item->data(0, KindRole).toInt()) {
    case CategoryItem:
        record.category = reinterpret_cast<UnitCategory*>(p);
        break;
    case ClassItem:
        record.unitClass = reinterpret_cast<UnitClassInfo*>(p);
        break;
    default:
        break;
    }
    return record;
}

int CUnitClassTree::IconIndexOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, IconRole).toInt() : -1;
}

QTreeWidgetItem* CUnitClassTree::FindItem(const std::string& idOrName) const
{
    for (QTreeWidgetItemIterator it(const_cast<CUnitClassTree*>(this)); *it; ++it) {
        const CatalogueRecord r = RecordOf(*it);
        if ((r.category && (r.category->id == idOrName || r.category->name == idOrName)) ||
            (r.unitClass && (r.unitClass->id == idOrName || r.unitClass->name == idOrName)))
            return *it;
    }
    return nullptr;
}

// ---- dragging ------------------------------------------------------------------------

bool CUnitClassTree::CanDrag(const QTreeWidgetItem* item) const
{
    if (!item || m_app.m_EditMode == 0)
        return false;
    const UnitClassInfo* info = RecordOf(item).unitClass;
    return info && info->id.find('.') != std::string::npos && info->classCode != "03";
}

QPixmap CUnitClassTree::DragPixmap(const QTreeWidgetItem* item) const
{
    const QString text = item->text(0);
    const QIcon icon = item->icon(0);
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text);
    const int iconWidth = icon.isNull() ? 0 : kIconSize + 4;
    const QSize size(iconWidth + textWidth + 8, std::max(kIconSize, metrics.height()) + 4);
    const qreal dpr = devicePixelRatioF();
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0, 0, 0, 90));
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawRect(QRect(QPoint(0, 0), size).adjusted(0, 0, -1, -1));
    if (!icon.isNull())
        icon.paint(&painter, QRect(2, (size.height() - kIconSize) / 2, kIconSize, kIconSize));
    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(font());
    painter.drawText(QRect(iconWidth + 4, 0, textWidth + 4, size.height()), Qt::AlignVCenter | Qt::AlignLeft, text);
    return pixmap;
}

QString CUnitClassTree::ToolTipOf(const UnitClassInfo& info)
{
    QString text = QString::fromStdString(info.name);
    text += QStringLiteral("\n尺寸: %1米 × %2米").arg(info.width).arg(info.height);
    if (info.IsWeapon() || info.exploderadius > 0)
        text += QStringLiteral("\n杀伤半径: %1米").arg(info.exploderadius, 0, 'g', 10);
    return text;
}

bool CUnitClassTree::BeginDrag(QTreeWidgetItem* item, const QPoint& globalPos)
{
    if (!m_dragging && item && m_app.m_EditMode == 0) {
        // Placeable in edit mode: say so instead of refusing silently.
        const UnitClassInfo* info = RecordOf(item).unitClass;
        if (info && info->id.find('.') != std::string::npos && !info->IsWeapon())
            emit dragNeedsEditMode();
    }
    if (m_dragging || !CanDrag(item))
        return false;
    const QPixmap image = DragPixmap(item);
    if (image.isNull())
        return false;
    m_dragItem = item;
    m_dropItem = nullptr;

    m_dragImage = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                                       Qt::WindowDoesNotAcceptFocus);
    m_dragImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dragImage->setAttribute(Qt::WA_ShowWithoutActivating);
    m_dragImage->setAttribute(Qt::WA_TranslucentBackground);
    m_dragImage->setPixmap(image);
    m_dragImage->resize(image.size() / image.devicePixelRatio());
    m_dragImage->move(globalPos + kDragImageOffset);
    m_dragImage->show();

    m_dragging = 1;
    // Moves and the release come to the tree wherever the cursor goes.
    if (viewport()->isVisible())
        viewport()->grabMouse();
    viewport()->setCursor(Qt::ForbiddenCursor);
    return true;
}

void CUnitClassTree::DragMoveTo(const QPoint& globalPos)
{
    if (!m_dragging)
        return;
    if (m_dragImage)
        m_dragImage->move(globalPos + kDragImageOffset);
    if (OverTree(globalPos)) {
        viewport()->setCursor(Qt::ForbiddenCursor);
        QTreeWidgetItem* over = itemAt(viewport()->mapFromGlobal(globalPos));
        // Top-level categories light up as the cursor passes (never the dragged class's own).
        if (over && !over->parent() && over != m_dragItem->parent())
            setCurrentItem(over);
        m_dropItem = over;
        return;
    }
    m_dropItem = nullptr;
    viewport()->setCursor(OverView(globalPos) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (m_view)
        m_view->OnCatalogueDragAt(globalPos);
}

void CUnitClassTree::EndDragState()
{
    m_dragging = 0;
    m_dropItem = nullptr;
    m_pressItem = nullptr;
    if (m_dragImage) {
        m_dragImage->hide();
        m_dragImage->deleteLater();
        m_dragImage = nullptr;
    }
    viewport()->releaseMouse();
    viewport()->unsetCursor();
    clearSelection();
}

bool CUnitClassTree::EndDrag(const QPoint& globalPos)
{
    if (!m_dragging)
        return false;
    QTreeWidgetItem* dragged = m_dragItem;
    m_dragItem = nullptr;
    EndDragState();
    if (OverTree(globalPos))
        return false;  // a drop inside the tree is no drop
    UnitClassInfo* info = RecordOf(dragged).unitClass;
    if (!m_view || !info)
        return false;
    // The release point itself, not the last move, decides where the unit lands.
    m_view->OnCatalogueDragAt(globalPos);
    return m_view->DropUnitClass(globalPos, *info);
}

void CUnitClassTree::CancelDrag()
{
    if (!m_dragging)
        return;
    m_dragItem = nullptr;
    EndDragState();
}

bool CUnitClassTree::OverTree(const QPoint& globalPos) const
{
    return rect().contains(mapFromGlobal(globalPos));
}

bool CUnitClassTree::OverView(const QPoint& globalPos) const
{
    return m_view && m_view->rect().contains(m_view->mapFromGlobal(globalPos));
}

void CUnitClassTree::mousePressEvent(QMouseEvent* event)
{
    if (m_dragging) {
        event->accept();
        return;
    }
    m_pressItem = nullptr;
    if (event->button() == Qt::LeftButton) {
        m_pressPos = event->position().toPoint();
        m_pressItem = itemAt(m_pressPos);
    }
    QTreeWidget::mousePressEvent(event);
}

void CUnitClassTree::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint globalPos = event->globalPosition().toPoint();
    if (m_dragging) {
        DragMoveTo(globalPos);
        event->accept();
        return;
    }
    if (m_pressItem && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        QTreeWidgetItem* item = m_pressItem;
        m_pressItem = nullptr;  // one attempt per press
        if (BeginDrag(item, viewport()->mapToGlobal(m_pressPos))) {
            DragMoveTo(globalPos);
            event->accept();
            return;
        }
    }
    QTreeWidget::mouseMoveEvent(event);
}

void CUnitClassTree::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressItem = nullptr;
    if (m_dragging && event->button() == Qt::LeftButton) {
        EndDrag(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void CUnitClassTree::keyPressEvent(QKeyEvent* event)
{
    if (m_dragging && event->key() == Qt::Key_Escape) {
        CancelDrag();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

// ---- class editing -------------------------------------------------------------------

void CUnitClassTree::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_dragging)
        return;
    if (QTreeWidgetItem* item = itemAt(viewport()->mapFromGlobal(event->globalPos())))
        setCurrentItem(item);
    OpenContextMenu(event->globalPos());
}

void CUnitClassTree::OpenContextMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    QAction* setProperties = menu.addAction("设置属性...");
    setProperties->setData(ID_SET_PROPERTIES);
    QAction* chosen = m_hooks.contextMenu ? m_hooks.contextMenu(menu, globalPos) : menu.exec(globalPos);
    if (chosen && chosen->data().toInt() == ID_SET_PROPERTIES)
        EditSelectedClass();
}

ClassEditOutcome CUnitClassTree::EditSelectedClass()
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    QTreeWidgetItem* item = selected.isEmpty() ? nullptr : selected.first();
    const CatalogueRecord record = RecordOf(item);
    const ClassEditOutcome outcome = EditUnitClass(
        m_app, item ? &record : nullptr, m_hooks.editClass,
        [this] {
            if (m_view)
                m_view->update();
        },
        window());
    // The record changed (saved or not): the tree shows its new name.
    if ((outcome == ClassEditOutcome::Saved || outcome == ClassEditOutcome::SaveFailed) && record.unitClass)
        item->setText(0, QString::fromStdString(record.unitClass->name));
    return outcome;
}

// ---- panel ---------------------------------------------------------------------------

CDialogUnitCatalog::CDialogUnitCatalog(CTarnwickApp& app, QWidget* parent) : QWidget(parent)
{
    setObjectName("UnitCatalogPanel");
    m_tree = new CUnitClassTree(app, this);
    m_tree->Fill();
}

void CDialogUnitCatalog::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_tree)
        m_tree->setGeometry(2, 2, width() - 5, height() - 5);
}
