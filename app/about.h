#pragma once
#include <QDialog>
#include <memory>

namespace Ui {
class TForm62;
}

// About box: the product, its version and the maker's contact details.
class TForm62 : public QDialog {
    Q_OBJECT
public:
    explicit TForm62(QWidget *parent = nullptr);
    ~TForm62() override;

    static constexpr const char *SecondPage = "https://www.ortelis.example/products";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Label3Click();
    void Label4Click();
    void Image2Click();
    void PopupMenu1Popup();
    std::unique_ptr<Ui::TForm62> ui;
};
