#pragma once
// "Tirar Encerrantes": the operator marks nozzles, reads their totalizers from the concentrator
// and records every nozzle's initial and final totalizer under the open shift. The grid holds the
// rows; TServicoEncerrantes does the reading and the recording, as jobs on the engine's thread.
#include "FormBasico.h"
#include "Grade.h"
#include "Mensagens.h"
#include "ServicoEncerrantes.h"
#include "TrabalhoDialogo.h"

class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;

class TFTirarEncerrantes : public TFrmBasico {
    Q_OBJECT
public:
    // Grid columns; the last three are kept with the row but never shown. ColLido holds "*" once
    // the row's Final is a reading taken in this capture.
    enum TColuna { ColBico, ColDescricao, ColInicial, ColFinal, ColSaida, ColConcentrador, ColMarca, ColLido, kColunas };

    // The grid is filled by a job: the dialog waits for it (Ocupado) before it can be used.
    // With `motor`'s own steps (TOperacoesLocais), or with the steps of `operacoes`.
    explicit TFTirarEncerrantes(TMotor& motor, QWidget* parent = nullptr);
    TFTirarEncerrantes(TContexto& contexto, TOperacoesPosto& operacoes, QWidget* parent = nullptr);
    ~TFTirarEncerrantes() override;

    // The one open instance, if any: set by the opener, cleared when the dialog closes.
    static TFTirarEncerrantes* FTirarEncerrantes;

    QFrame* Panel1;
    TGradeBicos* GridBombas;
    QPushButton* BtMarcar;
    QPushButton* BtEncerrantes;
    QPushButton* BtOk;
    QPushButton* BtCancelar;
    QStatusBar* StRodape;

    // True while a job of the dialog runs: its buttons are disabled and it does not close.
    bool Ocupado() const { return FTrabalho.Ocupado(); }
    QString TextoRodape() const;
    // Grid row r (1 = the first nozzle) as the operator sees it.
    QString Celula(int coluna, int linha) const;
    int QuantidadeLinhas() const; // header row included
    bool Marcada(int linha) const;
    bool Lida(int linha) const;

    void BtMarcarClick();
    void BtEncerrantesClick();
    void BtOkClick();
    void BtCancelarClick();
    void GridBombasDblClick();
    void GridBombasKeyDown(int tecla);

protected:
    void FormCreate() override;
    void FormClose() override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void CriaComponentes();
    void PreencheGrade(const QList<TLinhaEncerrante>& linhas);
    void DefineCelula(int linha, int coluna, const QString& texto);
    QList<TLinhaEncerrante> LeGrade() const;
    TLinhaEncerrante LeLinha(int linha) const;
    // Toggles a row's mark when its nozzle can be read.
    void AlternaMarca(int linha);
    void HabilitaBotoes(bool habilita);
    void DefineRodape(const QString& texto);
    void Informa(const QString& texto, TTipoMensagem tipo = TTipoMensagem::Informacao);
    template <typename F>
    void Protegido(F&& trabalho);

    QLabel* FPainelRodape;
    TTrabalhoDialogo FTrabalho;
};
