#include "gui/dbnavigator.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

struct ButtonInfo {
    const char *name;
    const char *hint;
};

const ButtonInfo kButtons[] = {
    {"nbFirst", "First record"},
    {"nbPrior", "Prior record"},
    {"nbNext", "Next record"},
    {"nbLast", "Last record"},
    {"nbInsert", "Insert record"},
    {"nbDelete", "Delete record"},
    {"nbEdit", "Edit record"},
    {"nbPost", "Post edit"},
    {"nbCancel", "Cancel edit"},
    {"nbRefresh", "Refresh data"},
};

// The familiar navigator glyphs, drawn so they look the same on every
// platform: arrows with bars, plus, minus, an edit triangle, tick, cross,
// and a circular arrow.
QPixmap glyph(DbNavigator::Button b, const QColor &ink)
{
    const qreal dpr = 2;
    QPixmap pm(int(16 * dpr), int(16 * dpr));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto left = [&](qreal x) {
        const QPointF t[] = {{x + 5, 3}, {x + 5, 13}, {x, 8}};
        p.drawPolygon(t, 3);
    };
    auto right = [&](qreal x) {
        const QPointF t[] = {{x, 3}, {x, 13}, {x + 5, 8}};
        p.drawPolygon(t, 3);
    };
    QPen thick(ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (b) {
    case DbNavigator::First:
        p.drawRect(QRectF(3.5, 3, 1.6, 10));
        left(6.5);
        break;
    case DbNavigator::Prior:
        left(5.5);
        break;
    case DbNavigator::Next:
        right(5.5);
        break;
    case DbNavigator::Last:
        right(4);
        p.drawRect(QRectF(10.9, 3, 1.6, 10));
        break;
    case DbNavigator::Insert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DbNavigator::Delete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DbNavigator::Edit: {
        const QPointF t[] = {{3, 12}, {13, 12}, {8, 4}};
        p.drawPolygon(t, 3);
        break;
    }
    case DbNavigator::Post: {
        p.setPen(thick);
        p.setBrush(Qt::NoBrush);
        const QPointF tick[] = {{3, 8.5}, {6.5, 12}, {13, 4}};
        p.drawPolyline(tick, 3);
        break;
    }
    case DbNavigator::Cancel:
        p.setPen(thick);
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case DbNavigator::Refresh: {
        p.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 100 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        const QPointF head[] = {{7, 0.8}, {10.5, 3.2}, {7, 5.8}};
        p.drawPolygon(head, 3);
        break;
    }
    }
    return pm;
}

QIcon buttonIcon(DbNavigator::Button b)
{
    QIcon icon;
    icon.addPixmap(glyph(b, QColor(0, 0, 0)), QIcon::Normal);
    icon.addPixmap(glyph(b, QColor(160, 160, 160)), QIcon::Disabled);
    return icon;
}

}   // namespace

DbNavigator::DbNavigator(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 10; ++i) {
        const auto b = Button(i);
        auto *btn = new QToolButton(this);
        btn->setObjectName(QLatin1String(kButtons[i].name));
        btn->setToolTip(QLatin1String(kButtons[i].hint));
        btn->setAccessibleName(QLatin1String(kButtons[i].hint));
        btn->setIcon(buttonIcon(b));
        btn->setIconSize(QSize(16, 16));
        btn->setMinimumSize(23, 23);
        btn->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        btn->setFocusPolicy(Qt::TabFocus);
        // A click that fails is reported like any handler's failure.
        connect(btn, &QToolButton::clicked, this, [this, b] { runGuarded([this, b] { clickButton(b); }); });
        layout->addWidget(btn);
        m_buttons[i] = btn;
    }
    updateButtons();
}

void DbNavigator::setDataSet(DataSet *ds)
{
    if (m_ds)
        disconnect(m_ds, nullptr, this, nullptr);
    m_ds = ds;
    if (ds) {
        connect(ds, &DataSet::dataReset, this, &DbNavigator::updateButtons);
        connect(ds, &DataSet::currentChanged, this, &DbNavigator::updateButtons);
        connect(ds, &DataSet::stateChanged, this, &DbNavigator::updateButtons);
        connect(ds, &QObject::destroyed, this, &DbNavigator::updateButtons, Qt::QueuedConnection);
    }
    updateButtons();
}

void DbNavigator::setVisibleButtons(const QList<Button> &buttons)
{
    // Hidden buttons leave the layout, so the shown ones share the width.
    for (int i = 0; i < 10; ++i)
        m_buttons[i]->setVisible(buttons.contains(Button(i)));
}

void DbNavigator::updateButtons()
{
    DataSet *ds = m_ds;
    const bool active = ds && ds->isOpen();
    const bool editing = active && (ds->state() == DataSetState::Edit || ds->state() == DataSetState::Insert);
    const bool canModify = active && ds->canModify();
    const int row = active ? ds->recNo() : -1;
    const int rows = active ? ds->rowCount() : 0;
    const bool up = active && row > 0;
    const bool down = active && row >= 0 && row < rows - 1;
    m_buttons[First]->setEnabled(up);
    m_buttons[Prior]->setEnabled(up);
    m_buttons[Next]->setEnabled(down);
    m_buttons[Last]->setEnabled(down);
    // Insert stays available while a row is being entered: it posts it first.
    m_buttons[Insert]->setEnabled(canModify);
    m_buttons[Delete]->setEnabled(canModify && rows > 0);
    m_buttons[Edit]->setEnabled(canModify && !editing);
    m_buttons[Post]->setEnabled(canModify && editing);
    m_buttons[Cancel]->setEnabled(canModify && editing);
    m_buttons[Refresh]->setEnabled(active);
}

void DbNavigator::clickButton(Button b)
{
    // As with a real click, a disabled button does nothing.
    if (!m_ds || !m_buttons[b]->isEnabled())
        return;
    DataSet *ds = m_ds;
    switch (b) {
    case First:
        ds->first();
        break;
    case Prior:
        ds->prior();
        break;
    case Next:
        ds->next();
        break;
    case Last:
        ds->last();
        break;
    case Insert:
        ds->insert();
        break;
    case Delete:
        if (Messages::confirmDelete(this))
            ds->deleteRecord();
        break;
    case Edit:
        ds->edit();
        break;
    case Post:
        ds->post();
        break;
    case Cancel:
        ds->cancel();
        break;
    case Refresh:
        ds->refresh();
        break;
    }
    emit clicked(b);
}
