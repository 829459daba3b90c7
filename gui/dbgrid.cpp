#include "gui/dbgrid.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace {

// The row indicator of the grid's left margin: a small black triangle.
QPixmap currentRowMark()
{
    static const QPixmap mark = [] {
        QPixmap pm(8, 10);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        const QPointF tri[] = {{1, 1}, {7, 5}, {1, 9}};
        p.drawPolygon(tri, 3);
        return pm;
    }();
    return mark;
}

}   // namespace

// ---- model ------------------------------------------------------------------

DbGridModel::DbGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void DbGridModel::setDataSet(DataSet *ds)
{
    if (ds == m_ds)
        return;
    beginResetModel();
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    if (ds) {
        connect(ds, &DataSet::dataReset, this, [this] {
            beginResetModel();
            resolveColumns();
            endResetModel();
        });
        connect(ds, &DataSet::fieldChanged, this, [this](int) { refreshCurrentRow(); });
        connect(ds, &DataSet::stateChanged, this, [this] { refreshCurrentRow(); });
        connect(ds, &DataSet::currentChanged, this, [this] {
            // Only the indicator moves.
            if (const int n = rowCount(); n > 0)
                emit headerDataChanged(Qt::Vertical, 0, n - 1);
        });
    }
    resolveColumns();
    endResetModel();
}

void DbGridModel::refreshCurrentRow()
{
    const int row = m_ds ? m_ds->recNo() : -1;
    if (row < 0 || row >= rowCount() || columnCount() == 0)
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

void DbGridModel::addColumn(const QString &field, const QString &title, Qt::Alignment align)
{
    beginResetModel();
    m_columns.append({field, title, align, -1});
    resolveColumns();
    endResetModel();
}

void DbGridModel::clearColumns()
{
    beginResetModel();
    m_columns.clear();
    resolveColumns();
    endResetModel();
}

QString DbGridModel::columnField(int col) const
{
    if (!m_columns.isEmpty())
        return col >= 0 && col < m_columns.size() ? m_columns[col].field : QString();
    if (m_ds && col >= 0 && col < m_ds->fieldCount())
        return m_ds->field(col).name;
    return QString();
}

void DbGridModel::resolveColumns()
{
    for (Column &c : m_columns)
        c.index = m_ds ? m_ds->fieldIndex(c.field) : -1;
}

int DbGridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_ds)
        return 0;
    return m_ds->rowCount();
}

int DbGridModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    // Without columns of its own the grid shows every field.
    if (m_columns.isEmpty())
        return m_ds ? m_ds->fieldCount() : 0;
    return int(m_columns.size());
}

int DbGridModel::fieldOf(int col) const
{
    if (m_columns.isEmpty())
        return col;
    return col >= 0 && col < m_columns.size() ? m_columns[col].index : -1;
}

QVariant DbGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_ds)
        return QVariant();
    const int field = fieldOf(index.column());
    switch (role) {
    case Qt::DisplayRole: {
        if (field < 0)
            return QString();
        QString text = m_ds->displayText(index.row(), field);
        // A long text shows on one line in its cell.
        if (m_ds->field(field).type == FieldType::Memo) {
            text.replace(QLatin1String("\r\n"), QLatin1String(" "));
            text.replace(u'\n', u' ');
        }
        return text;
    }
    case Qt::TextAlignmentRole:
        if (m_columns.isEmpty())
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return QVariant::fromValue(m_columns[index.column()].align);
    default:
        return QVariant();
    }
}

QVariant DbGridModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Vertical) {
        // The left margin marks the current row, '*' a new one, 'I' one in editing.
        if (!m_ds || section != m_ds->recNo())
            return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
        const DataSetState st = m_ds->state();
        if (role == Qt::DisplayRole)
            return st == DataSetState::Insert ? QStringLiteral("*")
                : st == DataSetState::Edit    ? QStringLiteral("I")
                                              : QString();
        if (role == Qt::DecorationRole && st == DataSetState::Browse)
            return currentRowMark();
        return QVariant();
    }
    if (section < 0 || section >= columnCount())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return m_columns.isEmpty() ? columnField(section) : m_columns[section].title;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    case Qt::FontRole: {
        QFont f;
        f.setBold(true);
        return f;
    }
    default:
        return QVariant();
    }
}

// ---- grid -------------------------------------------------------------------

DbGrid::DbGrid(QWidget *parent) : QTableView(parent), m_model(new DbGridModel(this))
{
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // Rows of one height keep a grid of many thousand rows quick.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(14);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setResizeContentsPrecision(500);   // rows read when sizing columns

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                DataSet *ds = dataSet();
                if (m_syncing || !ds || !ds->isOpen() || !current.isValid() || current.row() == ds->recNo())
                    return;
                const int row = current.row();
                runGuarded([&] { ds->moveTo(row); });
                // A refused post keeps the old row current; show that.
                if (ds->recNo() != row)
                    syncFromDataSet();
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        fitColumns();
        syncFromDataSet();
    });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        DataSet *ds = dataSet();
        if (ds && index.isValid() && index.row() == ds->recNo())
            emit cellClicked();
    });
}

void DbGrid::setDataSet(DataSet *ds)
{
    if (DataSet *old = dataSet())
        disconnect(old, nullptr, this, nullptr);
    m_model->setDataSet(ds);
    if (ds)
        connect(ds, &DataSet::currentChanged, this, [this] { syncFromDataSet(); });
    syncFromDataSet();
}

DataSet *DbGrid::dataSet() const { return m_model->dataSet(); }

void DbGrid::addColumn(const QString &field, const QString &title, Qt::Alignment align)
{
    m_model->addColumn(field, title, align);
}

void DbGrid::syncFromDataSet()
{
    DataSet *ds = dataSet();
    QItemSelectionModel *sel = selectionModel();
    if (!sel)
        return;
    m_syncing = true;
    const int row = ds ? ds->recNo() : -1;
    if (row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0) {
        sel->clear();
    } else {
        const int col = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex idx = m_model->index(row, std::min(col, m_model->columnCount() - 1));
        sel->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    }
    m_syncing = false;
}

void DbGrid::fitColumns()
{
    const int n = m_model->columnCount();
    if (n == 0)
        return;
    QHeaderView *h = horizontalHeader();
    // No one column may take the whole grid: a long memo line is cut
    // rather than pushing every other column out of sight.
    const int cap = std::max(80, viewport()->width() * 2 / 3);
    for (int c = 0; c < n - 1; ++c)
        setColumnWidth(c, std::min(cap, std::max(sizeHintForColumn(c), h->sectionSizeHint(c))));
}

void DbGrid::resizeEvent(QResizeEvent *e)
{
    QTableView::resizeEvent(e);
    fitColumns();
}

void DbGrid::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier) && m_ctrlDelete) {
        e->accept();
        DataSet *ds = dataSet();
        if (ds && ds->isOpen() && !ds->isEmpty() && Messages::confirmDelete(this))
            runGuarded([ds] { ds->deleteRecord(); });
        return;
    }
    QTableView::keyPressEvent(e);
}

void DbGrid::keyReleaseEvent(QKeyEvent *e)
{
    QTableView::keyReleaseEvent(e);
    emit keyReleased(e->key());
}
