#include "gui/dbcontrols.h"
#include "gui/messages.h"
#include "data/db/dberror.h"
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

}   // namespace

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

// ---- TypedField -------------------------------------------------------------

TypedField::TypedField(std::function<QString()> text, std::function<void(const QString &, int)> show,
                       std::function<int()> cursor)
    : m_text(std::move(text)), m_show(std::move(show)), m_cursor(std::move(cursor))
{
}

void TypedField::bind(QObject *control, DataSet *ds, const QString &field)
{
    m_binding.bind(
        control, ds, field, [this] { load(); }, [this] { store(); });
}

void TypedField::typed()
{
    if (m_loading)
        return;
    m_loading = true;   // edit() may start a new row; keep what was typed
    const QString typed = m_text();
    const int cursor = m_cursor();
    const bool ok = beginEdit(m_binding.dataSet());
    if (ok && m_text() != typed)
        m_show(typed, std::min(cursor, int(typed.size())));
    m_loading = false;
    if (!ok) {
        load();
        return;
    }
    m_dirty = true;
}

void TypedField::load()
{
    if (m_loading)
        return;
    m_loading = true;
    // A long value shows its beginning, as it would be read.
    m_show(m_binding.displayText(), -1);
    m_loading = false;
    m_dirty = false;
}

void TypedField::store()
{
    if (!m_dirty || !m_binding.isOpen())
        return;
    // Throws when the text does not fit the field; the text stays for correcting.
    m_binding.setText(m_text());
    m_dirty = false;
}

// ---- DbEdit -----------------------------------------------------------------

DbEdit::DbEdit(QWidget *parent)
    : QLineEdit(parent),
      m_typed([this] { return text(); },
              [this](const QString &t, int cursor) {
                  setText(t);
                  setCursorPosition(std::max(cursor, 0));
              },
              [this] { return cursorPosition(); })
{
    connect(this, &QLineEdit::textEdited, this, [this] { m_typed.typed(); });
}

void DbEdit::focusOutEvent(QFocusEvent *e)
{
    QLineEdit::focusOutEvent(e);
    m_typed.store();
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

DbMemo::DbMemo(QWidget *parent)
    : QPlainTextEdit(parent),
      m_typed([this] { return toPlainText(); },
              [this](const QString &t, int cursor) {
                  setPlainText(t);
                  if (cursor >= 0) {
                      QTextCursor tc = textCursor();
                      tc.setPosition(cursor);
                      setTextCursor(tc);
                  }
              },
              [this] { return textCursor().position(); })
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] { m_typed.typed(); });
}

void DbMemo::focusOutEvent(QFocusEvent *e)
{
    QPlainTextEdit::focusOutEvent(e);
    m_typed.store();
}

// ---- DbText ----------------------------------------------------------------------

DbText::DbText(QWidget *parent) : QLabel(parent) {}

void DbText::setDataSource(DataSet *ds, const QString &field)
{
    m_binding.bind(this, ds, field, [this] { load(); });
}

void DbText::load() { setText(m_binding.displayText()); }
