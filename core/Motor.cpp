#include "Motor.h"

#include "Erro.h"
#include "Linkor.h"

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

void TMotor::Executa(QObject* dono, TTrabalho trabalho, TConclusao concluido)
{
    const TRetorno retorno(this, QPointer<QObject>(dono));
    QMetaObject::invokeMethod(
        &FLinkor,
        [this, retorno, trabalho = std::move(trabalho), concluido = std::move(concluido)] {
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
