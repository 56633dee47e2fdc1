#pragma once
// Capture of one fueling by its concentrator ID. Modal, created for one opening by the toolbar
// button and freed by it; stays open after each capture so that several IDs can be taken in turn.
#include <QDialog>

class QLabel;
class QPushButton;
class TLinkor;
class TNumEdit;

class TFCapturaAbast : public QDialog {
    Q_OBJECT
public:
    TFCapturaAbast(TLinkor& linkor, QWidget* parent = nullptr);

    // Shows the dialog modally; true once it is closed.
    bool Executa();

    QLabel* Label1;
    TNumEdit* edtIDAbast;
    QPushButton* BtOk;
    QPushButton* BtCancelar;

private:
    void BtOkClick();
    void BtCancelarClick();

    TLinkor& FLinkor;
};
