#pragma once
// The seconds between two polls of the concentrator. Modal, created for one opening by the toolbar
// button and freed by it; stays open after "&OK".
#include "TrabalhoDialogo.h"

#include <QDialog>

class QLabel;
class QPushButton;
class TMensagens;
class TNumEdit;

class TFconfiguraTempoLeAbastecimento : public QDialog {
    Q_OBJECT
public:
    TFconfiguraTempoLeAbastecimento(TOperacoesPosto& operacoes, TMensagens& mensagens,
                                    const TConfiguracaoRegional& regional, QWidget* parent = nullptr);

    // Shows the dialog modally; true once it is closed.
    bool Executa();

    QLabel* Label1;
    TNumEdit* EdtSegundos;
    QLabel* Label2;
    QPushButton* BtOk;
    QPushButton* BtCancelar;

    // True while the change runs: the buttons are disabled and the dialog does not close.
    bool Ocupado() const { return FTrabalho.Ocupado(); }

protected:
    void resizeEvent(QResizeEvent* evento) override;

private:
    void FormCreate();
    void BtOkClick();
    void BtCancelarClick();

    TMensagens& FMensagens;
    TTrabalhoDialogo FTrabalho;
};
