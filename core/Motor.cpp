#include "Motor.h"

#include "Erro.h"
#include "Linkor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

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
        // Destroying a running thread aborts the process: it is let go instead.
        qWarning("Linkor: the engine's thread did not stop; it is left behind");
        (void)FThread.release();
    }
}

void TMotor::Executa(QObject* dono, TTrabalho trabalho, TConclusao concluido)
{
    if (FParado)
        return;
    const TRetorno retorno(this, QPointer<QObject>(dono));
    QMetaObject::invokeMethod(
        &FLinkor,
        [this, retorno, trabalho = std::move(trabalho), concluido = std::move(concluido)] {
            if (FParado)
                return;
            QString erro;
            try {
                trabalho(FLinkor, retorno);
            } catch (const std::exception& e) {
                erro = MensagemDe(e);
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
            FParado = true;
            QCoreApplication::removePostedEvents(&FLinkor); // jobs not yet begun never run
            if (!FAbandonado) {
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
    if (!FThread) {
        FParado = true;
        return true;
    }
    FThread->quit();
    if (FThread->wait(QDeadlineTimer(prazoMs))) {
        FAbandonado = false;
        return true;
    }
    FAbandonado = true;
    return false;
}
