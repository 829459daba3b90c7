#pragma once
#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class PracticeChoice;
}

// Shown when the program starts with no practice to work in: makes a new
// practice (folder and first password, typed twice) or opens an existing
// practice folder. The chosen folder is remembered for the next start.
class PracticeChoice : public QDialog {
    Q_OBJECT
public:
    explicit PracticeChoice(QWidget *parent = nullptr);
    ~PracticeChoice() override;

    void setFolder(const QString &folder);   // the folder offered at first
    QString ChosenFolder;                    // set when the window is accepted

    // How "Αναζήτηση…" asks for a folder; tests answer without a dialog.
    using FolderPicker = std::function<QString(QWidget *parent, const QString &start)>;
    static void setFolderPicker(FolderPicker picker);   // empty: the system's folder dialog

private:
    void UpdateButtons();
    void Button1Click();
    void Button3Click();
    bool createPractice(const QString &dir, const QString &password);
    std::unique_ptr<Ui::PracticeChoice> ui;
};

// Makes the practice folder the current folder (see PracticeFolder::locate),
// asking through PracticeChoice when there is none, and copies the report
// files it lacks into it. False when the user chose to leave.
bool EnterPracticeFolder();
