#pragma once
#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include "data/db/dataset.h"

// Record navigator (DBNavigator). Shows only the buttons a window asks for;
// child buttons are named nbFirst, nbPrior, nbNext, nbLast, nbInsert,
// nbDelete, nbEdit, nbPost, nbCancel, nbRefresh and carry the standard hints.
// Delete asks "Delete record?" (OK / Cancel) first.
class DbNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First,
                  Prior,
                  Next,
                  Last,
                  Insert,
                  Delete,
                  Edit,
                  Post,
                  Cancel,
                  Refresh };
    Q_ENUM(Button)

    explicit DbNavigator(QWidget *parent = nullptr);
    void setDataSet(DataSet *ds);
    DataSet *dataSet() const { return m_ds; }
    void setVisibleButtons(const QList<Button> &buttons);
    QToolButton *button(Button b) const { return m_buttons[b]; }
    // Runs a button's action as a click would (the click signal follows).
    void clickButton(Button b);

signals:
    // After the button's action ran (OnClick), also when a deletion was
    // cancelled at the question; not when the action raised an error.
    void clicked(DbNavigator::Button button);

private:
    void updateButtons();
    QPointer<DataSet> m_ds;
    QToolButton *m_buttons[10] = {};
};
