#include "plans/planitems.h"
#include "data/db/regional.h"
#include <QBrush>
#include <QColor>

void PlanItemsModel::load(DbConnection &conn, CustomerRef customer)
{
    QList<Plans::Item> read = Plans::items(conn, customer);
    beginResetModel();
    m_items = std::move(read);
    m_totals = Plans::totals(m_items);
    QSet<qint64> still;
    for (const Plans::Item &i : std::as_const(m_items))
        if (i.billable() && m_ticked.contains(i.id))
            still.insert(i.id);
    m_ticked = std::move(still);
    endResetModel();
}

QList<Plans::Item> PlanItemsModel::ticked() const
{
    QList<Plans::Item> out;
    for (const Plans::Item &i : m_items)
        if (m_ticked.contains(i.id))
            out << i;
    return out;
}

int PlanItemsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

int PlanItemsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlanItemsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const Plans::Item &i = m_items.at(index.row());
    const int column = index.column();
    if (role == Qt::CheckStateRole && column == Bill && i.billable())
        return m_ticked.contains(i.id) ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole) {
        const Qt::Alignment a = column == Price ? Qt::AlignRight | Qt::AlignVCenter
            : column == Work || column == Note  ? Qt::AlignLeft | Qt::AlignVCenter
                                                : Qt::Alignment(Qt::AlignCenter);
        return int(a.toInt());
    }
    // Cancelled work stays listed, greyed.
    if (role == Qt::ForegroundRole && i.state == Plans::State::Cancelled)
        return QBrush(QColor(Qt::gray));
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case Tooth: return i.tooth ? QString::number(i.tooth) : QString();
    case Surfaces: return i.surfaces;
    case Work: return i.description;
    case Price: return Plans::priceText(i.cents);
    case State: return Plans::stateText(i.state);
    case Done: return i.done.isValid() ? Regional::formatDate(i.done) : QString();
    case Note: return i.note;
    case Receipt: return i.receipt ? QString::number(i.receipt) : QString();
    default: return {};
    }
}

QVariant PlanItemsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const kTitles[ColumnCount] = {"Χρέωση", "Δόντι", "Επιφάνειες", "Εργασία", "Τιμή",
                                                     "Κατάσταση", "Έγινε στις", "Σημείωση", "Απόδειξη"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kTitles[section]) : QVariant();
}

Qt::ItemFlags PlanItemsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == Bill && index.row() < m_items.size() && m_items.at(index.row()).billable())
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool PlanItemsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !(flags(index) & Qt::ItemIsUserCheckable))
        return false;
    const qint64 id = m_items.at(index.row()).id;
    if (value.toInt() == Qt::Checked)
        m_ticked.insert(id);
    else
        m_ticked.remove(id);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}
