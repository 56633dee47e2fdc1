#pragma once
// A dialog's database and concentrator steps, run as jobs on the engine's thread. While one runs
// the dialog shows its wait state, and refuses a second job and a close: it is never freed while
// its work is under way, and what comes back finds it alive.
#include "Motor.h"

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
    TTrabalhoDialogo(QWidget* dialogo, TMotor& motor, std::function<void(bool)> espera = {})
        : FDialogo(dialogo), FMotor(motor), FEspera(std::move(espera))
    {
        dialogo->installEventFilter(this);
    }

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
    TMotor& Motor() const { return FMotor; }

    // Queues the job unless one is running (false then). `concluido` runs on the window's thread
    // with the job's error text (empty when it ran through), after the wait state ended.
    bool Executa(TMotor::TTrabalho trabalho, TMotor::TConclusao concluido = {})
    {
        if (FOcupado)
            return false;
        FOcupado = true;
        AplicaEspera(true);
        FMotor.Executa(FDialogo, std::move(trabalho), [this, concluido = std::move(concluido)](const QString& erro) {
            FOcupado = false;
            AplicaEspera(false);
            if (concluido)
                concluido(erro);
        });
        return true;
    }

    // Loads what the dialog shows: `produz` runs on the engine's thread; its value goes to
    // `mostra`, or its error text to `falhou`, on the window's thread.
    template <class T>
    bool Carrega(std::function<T(TLinkor&)> produz, std::function<void(const T&)> mostra,
                 std::function<void(const QString&)> falhou)
    {
        auto valor = std::make_shared<T>();
        return Executa([valor, produz = std::move(produz)](TLinkor& linkor, const TRetorno&) { *valor = produz(linkor); },
                       [valor, mostra = std::move(mostra), falhou = std::move(falhou)](const QString& erro) {
                           if (erro.isEmpty())
                               mostra(*valor);
                           else
                               falhou(erro);
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
    TMotor& FMotor;
    std::function<void(bool)> FEspera;
    bool FOcupado = false;
    QPointer<QWidget> FFoco;
};
