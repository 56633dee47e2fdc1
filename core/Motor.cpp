#include "Motor.h"

#include "Conexao.h"
#include "Erro.h"
#include "Linkor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {
// How long a window that goes away waits for an engine still running.
constexpr int kEsperaDestruicaoMs = 10000;
} // namespace

void TRetorno::operator()(std::function<void()> funcao) const
{
    // The pointer is only read on the window's thread, where the asker is destroyed.
    QMetaObject::invokeMethod(
        FCorreio,
        [dono = FDono, funcao = std::move(funcao)] {
            if (!dono)
                return;
            try {
                funcao();
            } catch (const std::exception& e) {
                // What the window runs should catch its own errors; nothing may cross the event loop.
                qWarning("Linkor: %s", e.what());
            }
        },
        Qt::QueuedConnection);
}

TMotor::TMotor(TLinkor& linkor, QObject* parent) : QObject(parent), FLinkor(linkor) {}

TMotor::~TMotor()
{
    if (FThread && !Para(kEsperaDestruicaoMs)) {
        // Its attachment is cancelled already; whatever still holds it is the line. Destroying a
        // running thread aborts the process, and letting it run on would use objects about to be
        // destroyed: the process ends here.
        qWarning("Linkor: the engine's thread did not stop; the program ends without it");
        std::fflush(nullptr);
        std::_Exit(3);
    }
}

bool TMotor::PedeParada()
{
    TEstado esperado = TEstado::Rodando;
    return FEstado.compare_exchange_strong(esperado, TEstado::Parando);
}

void TMotor::Executa(QObject* dono, TTrabalho trabalho, TConclusao concluido)
{
    if (Estado() != TEstado::Rodando)
        return;
    const TRetorno retorno(this, QPointer<QObject>(dono));
    QMetaObject::invokeMethod(
        &FLinkor,
        [this, retorno, trabalho = std::move(trabalho), concluido = std::move(concluido)] {
            if (Estado() != TEstado::Rodando) // queued before the stop, begun after it: never runs
                return;
            QString erro;
            try {
                trabalho(FLinkor, retorno);
            } catch (const std::exception& e) {
                // Whatever the job left unsaid, the operator never reads the server's text alone.
                erro = MensagemParaOperador(QStringLiteral("Erro no banco de dados ao executar a operação pedida."), e);
            } catch (...) {
                erro = QStringLiteral("Erro desconhecido");
            }
            if (concluido)
                retorno([concluido, erro] { concluido(erro); });
        },
        Qt::QueuedConnection);
}

void TMotor::IniciaThread()
{
    if (FThread)
        return;
    FThread = std::make_unique<QThread>();
    FThread->setObjectName(QStringLiteral("motor"));
    QThread* janela = thread();
    // Runs on the engine's thread once its loop has ended, so never inside a tick or a job.
    connect(
        FThread.get(), &QThread::finished, FThread.get(),
        [this, janela] {
            QCoreApplication::removePostedEvents(&FLinkor); // jobs not yet begun never run
            // Stopping -> stopped is the engine's claim to finalise; an engine already abandoned
            // touches neither the driver nor the database on its way out.
            TEstado esperado = TEstado::Parando;
            if (FEstado.compare_exchange_strong(esperado, TEstado::Parado)) {
                try {
                    FLinkor.Finaliza();
                } catch (const std::exception& e) {
                    try {
                        FLinkor.Contexto().GravaLogErro(MensagemDe(e));
                    } catch (const std::exception&) {
                        // the program is ending; there is nowhere left to say it
                    }
                }
                FLinkor.Contexto().CnTankora().Desconecta();
            }
            FLinkor.moveToThread(janela);
        },
        Qt::DirectConnection);
    FLinkor.moveToThread(FThread.get());
    FThread->start();
}

bool TMotor::Para(int prazoMs)
{
    PedeParada();
    // The start-up's pause between two database attempts ends now, and no attempt follows it.
    FLinkor.Contexto().Relogio().Interrompe();
    if (!FThread) {
        TEstado esperado = TEstado::Parando;
        FEstado.compare_exchange_strong(esperado, TEstado::Parado);
        return true;
    }
    if (Estado() == TEstado::Abandonado)
        return FThread->wait(QDeadlineTimer(prazoMs));
    FThread->quit();
    const int metade = prazoMs / 2;
    if (FThread->wait(QDeadlineTimer(metade)))
        return true;
    // Still busy: a statement or an attach stuck on a database that does not answer is given up,
    // so the engine ends its tick and finalises itself (a fueling not yet stored stays with the
    // concentrator). Only the line may hold it past this.
    FLinkor.Contexto().CnTankora().Cancela();
    if (FThread->wait(QDeadlineTimer(prazoMs - metade)))
        return true;
    TEstado esperado = TEstado::Parando;
    if (!FEstado.compare_exchange_strong(esperado, TEstado::Abandonado))
        // The engine claimed its finalisation just now: it closes the link and the database
        // under their own bounds.
        return FThread->wait(QDeadlineTimer(prazoMs));
    // Left behind: its attachment is cancelled already, so it cannot commit later.
    return false;
}
