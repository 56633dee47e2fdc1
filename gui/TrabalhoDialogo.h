#pragma once
// A dialog's steps, asked of the station's operator interface (TOperacoesPosto) and answered later
// on the window's thread. While one runs the dialog shows its wait state, and refuses a second
// step and a close: it is never freed while its work is under way, and what comes back finds it
// alive.
#include "Motor.h"
#include "OperacoesPosto.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class TTrabalhoDialogo : public QObject {
public:
    // `espera(true)` puts the dialog into its wait state, `espera(false)` takes it out again.
    TTrabalhoDialogo(QWidget* dialogo, TOperacoesPosto& operacoes, std::function<void(bool)> espera = {})
        : FDialogo(dialogo), FOperacoes(operacoes), FEspera(std::move(espera))
    {
        dialogo->installEventFilter(this);
    }
    // The interface was made for this dialog alone (`new`): it goes with the dialog.
    void AssumeOperacoes() { FProprias.reset(&FOperacoes); }

    // While a job runs, a close (the close box, Esc, a button's close) is refused.
    bool eventFilter(QObject* objeto, QEvent* evento) override
    {
        if (!FOcupado || objeto != FDialogo)
            return false;
        if (evento->type() == QEvent::Close) {
            evento->ignore();
            return true;
        }
        return evento->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(evento)->key() == Qt::Key_Escape;
    }

    bool Ocupado() const { return FOcupado; }
    TOperacoesPosto& Operacoes() const { return FOperacoes; }
    // Who the operator is, for the operations log: this process's user.
    const QString& Usuario() const { return FUsuario; }

    // Asks a step unless one is running (false then): `pede` asks it, handing on the end it is
    // given. `concluido` runs on the window's thread with the step's answer, after the wait state
    // ended.
    template <class T>
    bool Executa(const std::function<void(TOperacoesPosto::TConclusao<T>)>& pede,
                 TOperacoesPosto::TConclusao<T> concluido)
    {
        if (FOcupado)
            return false;
        FOcupado = true;
        AplicaEspera(true);
        pede([this, concluido = std::move(concluido)](const TRespostaOperacao<T>& resposta) {
            FOcupado = false;
            AplicaEspera(false);
            if (concluido)
                concluido(resposta);
        });
        return true;
    }

    // Loads what the dialog shows: its value goes to `mostra`, or its error text to `falhou`.
    template <class T>
    bool Carrega(const std::function<void(TOperacoesPosto::TConclusao<T>)>& pede,
                 std::function<void(const T&)> mostra, std::function<void(const QString&)> falhou)
    {
        return Executa<T>(pede, [mostra = std::move(mostra), falhou = std::move(falhou)](const TRespostaOperacao<T>& r) {
            if (r.Falhou())
                falhou(r.Erro);
            else
                mostra(r.Dados);
        });
    }

private:
    void AplicaEspera(bool espera)
    {
        if (espera) {
            FFoco = QApplication::focusWidget();
            FDialogo->setCursor(Qt::WaitCursor);
        } else {
            FDialogo->unsetCursor();
        }
        if (FEspera)
            FEspera(espera);
        // Controls disabled for the wait drop the focus; it goes back where the operator left it.
        if (!espera && FFoco && FFoco->isEnabled() && FDialogo->isAncestorOf(FFoco)
            && (!QApplication::focusWidget() || !FDialogo->isAncestorOf(QApplication::focusWidget())))
            FFoco->setFocus(Qt::OtherFocusReason);
    }

    QWidget* FDialogo;
    TOperacoesPosto& FOperacoes;
    std::unique_ptr<TOperacoesPosto> FProprias;
    QString FUsuario = TOperacoesPosto::UsuarioLocal();
    std::function<void(bool)> FEspera;
    bool FOcupado = false;
    QPointer<QWidget> FFoco;
};
