#pragma once
#include "data/work/plans.h"
#include <QAbstractTableModel>
#include <QSet>

class DbConnection;

// One customer's plan as the plan window lists it: the items in the order
// entered, their totals, and a box to tick on each item that can be billed.
// Texts are made when the view asks for them.
class PlanItemsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Bill,
                  Tooth,
                  Surfaces,
                  Work,
                  Price,
                  State,
                  Done,
                  Note,
                  Receipt,
                  ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // The items and their totals read again; ticks stay on the items that
    // can still be billed.
    void load(DbConnection &conn, CustomerRef customer);
    const QList<Plans::Item> &items() const { return m_items; }
    const Plans::Totals &totals() const { return m_totals; }
    // The ticked items, in the plan's order.
    QList<Plans::Item> ticked() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    QList<Plans::Item> m_items;
    Plans::Totals m_totals;
    QSet<qint64> m_ticked;
};
