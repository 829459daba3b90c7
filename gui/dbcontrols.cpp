#include "gui/dbcontrols.h"
#include "gui/messages.h"
#include "data/dberror.h"
#include <QTextCursor>
#include <algorithm>

namespace {

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

// ---- FieldBinding ------------------------------------------------------------

void FieldBinding::bind(QObject *control, DataSet *ds, const QString &field,
                        std::function<void()> load, std::function<void()> store)
{
    if (m_ds && m_control)
        QObject::disconnect(m_ds, nullptr, m_control, nullptr);
    m_control = control;
    m_ds = ds;
    m_field = field;
    if (ds) {
        QObject::connect(ds, &DataSet::dataReset, control, load);
        QObject::connect(ds, &DataSet::currentChanged, control, load);
        QObject::connect(ds, &DataSet::fieldChanged, control, [ds, field, load](int col) {
            if (col == ds->fieldIndex(field))
                load();
        });
        QObject::connect(ds, &DataSet::stateChanged, control, [ds, load] {
            // Cancel and post end editing: show the stored value again.
            if (ds->state() == DataSetState::Browse || ds->state() == DataSetState::Inactive)
                load();
        });
        if (store)
            QObject::connect(ds, &DataSet::updateRecord, control, store);
    }
    load();
}

QString FieldBinding::displayText() const
{
    if (!m_ds || !m_ds->isOpen() || m_ds->recNo() < 0)
        return QString();
    const int col = m_ds->fieldIndex(m_field);
    return col < 0 ? QString() : m_ds->displayText(m_ds->recNo(), col);
}

// ---- DbEdit -----------------------------------------------------------------

DbEdit::DbEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (m_loading)
            return;
        m_loading = true;   // edit() may start a new row; keep what was typed
        const QString typed = text();
        const int cursor = cursorPosition();
        const bool ok = beginEdit(m_binding.dataSet());
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
    m_binding.bind(this, ds, field, [this] { load(); }, [this] { store(); });
}

void DbEdit::load()
{
    if (m_loading)
        return;
    m_loading = true;
    setText(m_binding.displayText());
    // A long value shows its beginning, as it would be read.
    setCursorPosition(0);
    m_loading = false;
    m_dirty = false;
}

void DbEdit::store()
{
    if (!m_dirty || !m_binding.isOpen())
        return;
    // Throws when the text does not fit the field; the text stays for correcting.
    m_binding.setText(text());
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
        if (m_loading || !m_binding.isOpen())
            return;
        try {
            m_binding.setText(itemText(index));
        } catch (const DbError &e) {
            Messages::error(e.message());
            load();
        }
    });
}

void DbComboBox::setDataSource(DataSet *ds, const QString &field)
{
    m_binding.bind(this, ds, field, [this] { load(); });
}

void DbComboBox::load()
{
    m_loading = true;
    // A value that is not in the list shows no item.
    setCurrentIndex(findText(m_binding.displayText()));
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
        const bool ok = beginEdit(m_binding.dataSet());
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
    m_binding.bind(this, ds, field, [this] { load(); }, [this] { store(); });
}

void DbMemo::load()
{
    if (m_loading)
        return;
    m_loading = true;
    setPlainText(m_binding.displayText());
    m_loading = false;
    m_dirty = false;
}

void DbMemo::store()
{
    if (!m_dirty || !m_binding.isOpen())
        return;
    m_binding.setText(toPlainText());
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
    m_binding.bind(this, ds, field, [this] { load(); });
}

void DbText::load() { setText(m_binding.displayText()); }
