#pragma once
// Capture of one fueling by its concentrator ID. Modal, created for one opening by the toolbar
// button and freed by it; stays open after each capture so that several IDs can be taken in turn.
#include "TrabalhoDialogo.h"

#include <QDialog>

class QLabel;
class QPushButton;
class TMensagens;
class TNumEdit;

class TFCapturaAbast : public QDialog {
    Q_OBJECT
public:
    TFCapturaAbast(TOperacoesPosto& operacoes, TMensagens& mensagens, const TConfiguracaoRegional& regional,
                   QWidget* parent = nullptr);

    // Shows the dialog modally; true once it is closed.
    bool Executa();

    QLabel* Label1;
    TNumEdit* edtIDAbast;
    QPushButton* BtOk;
    QPushButton* BtCancelar;

    // True while a capture runs: the buttons are disabled and the dialog does not close.
    bool Ocupado() const { return FTrabalho.Ocupado(); }

private:
    void BtOkClick();
    // Once the poll timer is off: the questions, then the capture.
    void Captura(const QString& texto, double valor);
    void ReabilitaLeitura();
    void BtCancelarClick();

    TMensagens& FMensagens;
    TTrabalhoDialogo FTrabalho;
};
