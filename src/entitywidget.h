#pragma once

#include "EntityConfig.h"

#include <QPoint>
#include <QWidget>

#include <array>
#include <vector>

// A strip of 40-pixel entity cells: the whole catalogue, or the user's ten-tab palette.
class EntityWidget : public QWidget {
    Q_OBJECT
public:
    explicit EntityWidget(QWidget* parent = nullptr);

    bool getPaletteMode() const;
    void setPaletteMode(bool mode);

    // The entity shown in cell index of the catalogue or of the current palette tab.
    const EntityConfig::Entity* getEntityAt(int index) const;

    // False when the settings store could not write the file.
    bool savePalette(const QString& path);
    void loadPalette(const QString& path);

    // Call after every catalogue load: the entity of the last press and the palette's entities
    // pointed into the old list, so they are forgotten (loadPalette finds the palette's entities
    // again), and the new icons may reach further into neighbouring cells.
    void catalogueReloaded();

    static constexpr int CellPitch = 40;
    static constexpr int PaletteSlots = 64;
    static constexpr int TabCount = 10;

signals:
    void showMessage(const QString& message, int timeout = 0);
    void addEntity(const EntityConfig::Entity* entity, qreal weight);

public slots:
    void changeTab(int tab);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int cellCount() const;
    void paintCell(QPainter& painter, int index);
    void startDrag();

    bool paletteMode = false;
    std::array<std::vector<const EntityConfig::Entity*>, TabCount> tabs;
    int currentTab = 0;
    int hoverIndex = -1;
    int dropIndex = -1;
    QPoint pressPos;
    const EntityConfig::Entity* pressedEntity = nullptr;
    // How far the widest icon drawn since the last catalogue load reaches past its cell on
    // either side.
    int iconOverhang = 0;
};
