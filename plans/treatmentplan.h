#pragma once
#include "data/db/connection.h"
#include "data/work/plans.h"
#include "gui/formdialog.h"
#include <memory>

namespace Ui {
class TForm83;
}
class PlanItemsModel;
class QCheckBox;

// "Σχέδιο θεραπείας": one customer's plan. Work is added from the active
// price list (a tooth and its surfaces optional, the list's price
// changeable for the item), marked done on a day (which adds it to the
// tooth chart), cancelled or planned again; the totals follow. The
// planned items print as the estimate; ticked done items are billed on
// one receipt through the issuing window. Opened from the customer list,
// which sets the three customer fields first.
class TForm83 : public FormDialog {
    Q_OBJECT
public:
    explicit TForm83(QWidget *parent = nullptr);
    ~TForm83() override;

    QString CustomerId;
    QString CustomerFirstName;
    QString CustomerSurname;

    PlanItemsModel *items() const { return m_items; }

protected:
    void FormClose() override;

private:
    void FormShow() override;
    void ReadPlan();
    void ShowTotals();
    void UpdateButtons();
    void WorkChosen();
    void ToothTyped();
    void Button1Click();   // add the item
    void SetState(Plans::State state);
    void Button5Click();   // estimate
    void Button6Click();   // bill the ticked items

    std::unique_ptr<Ui::TForm83> ui;
    QCheckBox *m_surfaceBoxes[5];
    DbConnection ADOConnection1;
    PlanItemsModel *m_items;
    QList<Plans::Work> m_works;
};
