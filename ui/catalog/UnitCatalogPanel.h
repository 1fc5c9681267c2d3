#pragma once

#include "ui/TarnwickView.h"
#include "ui/catalog/UnitClassEditDlg.h"

#include <QIcon>
#include <QPointer>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <vector>

class CTarnwickApp;
class QAction;
class QLabel;
class QMenu;

// The catalogue tree of the "设置栏" panel: categories (two levels) with their
// unit classes, each with its 20x20 icon from the UnitBitmap folder. In edit
// mode a placeable class is dragged onto the plan view, which creates the unit;
// the drag runs with the mouse captured by the tree, so it never leaves the
// program. A right click offers "设置属性..." for the class editor.
class CUnitClassTree : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kIconSize = 20;
    static constexpr int ID_SET_PROPERTIES = 32835;
    // The drag image sits this far right of and below the cursor.
    static constexpr QPoint kDragImageOffset{15, 15};

    // Replaceable so that tests never block on a popup or a modal dialog.
    struct Hooks {
        // Shows the context menu at a screen point; the chosen item or null.
        std::function<QAction*(QMenu& menu, const QPoint& globalPos)> contextMenu;
        // Runs the class editor (null: modal exec).
        UnitClassEditor editClass;
    };

    explicit CUnitClassTree(CTarnwickApp& app, QWidget* parent = nullptr);
    ~CUnitClassTree() override;

    // The plan view that receives drags and drops and is repainted after a class edit.
    void SetView(CTarnwickView* view) { m_view = view; }
    Hooks& GetHooks() { return m_hooks; }

    // Builds the icons from the module folder's UnitBitmap folder (recursively)
    // and the tree from the catalogue; classes that get an icon get their map
    // image paths under NormalBitmap, the others empty paths.
    void Fill();

    // The catalogue record an item shows.
    static CatalogueRecord RecordOf(const QTreeWidgetItem* item);
    // The icon list in enumeration order of the UnitBitmap folder; a file that
    // does not load keeps its place with a null icon.
    const std::vector<QIcon>& Icons() const { return m_icons; }
    // Index into Icons() of the item's icon; -1 when none.
    static int IconIndexOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* FindItem(const std::string& idOrName) const;

    // ---- dragging ------------------------------------------------------------------
    // Whether the item may be dragged now: edit mode, a class whose id holds a
    // ".", and not a weapon.
    bool CanDrag(const QTreeWidgetItem* item) const;
    // Starts a drag of the item at a screen point; false when refused.
    bool BeginDrag(QTreeWidgetItem* item, const QPoint& globalPos);
    // Moves the drag to a screen point: over the tree the item under the cursor
    // becomes the drop item; elsewhere the view follows the cursor.
    void DragMoveTo(const QPoint& globalPos);
    // Ends the drag at a screen point; outside the tree the view gets the drop.
    // True when the drop went to the view.
    bool EndDrag(const QPoint& globalPos);
    // Ends a drag without a drop (Esc, the tree going away).
    void CancelDrag();
    bool IsDragging() const { return m_dragging != 0; }
    QTreeWidgetItem* DraggedItem() const { return m_dragItem; }
    QTreeWidgetItem* DropItem() const { return m_dropItem; }
    const QLabel* DragImage() const { return m_dragImage; }

    // ---- class editing ----------------------------------------------------------
    // Runs the class editing for the selected item ("设置属性...").
    ClassEditOutcome EditSelectedClass();
    void OpenContextMenu(const QPoint& globalPos);
    // What an item's tooltip says: a class's name, size and kill radius; a category's name.
    static QString ToolTipOf(const UnitClassInfo& info);

signals:
    // A placeable class was dragged in run mode: placing units needs edit mode.
    void dragNeedsEditMode();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool OverTree(const QPoint& globalPos) const;
    bool OverView(const QPoint& globalPos) const;
    QPixmap DragPixmap(const QTreeWidgetItem* item) const;
    void EndDragState();

    CTarnwickApp& m_app;
    QPointer<CTarnwickView> m_view;
    Hooks m_hooks;
    std::vector<QIcon> m_icons;

    // A left press on an item that may turn into a drag.
    QTreeWidgetItem* m_pressItem = nullptr;
    QPoint m_pressPos;

    int m_dragging = 0;
    QTreeWidgetItem* m_dragItem = nullptr;
    QTreeWidgetItem* m_dropItem = nullptr;
    QLabel* m_dragImage = nullptr;  // a frameless top-level window while a drag runs
};

// The "设置栏" panel: the catalogue tree with a small margin.
class CDialogUnitCatalog : public QWidget {
    Q_OBJECT
public:
    explicit CDialogUnitCatalog(CTarnwickApp& app, QWidget* parent = nullptr);

    CUnitClassTree* Tree() const { return m_tree; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CUnitClassTree* m_tree;
};
