#pragma once
#include "chart/chartstate.h"
#include <QHash>
#include <QPolygonF>
#include <QTransform>
#include <QWidget>

// The dental arch, drawn: each tooth a square of its five surfaces, turned
// to face out of the arch (buccal outwards, lingual towards the palate or
// tongue, mesial towards the midline), coloured by its state, work planned
// for it hatched, with its FDI number beside it. A click on a tooth says which tooth and surface.
class ToothChart : public QWidget {
    Q_OBJECT
public:
    explicit ToothChart(QWidget *parent = nullptr);

    void setDentition(Chart::Dentition d);
    Chart::Dentition dentition() const { return m_dentition; }
    // The teeth shown, upper arch then lower.
    QList<int> teeth() const;

    void setStates(const QHash<int, Chart::ToothState> &states);
    // The tooth being entered and its chosen surfaces, outlined; 0 for none.
    void setSelection(int fdi, const QString &surfaces);
    int selectedTooth() const { return m_selected; }

    // Where a tooth is drawn, in widget coordinates (its bounding box);
    // empty for a tooth not shown.
    QRectF toothRect(int fdi) const;
    QPointF toothCenter(int fdi) const;
    // A point inside one surface of a shown tooth.
    QPointF surfacePoint(int fdi, QChar surface) const;
    // The colour a surface is painted with now.
    QColor surfaceColor(int fdi, QChar surface) const;
    // Work is planned for the surface: hatched over its colour, the tooth
    // ringed with a dashed line.
    bool plannedSurface(int fdi, QChar surface) const;
    // The tooth and surface under a point: {0, '\0'} when none.
    std::pair<int, QChar> hit(const QPointF &p) const;

    QSize sizeHint() const override { return {620, 360}; }

signals:
    void toothClicked(int fdi, QChar surface);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void resizeEvent(QResizeEvent *) override;

private:
    struct Placed {
        QTransform toWidget;   // tooth coordinates (square of half-side 1) to widget
        bool mesialRight;      // the mesial side is +x in tooth coordinates
    };
    void layoutTeeth();
    QPolygonF surfacePolygon(int index, bool mesialRight) const;

    Chart::Dentition m_dentition = Chart::Dentition::Permanent;
    QHash<int, Chart::ToothState> m_states;
    QHash<int, Placed> m_placed;
    int m_selected = 0;
    QString m_selectedSurfaces;
};
