#pragma once

#include "SurfaceItem.h"

#include <QRegion>
#include <memory>
#include <vector>

class QPainter;
class QPalette;

// The windowless items of one container in their stacking order: the first
// item lies on top of all later ones. Real child controls lie above them all,
// since Qt paints children after their parent.
class Surface
{
public:
    // Appends beneath every item already present.
    template <class Item>
    Item &add(std::unique_ptr<Item> item)
    {
        Item &added = *item;
        m_items.push_back(std::move(item));
        return added;
    }

    int count() const { return int(m_items.size()); }
    const SurfaceItem &at(int index) const { return *m_items.at(std::size_t(index)); }
    SurfaceItem *find(const QString &name) const;

    // Only the items whose box meets `dirty` (all of them for an empty
    // region): a live view that repaints one small label at the screen's
    // pace must not lay out every other text of its container each time.
    void paint(QPainter &painter, const SurfaceScale &scale, const QPalette &palette,
               const QRegion &dirty = QRegion()) const;

private:
    std::vector<std::unique_ptr<SurfaceItem>> m_items;
};

// A widget that carries a surface of windowless items in its own scale.
class SurfaceHost
{
public:
    virtual ~SurfaceHost() = default;
    virtual Surface &surface() = 0;
    virtual SurfaceScale surfaceScale() const = 0;
};
