#pragma once
// The seconds between two polls of the concentrator. Modal, created for one opening by the toolbar
// button and freed by it; stays open after "&OK".
#include <QDialog>

class QLabel;
class QPushButton;
class TLinkor;
class TNumEdit;

class TFconfiguraTempoLeAbastecimento : public QDialog {
    Q_OBJECT
public:
    TFconfiguraTempoLeAbastecimento(TLinkor& linkor, QWidget* parent = nullptr);

    // Shows the dialog modally; true once it is closed.
    bool Executa();

    QLabel* Label1;
    TNumEdit* EdtSegundos;
    QLabel* Label2;
    QPushButton* BtOk;
    QPushButton* BtCancelar;

protected:
    void resizeEvent(QResizeEvent* evento) override;

private:
    void FormCreate();
    void BtOkClick();
    void BtCancelarClick();

    TLinkor& FLinkor;
};
