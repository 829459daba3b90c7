#pragma once
#include <QDate>
#include <QDialog>
#include <QSpinBox>
#include <memory>

// Year box of the Easter line: typed values outside 1583-2100 stay as typed
// while it has the focus and become the nearer bound when it loses it; the
// arrows step within the range.
class EasterYearBox : public QSpinBox {
    Q_OBJECT
public:
    static constexpr int Lowest = 1583;
    static constexpr int Highest = 2100;
    explicit EasterYearBox(QWidget *parent = nullptr);
    void stepBy(int steps) override;

protected:
    QValidator::State validate(QString &text, int &pos) const override;
    int valueFromText(const QString &text) const override;
    void focusOutEvent(QFocusEvent *e) override;
    StepEnabled stepEnabled() const override;
};

// Orthodox Easter Sunday of a year, in the Gregorian calendar: the Julian
// date of Easter plus the difference between the calendars in that year.
QDate OrthodoxEaster(int year);

namespace Ui {
class TForm8;
}

class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(QWidget *parent = nullptr);
    ~TForm8() override;

    void find_pasxa();
    void ShowDaysBetween();

private:
    std::unique_ptr<Ui::TForm8> ui;
};
