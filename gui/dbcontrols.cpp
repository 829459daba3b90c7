#include "gui/dbcontrols.h"
#include "gui/messages.h"
#include "data/dberror.h"
#include <QTextCursor>
#include <algorithm>

namespace {

// Connects a control to the data set signals that can change what it shows.
// Reloads are skipped while the row is being edited, except for the
// control's own field, so that another control's typing leaves it alone.
template <class Control, class Load>
void watch(Control *c, DataSet *ds, const QString &field, Load load)
{
    QObject::connect(ds, &DataSet::dataReset, c, load);
    QObject::connect(ds, &DataSet::currentChanged, c, load);
    QObject::connect(ds, &DataSet::fieldChanged, c, [c, ds, field, load](int col) {
        if (col == ds->fieldIndex(field))
            load();
    });
    QObject::connect(ds, &DataSet::stateChanged, c, [ds, load] {
        // Cancel and post end editing: show the stored value again.
        if (ds->state() == DataSetState::Browse || ds->state() == DataSetState::Inactive)
            load();
    });
}

// The field's display text, or empty when there is nothing to show.
QString fieldDisplayText(const DataSet *ds, const QString &field)
{
    if (!ds || !ds->isOpen() || ds->recNo() < 0)
        return QString();
    const int col = ds->fieldIndex(field);
    return col < 0 ? QString() : ds->displayText(ds->recNo(), col);
}

// The user started typing: the row goes into editing. A result that
// cannot be edited refuses, and the control shows the stored text again.
bool beginEdit(DataSet *ds)
{
    if (!ds || !ds->isOpen())
        return false;
    try {
        if (ds->state() == DataSetState::Browse)
            ds->edit();
        return true;
    } catch (const DbError &e) {
        Messages::error(e.message());
        return false;
    }
}

} // namespace

// ---- DbEdit -----------------------------------------------------------------

DbEdit::DbEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (m_loading)
            return;
        m_loading = true;   // edit() may start a new row; keep what was typed
        const QString typed = text();
        const int cursor = cursorPosition();
        const bool ok = beginEdit(m_ds);
        m_loading = false;
        if (!ok) {
            load();
            return;
        }
        if (text() != typed) {
            m_loading = true;
            setText(typed);
            setCursorPosition(cursor);
            m_loading = false;
        }
        m_dirty = true;
    });
}

void DbEdit::setDataSource(DataSet *ds, const QString &field)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    m_field = field;
    if (ds) {
        watch(this, ds, field, [this] { load(); });
        connect(ds, &DataSet::updateRecord, this, [this] { store(); });
    }
    load();
}

void DbEdit::load()
{
    if (m_loading)
        return;
    m_loading = true;
    setText(fieldDisplayText(m_ds, m_field));
    // A long value shows its beginning, as it would be read.
    setCursorPosition(0);
    m_loading = false;
    m_dirty = false;
}

void DbEdit::store()
{
    if (!m_dirty || !m_ds || !m_ds->isOpen())
        return;
    // Throws when the text does not fit the field; the text stays for correcting.
    m_ds->setFieldText(m_field, text());
    m_dirty = false;
}

void DbEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    store();
}

// ---- DbComboBox ------------------------------------------------------------------

DbComboBox::DbComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (m_loading || !m_ds || !m_ds->isOpen())
            return;
        try {
            m_ds->setFieldText(m_field, itemText(index));
        } catch (const DbError &e) {
            Messages::error(e.message());
            load();
        }
    });
}

void DbComboBox::setDataSource(DataSet *ds, const QString &field)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    m_field = field;
    if (ds)
        watch(this, ds, field, [this] { load(); });
    load();
}

void DbComboBox::load()
{
    m_loading = true;
    // A value that is not in the list shows no item.
    setCurrentIndex(findText(fieldDisplayText(m_ds, m_field)));
    m_loading = false;
}

// ---- DbMemo ------------------------------------------------------------------------

DbMemo::DbMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_loading)
            return;
        m_loading = true;
        const QString typed = toPlainText();
        const int cursor = textCursor().position();
        const bool ok = beginEdit(m_ds);
        if (ok && toPlainText() != typed) {
            setPlainText(typed);
            QTextCursor tc = textCursor();
            tc.setPosition(std::min(cursor, int(typed.size())));
            setTextCursor(tc);
        }
        m_loading = false;
        if (!ok) {
            load();
            return;
        }
        m_dirty = true;
    });
}

void DbMemo::setDataSource(DataSet *ds, const QString &field)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    m_field = field;
    if (ds) {
        watch(this, ds, field, [this] { load(); });
        connect(ds, &DataSet::updateRecord, this, [this] { store(); });
    }
    load();
}

void DbMemo::load()
{
    if (m_loading)
        return;
    m_loading = true;
    setPlainText(fieldDisplayText(m_ds, m_field));
    m_loading = false;
    m_dirty = false;
}

void DbMemo::store()
{
    if (!m_dirty || !m_ds || !m_ds->isOpen())
        return;
    m_ds->setFieldText(m_field, toPlainText());
    m_dirty = false;
}

void DbMemo::focusOutEvent(QFocusEvent *e)
{
    QPlainTextEdit::focusOutEvent(e);
    store();
}

// ---- DbText ----------------------------------------------------------------------

DbText::DbText(QWidget *parent) : QLabel(parent) {}

void DbText::setDataSource(DataSet *ds, const QString &field)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    m_field = field;
    if (ds)
        watch(this, ds, field, [this] { load(); });
    load();
}

void DbText::load() { setText(fieldDisplayText(m_ds, m_field)); }
