#pragma once
// "Posizioni giuridiche": the legal positions an employee held in the
// period, with the flags "Fiscali" and "INPS" as check boxes the user toggles (click
// or space bar on a flag cell) to choose which positions feed the fiscal
// data and the INPS section.
#include "platform/ui/framework/TfmOvDialog.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class TClientDataSet;
class TDataSetModel;

class TfrVelCudTno : public QWidget
{
    Q_OBJECT
public:
    explicit TfrVelCudTno(QWidget *parent = nullptr);
    QTableView *grTno = nullptr;
    void setRows(TClientDataSet *rows);
    // Toggles the flag of a grid cell (columns "Fiscali" and "INPS" only).
    void toggle(int row, int column);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TClientDataSet *m_rows = nullptr;
    TDataSetModel *m_model = nullptr;
};

class TfmVelCudTno : public TfmOvDialog
{
    Q_OBJECT
public:
    explicit TfmVelCudTno(QWidget *parent = nullptr);
    TfrVelCudTno *frVelCudTno = nullptr;
    QCheckBox *chCoCoCo = nullptr;
    QLabel *lbIstruzioni = nullptr;   // what the flags mean and how to change them
    QLabel *lbNota = nullptr;
    QPushButton *buOk = nullptr;

    void prepara(TClientDataSet &rows, bool cococo, const QString &employee);
    // The dialog for the import: shows it modally and returns the box.
    static void Execute(TClientDataSet &rows, bool &cococo, const QString &employee, QWidget *parent = nullptr);
};
