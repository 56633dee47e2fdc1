#pragma once
// "Bloqueia e Desbloqueia": lists the nozzles on the concentrator with the blocked ones marked;
// the operator changes the marks, and the button sends a block or a release to every nozzle.
// Created by its toolbar button for one opening and freed by it.
#include "Grade.h"
#include "ServicoBloqueio.h"
#include "TrabalhoDialogo.h"

class TMensagens;

#include <QDialog>

class QFrame;
class QPushButton;

class TFBloqDesbBico : public QDialog {
    Q_OBJECT
public:
    // Grid columns; the mark is kept with the row but never shown.
    enum TColuna { ColBico, ColDescricao, ColConcentrador, ColLivre, ColMarca, kColunas };

    // With `motor`'s own steps (TOperacoesLocais), or with the steps of `operacoes`.
    explicit TFBloqDesbBico(TMotor& motor, TMensagens& mensagens, QWidget* parent = nullptr);
    TFBloqDesbBico(TOperacoesPosto& operacoes, TMensagens& mensagens, QWidget* parent = nullptr);

    // Prepares the dialog and shows it modally; true when it closes.
    bool Executa();
    // What Executa starts before showing: a job reading the nozzles and the marks from the
    // concentrator. A failure is shown and closes the dialog.
    void Prepara();
    // True while a job of the dialog runs: its button is disabled and it does not close.
    bool Ocupado() const { return FTrabalho.Ocupado(); }
    // Toggles the mark of the current row, unless it holds no nozzle.
    void MarcaBico();
    void BitBtn1Click();

    TGradeBicos* GridBombas;
    QFrame* Panel1;
    QPushButton* BitBtn1;

    QString Celula(int coluna, int linha) const; // linha 1 = the first nozzle
    int QuantidadeLinhas() const;                // header row included
    bool Marcada(int linha) const;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void CriaComponentes();
    void DefineCelula(int linha, int coluna, const QString& texto);
    QList<TBicoBloqueio> LeGrade() const;
    void PreencheGrade(const QList<TBicoBloqueio>& bicos);

    TMensagens& FMensagens;
    TTrabalhoDialogo FTrabalho;
    QList<TBicoBloqueio> FLidos; // the nozzles as read when the dialog opened
};
