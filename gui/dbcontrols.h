#pragma once
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

#include "data/db/dataset.h"
#include <functional>

// Data-aware controls. Each shows one field of its data set's current row;
// typing puts the row in editing, and the typed text is written into the
// field when focus leaves and before the row is posted.

// What every data-aware control shares: the data set and field it shows,
// and the data set signals after which it loads the field again. Reloads are
// skipped while the row is being edited, except for the control's own field,
// so that another control's typing leaves it alone.
class FieldBinding {
public:
    // Binds `control` (the receiver of the connections) to ds.field; `load`
    // shows the field, `store` (when given) writes typed text before a post.
    void bind(QObject *control, DataSet *ds, const QString &field,
              std::function<void()> load, std::function<void()> store = {});
    DataSet *dataSet() const { return m_ds; }
    bool isOpen() const { return m_ds && m_ds->isOpen(); }
    const QString &field() const { return m_field; }
    QString displayText() const;   // empty when there is nothing to show
    void setText(const QString &text) const { m_ds->setFieldText(m_field, text); }

private:
    QObject *m_control = nullptr;
    QPointer<DataSet> m_ds;
    QString m_field;
};

// What the controls the user types into share: the typed text is kept
// while the row goes into editing, and written into the field when focus
// leaves or before a post.
class TypedField {
public:
    // text: the control's text; show: shows a text with the cursor at a
    // position (-1: where a reader starts); cursor: the cursor's position.
    TypedField(std::function<QString()> text, std::function<void(const QString &, int)> show,
               std::function<int()> cursor);
    void bind(QObject *control, DataSet *ds, const QString &field);
    const QString &field() const { return m_binding.field(); }
    void typed();   // the user changed the text
    void load();    // shows the field's stored text
    void store();   // writes the typed text into the field

private:
    std::function<QString()> m_text;
    std::function<void(const QString &, int)> m_show;
    std::function<int()> m_cursor;
    FieldBinding m_binding;
    bool m_loading = false;
    bool m_dirty = false;
};

class DbEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DbEdit(QWidget *parent = nullptr);
    void setDataSource(DataSet *ds, const QString &field) { m_typed.bind(this, ds, field); }
    QString dataField() const { return m_typed.field(); }

protected:
    void focusOutEvent(QFocusEvent *e) override;

private:
    TypedField m_typed;
};

// List-only combo box: the user picks one of its items.
class DbComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DbComboBox(QWidget *parent = nullptr);
    void setDataSource(DataSet *ds, const QString &field);
    QString dataField() const { return m_binding.field(); }

private:
    void load();
    FieldBinding m_binding;
    bool m_loading = false;
};

class DbMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DbMemo(QWidget *parent = nullptr);
    void setDataSource(DataSet *ds, const QString &field) { m_typed.bind(this, ds, field); }
    QString dataField() const { return m_typed.field(); }

protected:
    void focusOutEvent(QFocusEvent *e) override;

private:
    TypedField m_typed;
};

// Read-only label showing a field's display text (DBText).
class DbText : public QLabel {
    Q_OBJECT
public:
    explicit DbText(QWidget *parent = nullptr);
    void setDataSource(DataSet *ds, const QString &field);
    QString dataField() const { return m_binding.field(); }

private:
    void load();
    FieldBinding m_binding;
};
