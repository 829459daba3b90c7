#pragma once
#include "gui/formdialog.h"
#include <memory>

#include "data/db/connection.h"

class DataSet;
class DbEdit;
class DbNavigator;
class QLabel;
class QPushButton;
namespace Ui {
class TForm2a;
}

// The day sheet: the 28 half-hour slots of one day, 08:00 to 22:00, edited
// in place and saved with the navigator's Post button. The monthly overview
// prepares its connection and query and shows it.
class TForm2a : public FormDialog {
    Q_OBJECT
public:
    static constexpr int SlotCount = 28;

    explicit TForm2a(QWidget *parent = nullptr);
    ~TForm2a() override;

    // Slot n (1..28): "08:00 - 08:30" and its column "0800-0830".
    static QString slotCaption(int n);
    static QString slotColumn(int n);

    QLabel *slotPanel(int n) const { return m_panels[n]; }
    DbEdit *slotEdit(int n) const { return m_edits[n]; }

    QLabel *Label83 = nullptr;
    DbNavigator *DBNavigator1 = nullptr;
    QPushButton *Button29 = nullptr;
    DbConnection ADOConnection1;
    DataSet *ADOQuery1 = nullptr;

private:
    void makeSlots();
    void FormClose() override;

    std::unique_ptr<Ui::TForm2a> ui;
    QLabel *m_panels[SlotCount + 1] = {};
    DbEdit *m_edits[SlotCount + 1] = {};
};
