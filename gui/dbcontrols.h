#pragma once
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

#include "data/dataset.h"

// Data-aware controls. Each shows one field of its data set's current row;
// typing puts the row in editing, and the typed text is written into the
// field when focus leaves and before the row is posted.

class DbEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DbEdit(QWidget *parent = nullptr);
    void setDataSource(DataSet *ds, const QString &field);
    QString dataField() const { return m_field; }
protected:
    void focusOutEvent(QFocusEvent *e) override;
private:
    void load();
    void store();
    QPointer<DataSet> m_ds;
    QString m_field;
    bool m_loading = false;
    bool m_dirty = false;
};

// List-only combo box: the user picks one of its items.
class DbComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DbComboBox(QWidget *parent = nullptr);
    void setDataSource(DataSet *ds, const QString &field);
    QString dataField() const { return m_field; }
private:
    void load();
    QPointer<DataSet> m_ds;
    QString m_field;
    bool m_loading = false;
};

class DbMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DbMemo(QWidget *parent = nullptr);
    void setDataSource(DataSet *ds, const QString &field);
    QString dataField() const { return m_field; }
protected:
    void focusOutEvent(QFocusEvent *e) override;
private:
    void load();
    void store();
    QPointer<DataSet> m_ds;
    QString m_field;
    bool m_loading = false;
    bool m_dirty = false;
};

// Read-only label showing a field's display text (DBText).
class DbText : public QLabel {
    Q_OBJECT
public:
    explicit DbText(QWidget *parent = nullptr);
    void setDataSource(DataSet *ds, const QString &field);
    QString dataField() const { return m_field; }
private:
    void load();
    QPointer<DataSet> m_ds;
    QString m_field;
};
