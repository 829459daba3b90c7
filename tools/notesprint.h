#pragma once
#include <QDialog>
#include <QString>
#include <memory>

class DataSet;
class DbConnection;
class ReportProject;
namespace Ui { class TForm7; }

// Printing of the notebook: every note, or the one the notebook selected.
// Created once at start-up and reused.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(QWidget *parent = nullptr);
    ~TForm7() override;

    QString SelectedNoteId;   // key of the note to print alone, decimal text

    void Button1Click();      // print all
    void Button2Click();      // print the selected one

protected:
    void done(int r) override;   // FormClose

private:
    void printNotes(const QString &statement);

    std::unique_ptr<Ui::TForm7> ui;
    std::unique_ptr<DbConnection> ADOConnection1;
    DataSet *ADOQuery1 = nullptr;
    ReportProject *RvProject2 = nullptr;
};
