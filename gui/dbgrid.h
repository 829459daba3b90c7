#pragma once
#include <QAbstractTableModel>
#include <QTableView>
#include <QPointer>

#include "data/db/dataset.h"

// Table model over a data set: one column per added field (every field
// when none was added), display texts of the data set, alignment per
// column, centred bold titles. The vertical header marks the current row.
class DbGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DbGridModel(QObject *parent = nullptr);
    void setDataSet(DataSet *ds);
    DataSet *dataSet() const { return m_ds; }
    void addColumn(const QString &field, const QString &title,
                   Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
    void clearColumns();
    QString columnField(int col) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    struct Column {
        QString field;
        QString title;
        Qt::Alignment align;
        int index = -1;
    };
    void resolveColumns();
    void refreshCurrentRow();
    int fieldOf(int col) const;   // data set field of a grid column, -1 when unknown
    QPointer<DataSet> m_ds;
    QList<Column> m_columns;
};

// Grid bound to a data set (DBGrid): whole-row selection, not editable in
// place, the selected row is the data set's current row both ways.
// Ctrl+Delete deletes the current row after "Delete record?" when enabled.
class DbGrid : public QTableView {
    Q_OBJECT
public:
    explicit DbGrid(QWidget *parent = nullptr);
    void setDataSet(DataSet *ds);
    DataSet *dataSet() const;
    void addColumn(const QString &field, const QString &title,
                   Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
    DbGridModel *gridModel() const { return m_model; }
    void setCtrlDeleteEnabled(bool on) { m_ctrlDelete = on; }
    // Columns as wide as their titles and texts (the first rows read), the
    // last one filling what is left; done whenever the rows are read anew.
    void fitColumns();

signals:
    void cellClicked();          // after a click made a row current (OnCellClick)
    void keyReleased(int key);   // OnKeyUp

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;

private:
    void syncFromDataSet();
    DbGridModel *m_model;
    bool m_ctrlDelete = false;
    bool m_syncing = false;
};
